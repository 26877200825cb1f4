#!/usr/bin/env bash
# The window's first paint, from process start, with 10,000 stored ringtones
# and a 10,000-song library (target 400 ms), beside a bare Qt window of the same
# size; then opening the music picker on those songs until its table has
# painted (target 150 ms), beside a plain QTableView over the same rows.
# Needs a display; without one it runs itself under xvfb-run.
#   bench/window.sh [COUNT]   (build first: scripts/build)
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
export QUORVEL_MUSIC="$work/music"
export QUORVEL_DEMO_DIR="$work/nodemo"
mkdir -p "$QUORVEL_DEMO_DIR"
"$build/bench/startup" populate "$count"

# The library: four tagged seed songs copied into albums of 100.
seed="$work/seed"; mkdir -p "$seed"
for ext in mp3 m4a wav aiff; do
  extra=(); [ "$ext" = aiff ] && extra=(-write_id3v2 1)
  ffmpeg -v error -f lavfi -i "sine=f=440:d=2" -metadata title="Seed $ext" -metadata artist="Bench" \
    "${extra[@]}" "$seed/seed.$ext"
done
exts=(mp3 m4a wav aiff)
first="$QUORVEL_MUSIC/Album 0"
mkdir -p "$first"
for ((i = 0; i < 100; i++)); do cp "$seed/seed.${exts[$((i % 4))]}" "$first/Song $i.${exts[$((i % 4))]}"; done
for ((a = 1; a < count / 100; a++)); do cp -r "$first" "$QUORVEL_MUSIC/Album $a"; done
sync

# Milliseconds from just before the program starts to the first paint it reports.
first_paint() {
  local t0 painted
  t0=$(date +%s%N)
  painted=$("$@" | sed -n 's/^first-paint-ms //p')
  echo $((painted - t0 / 1000000))
}
best() { sort -n | head -1; }
ours=$(for i in 1 2 3 4 5; do first_paint env QUORVEL_REPORT_FIRST_PAINT=1 "$build/app/quorvel"; done | best)
ref=$(for i in 1 2 3 4 5; do first_paint "$build/bench/window_bench" reference-window; done | best)
echo "window first paint, $count ringtones, $count songs: ${ours} ms (best of 5; target 400 ms, ratio to target $(echo "scale=2; $ours / 400" | bc))"
echo "bare Qt window first paint:                 ${ref} ms (ratio ours/bare $(echo "scale=2; $ours / $ref" | bc))"

out="$("$build/bench/window_bench" picker 5)"
picker=$(echo "$out" | sed -n 's/^picker-open-ms //p')
table=$(echo "$out" | sed -n 's/^reference-table-ms //p')
songs=$(echo "$out" | sed -n 's/^songs //p')
echo "music picker open on $songs songs: ${picker} ms (best of 5; target 150 ms, ratio to target $(echo "scale=2; $picker / 150" | bc))"
echo "plain QTableView on the same rows: ${table} ms (ratio ours/plain $(echo "scale=2; $picker / $table" | bc))"
