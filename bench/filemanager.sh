#!/usr/bin/env bash
# The stored-ringtones list with COUNT stored ringtones (default 10,000): time
# to open it until the first rows have painted (target 150 ms) and the longest
# frame while scrolling through all rows (target 16 ms), beside a plain
# QListView over as many text rows. Needs a display; else runs under xvfb-run.
#   bench/filemanager.sh [COUNT]   (build first: scripts/build --target startup window_filemanager)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
build="${QUORVEL_BUILD_DIR:-$root/build}"
count="${1:-10000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUORVEL_HOME="$work/home"
"$build/bench/startup" populate "$count"
"$build/bench/window_filemanager"
