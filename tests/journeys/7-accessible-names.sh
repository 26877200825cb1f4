#!/usr/bin/env bash
# Every control on every screen a person reaches has a name a screen reader
# says: start, picker, editor, help, recorder, export, list (with a row's
# delete button offered), player, its delete question, the mail composer and
# the rating prompt.
. "$(dirname "$0")/lib.sh"
start_x

script="$(script_file names <<'S'
wait StartView
named
click fmButton
wait songTable
named
row songTable Tram at Dusk
click chooseButton
gone StartView
text nowPlayingLabel Tram at Dusk
gone processingNotice
named
click helpButton
wait HelpWebView
named
click doneButton
gone HelpWebView
click recordButton
wait RecorderView
named
click doneButton
gone RecorderView
click exportButton
wait ExportView
named
text label Done!
named
click cancelButton
gone ExportView
settled
click listButton
wait FileManagerTableView
count tableView 1
settled
named
focus
row tableView Tram at Dusk
key Delete
wait deleteButtonBGView
named
key Escape
gone deleteButtonBGView
key Return
wait PlayView
settled
named
click deleteButton
wait actionSheet
named
key Escape
gone actionSheet
click mailButton
wait mailComposer
named
key Escape
gone mailComposer
gone PlayView
wait FileManagerTableView
settled
click backButton
gone FileManagerTableView
settled
rating
wait alertView
named
click alertButton0
gone alertView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "ok: every control named"
