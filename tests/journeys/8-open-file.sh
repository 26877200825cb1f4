#!/usr/bin/env bash
# `quorvel FILE` (as "Open with Quorvel" runs it) opens that song in the
# editor; the window comes back where it was closed.
. "$(dirname "$0")/lib.sh"
start_x

cp "$QUORVEL_DEMO_DIR/Copper Bells.m4a" "$work/song.m4a"
script="$(script_file open <<'S'
wait MainView
gone StartView
text nowPlayingLabel Copper Bells
gone processingNotice
text mainWindow Copper Bells
close
S
)"
run_quorvel "$script" "$work/song.m4a"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
grep -q '^window_position=' "$QUORVEL_HOME/Config/Window.ini" || fail "the window's position was not kept"
echo "ok: the named file opened in the editor"
