#!/usr/bin/env bash
# The window closed while an export runs: the program ends cleanly, leaves no
# partial ringtone, and a second start finds the store whole.
. "$(dirname "$0")/lib.sh"
start_x

# A long ringtone with both effects keeps the export busy for a while.
script="$(script_file close <<'S'
wait StartView
click fmButton
wait songTable
row songTable Copper Bells
click chooseButton
gone StartView
text nowPlayingLabel Copper Bells
gone processingNotice
focus
key Shift+Right 200
set speedSlider -2
set pitchSlider -12
click exportButton
wait progressView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status while exporting"

finished=0
while IFS= read -r f; do
    [ -n "$f" ] || continue
    # An export that won the race must be whole and stored.
    finished=1
    [ "$(media_type "$documents/$f")" = 14 ] || fail "a partial ringtone was left: $f"
    [ "$(query "SELECT COUNT(*) FROM Ringtone WHERE file = '${f//\'/\'\'}';")" = 1 ] || fail "$f has no store row"
done <<<"$(ringtones)"
if [ "$finished" = 0 ] && [ -f "$store" ]; then
    [ "$(query "SELECT COUNT(*) FROM Ringtone;")" = 0 ] || fail "a store row without a ringtone"
fi
# The road's own hidden work files (the cut segment, the processed sound) and
# the folder's lock files stay by design and are replaced on the next use;
# anything else is a leftover.
leftovers="$(cd "$documents" 2>/dev/null && ls -A | grep -v -E '^(.*\.m4r|\.Quorvel\.sqlite(-wal|-shm|-journal)?|\.tmpExport\.[a-z0-9]+|\.processedEffect\.wav|\.(Quorvel|Export)\.lock)$' || true)"
[ -z "$leftovers" ] || fail "files left in Documents: $leftovers"

second="$(script_file second <<'S'
wait StartView
close
S
)"
run_quorvel "$second"
[ "$status" -eq 0 ] || fail "the second start ended with status $status"
if [ -f "$store" ]; then
    [ "$(query "PRAGMA integrity_check;")" = ok ] || fail "the store is damaged"
fi
echo "ok: closed during the export (finished first: $finished), store whole"
