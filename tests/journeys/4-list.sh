#!/usr/bin/env bash
# The list: three stored ringtones newest first; the second opened, played
# and stopped, mailed (a stand-in `xdg-email` receives it), then deleted with
# Yes; the list shows two, the file is gone, the store has two rows.
. "$(dirname "$0")/lib.sh"
: "${QUORVEL_CLI:?the command-line program}"
start_x

# Three ringtones, oldest first, made by the command-line program in the same home.
for song in "Morning Ringlet.mp3" "Tram at Dusk.mp3" "Copper Bells.m4a"; do
    "$QUORVEL_CLI" make "$QUORVEL_DEMO_DIR/$song" --length 4 >"$work/make.txt" 2>&1 ||
        fail "quorvel-cli make $song: $(cat "$work/make.txt")"
done
[ "$(query "SELECT COUNT(*) FROM Ringtone;")" = 3 ] || fail "three store rows expected before the window starts"
newest="$(query "SELECT title || '-' || counter FROM Ringtone ORDER BY date DESC;")"
[ "$(echo "$newest" | head -n 1)" = "Copper Bells-1" ] || fail "the store's newest row: $newest"
second="$(echo "$newest" | sed -n 2p)"
second_file="$(query "SELECT file FROM Ringtone ORDER BY date DESC LIMIT 1 OFFSET 1;")"
[ -f "$documents/$second_file" ] || fail "no file for the second row: $second_file"

# A mail client that only notes what it was given, one argument a line.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-email" <<E
#!/bin/sh
for a in "\$@"; do printf '%s\n' "\$a"; done >"$work/mail.txt"
E
chmod +x "$work/bin/xdg-email"
export PATH="$work/bin:$PATH"

script="$(script_file list <<S
wait StartView
pick "$QUORVEL_DEMO_DIR/Tram at Dusk.mp3"
gone StartView
gone processingNotice
wait MainView
focus
key Ctrl+L
wait FileManagerTableView
count tableView 3
rows tableView
row tableView $second
key Return
wait PlayView
text nowPlayingLabel $second
click playStopButton
property playStopButton imageName stop.png
sleep 1000
click playStopButton
property playStopButton imageName BigPlay.png
click mailButton
wait mailComposer
print subject
print attachment
click sendButton
gone mailComposer
gone PlayView
wait FileManagerTableView
count tableView 3
row tableView $second
key Return
wait PlayView
click deleteButton
wait actionSheet
click alertButton0
gone actionSheet
gone PlayView
count tableView 2
rows tableView
click backButton
gone FileManagerTableView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"

# Newest first, as the store orders them by date.
shown="$(grep '^tableView\[' "$work/out.txt" | head -n 3 | sed 's/^[^=]*=//')"
[ "$shown" = "$newest" ] || fail "the list showed: $shown; the store, newest first: $newest"
after="$(grep '^tableView\[' "$work/out.txt" | tail -n +4 | sed 's/^[^=]*=//')"
[ "$after" = "$(echo "$newest" | sed 2d)" ] || fail "after the delete the list showed: $after"

# The player was heard: what the sound device played is not silence.
[ -s "$SDL_DISKAUDIOFILE" ] || fail "nothing was played"
loud="$(od -An -v -tf4 -w4 "$SDL_DISKAUDIOFILE" | awk '{ if ($1 > 0.01 || $1 < -0.01) n++ } END { print n + 0 }')"
[ "$loud" -gt 22050 ] || fail "the player played (nearly) silence: $loud loud samples"

# The mail client got the subject and the second ringtone's file.
[ -f "$work/mail.txt" ] || fail "xdg-email was not run"
grep -A1 -x -- '--subject' "$work/mail.txt" | tail -n 1 | grep -qx 'A ringtone for you' ||
    fail "subject: $(cat "$work/mail.txt")"
grep -A1 -x -- '--attach' "$work/mail.txt" | tail -n 1 | grep -qxF "$documents/$second_file" ||
    fail "attachment: $(cat "$work/mail.txt")"

# Deleted: the file is gone and the store keeps the other two.
[ ! -e "$documents/$second_file" ] || fail "the deleted ringtone's file is still there"
[ "$(ringtones | grep -c .)" -eq 2 ] || fail "two ringtones expected in Documents: $(ringtones)"
[ "$(query "SELECT COUNT(*) FROM Ringtone;")" = 2 ] || fail "two store rows expected"
[ -z "$(query "SELECT file FROM Ringtone WHERE file = '$second_file';")" ] || fail "the deleted row is still stored"
echo "ok: newest first ($(echo "$newest" | tr '\n' ' ')), played, mailed, $second deleted"
