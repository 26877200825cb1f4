#!/usr/bin/env bash
# A broken song file picked from disk: a clear message, nothing stored, and
# the editor still takes a good song afterwards.
. "$(dirname "$0")/lib.sh"
start_x

# An MP3 name over bytes that are no audio at all.
head -c 65536 /dev/urandom >"$work/broken.mp3"
cp "$QUORVEL_DEMO_DIR/Tram at Dusk.mp3" "$work/good.mp3"

script="$(script_file broken <<S
wait StartView
pick $work/broken.mp3
wait alertView
print alertMessage
click alertButton0
gone alertView
pick $work/good.mp3
gone processingNotice
wait MainView
text nowPlayingLabel Tram at Dusk
differs startLabel --
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"

grep -q '^alertMessage=..........' "$work/out.txt" || fail "no message shown: $(cat "$work/out.txt")"
[ -z "$(ringtones)" ] || fail "a ringtone was made: $(ringtones)"
if [ -f "$store" ]; then
    [ "$(query "SELECT COUNT(*) FROM Ringtone;")" = 0 ] || fail "the store has rows"
fi
echo "ok: $(grep '^alert' "$work/out.txt" | tr '\n' ' ')"
