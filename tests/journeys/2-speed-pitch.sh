#!/usr/bin/env bash
# The first journey's song at speed +1 and pitch +6: preview, export; the
# ringtone is 20 s × 2^(1/2) = 28.3 s long (within one AAC frame).
. "$(dirname "$0")/lib.sh"
start_x

script="$(script_file speed <<'S'
wait StartView
click fmButton
wait songTable
row songTable Morning Ringlet
click chooseButton
gone StartView
text nowPlayingLabel Morning Ringlet
gone processingNotice
focus
key Right 123
text startLabel 00:12.3
key Shift+Right 170
text rangeLabel 20.0
set speedSlider 1
text speedLabel +1
set pitchSlider 6
text pitchLabel +6
click playStopButton
gone processingNotice
sleep 1000
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

expected="$(awk 'BEGIN { printf "%.4f", 20 * sqrt(2) }')"
check_one_ringtone "$expected"
[ "$(query "SELECT COUNT(*) FROM Ringtone;")" = 1 ] || fail "one store row expected"
echo "ok: $files, $seconds s (expected $expected)"
