#!/usr/bin/env bash
# The keyboard alone: on the editor, the list and the player Tab reaches
# every control and shows where the focus is; a focused button takes Return,
# a focused slider its arrows (before the editor's own arrow keys).
. "$(dirname "$0")/lib.sh"
start_x

script="$(script_file keys <<'S'
wait StartView
focus
key Ctrl+O
wait songTable
row songTable Tram at Dusk
click chooseButton
gone StartView
text nowPlayingLabel Tram at Dusk
gone processingNotice
focus
tabs
focus fadeInSlider
key Right
text fadeInLabel 1.5
text startLabel 00:00.0
focus helpButton
key Return
wait HelpWebView
settled
key Escape
gone HelpWebView
focus exportButton
key Space
text label Done!
settled
key Escape
gone ExportView
settled
focus
key Ctrl+L
wait FileManagerTableView
count tableView 1
settled
tabs
focus tableView
row tableView Tram at Dusk
key Return
wait PlayView
settled
tabs
focus cancelButton
key Space
gone PlayView
wait FileManagerTableView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ "$(grep -c '^tabs=' "$work/out.txt")" -eq 3 ] || fail "three screens checked expected: $(cat "$work/out.txt")"
[ "$(query "SELECT COUNT(*) FROM Ringtone;")" = 1 ] || fail "the export started from the keyboard stored no ringtone"
echo "ok: $(grep '^tabs=' "$work/out.txt" | tr '\n' ' ')"
