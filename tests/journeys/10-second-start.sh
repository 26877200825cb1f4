#!/usr/bin/env bash
# A second `quorvel FILE` on the same documents folder (a file manager's "Open
# with Quorvel" while the window is open) hands the file to the running window
# and ends; the first window opens the song. Another documents folder gets a
# window of its own.
. "$(dirname "$0")/lib.sh"
start_x
command -v xdotool >/dev/null || skip "xdotool is not installed"

cp "$QUORVEL_DEMO_DIR/Copper Bells.m4a" "$work/song.m4a"
script="$(script_file first <<'S'
wait StartView
text mainWindow Copper Bells
text nowPlayingLabel Copper Bells
gone processingNotice
close
S
)"
(run_quorvel "$script"; exit "$status") &
first=$!
# The first window is up (and so listening) once X knows it.
for _ in $(seq 1 300); do
    xdotool search --name '^Quorvel$' >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool search --name '^Quorvel$' >/dev/null 2>&1 || fail "the first window did not show"

second=0
(cd "$work" && ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0" \
    timeout -k 5 60 "$QUORVEL_BIN" song.m4a >"$work/second-out.txt" 2>"$work/second-err.txt") || second=$?
[ "$second" -eq 0 ] || fail "the second start ended with $second: $(tail -n 5 "$work/second-err.txt")"
[ "$(xdotool search --onlyvisible --name Quorvel 2>/dev/null | wc -l)" -le 1 ] || fail "the second start opened a window of its own"

status=0
wait "$first" || status=$?
[ "$status" -eq 0 ] || fail "the first window did not open the handed file (status $status): $(tail -n 5 "$work/err.txt")"
echo "ok: the second start handed its file to the running window and ended"
