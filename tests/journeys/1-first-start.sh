#!/usr/bin/env bash
# First start on an empty home: the start screen, a demo song from the picker,
# start 12.3 s and length 20 s with the keyboard, fades 1.5 and 3 s, a
# preview, an export that reaches "done"; the file and the store checked.
. "$(dirname "$0")/lib.sh"
start_x

script="$(script_file first <<'S'
wait StartView
click fmButton
wait songTable
row songTable Morning Ringlet
click chooseButton
gone mediaPicker
gone StartView
text nowPlayingLabel Morning Ringlet
gone processingNotice
focus
key Right 123
text startLabel 00:12.3
key Shift+Right 170
text rangeLabel 20.0
set fadeInSlider 1.5
text fadeInLabel 1.5
set fadeOutSlider 3
text fadeOutLabel 3
click playStopButton
gone processingNotice
print playStopButton
sleep 1500
print playCurrentTime
click playStopButton
click exportButton
text label Done!
click cancelButton
wait MainView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"

check_one_ringtone 20.0
rows="$(query "SELECT file FROM Ringtone;")"
[ "$rows" = "$files" ] || fail "store rows: '$rows', expected '$files'"
grep -q '^playCurrentTime=' "$work/out.txt" || fail "no preview time read"
if grep -q '^playCurrentTime=00:00.0$' "$work/out.txt"; then
    fail "the preview's cursor did not move"
fi
echo "ok: $files, $seconds s, media type 14, one store row"
