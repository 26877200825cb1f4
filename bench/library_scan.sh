#!/usr/bin/env bash
# Scans a library of 10,000 songs (mp3, m4a, wav, aiff; tagged), with our
# library and with exiftool reading the same title and artist tags.
# Target: our scan under 5 s. Prints both times and the ratio ours/exiftool.
#   bench/library_scan.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
count="${QUORVEL_BENCH_SONGS:-10000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Four tagged seed songs, copied into albums of 100 songs.
seed="$work/seed"; mkdir -p "$seed"
for ext in mp3 m4a wav aiff; do
  extra=(); [ "$ext" = aiff ] && extra=(-write_id3v2 1)
  ffmpeg -v error -f lavfi -i "sine=f=440:d=2" -metadata title="Seed $ext" -metadata artist="Bench" \
    "${extra[@]}" "$seed/seed.$ext"
done
exts=(mp3 m4a wav aiff)
first="$work/music/Album 0"
mkdir -p "$first"
for ((i = 0; i < 100; i++)); do
  ext="${exts[$((i % 4))]}"
  cp "$seed/seed.$ext" "$first/Song $i.$ext"
done
for ((a = 1; a < count / 100; a++)); do
  cp -r "$first" "$work/music/Album $a"
done
sync

ours_out="$("$build/bench/library_scan" "$work/music")"
echo "ours:     $(echo "$ours_out" | head -1)"
ours="$(echo "$ours_out" | sed -n 's/^seconds=//p')"

t0=$(date +%s.%N)
found=$(exiftool -q -fast -r -Title -Artist -T "$work/music" | wc -l)
t1=$(date +%s.%N)
ref=$(awk -v a="$t1" -v b="$t0" 'BEGIN { print a - b }')
echo "exiftool: $found songs in $(printf %.3f "$ref") s"
printf 'ratio ours/exiftool: %.3f (target: ours < 5 s for %d songs)\n' "$(awk -v a="$ours" -v b="$ref" 'BEGIN { print a / b }')" "$count"
