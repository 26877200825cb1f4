#!/usr/bin/env bash
# Every control on every screen a person reaches has a name a screen reader says.
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
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "ok: every control named"
