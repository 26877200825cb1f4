#!/usr/bin/env bash
# Decoding a 4-minute 44.1 kHz stereo MP3 to mono 44,100 Hz 16-bit: EAFRead in
# 8,192-frame reads against the ffmpeg command doing the same, in one run.
# Prints the median of each over REPS runs and the ratio ours/ffmpeg.
# Usage: bench/decode.sh [build dir]   (REPS=7 by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
reps="${REPS:-7}"
cmake --build "$build" --target decode -j 2 >/dev/null
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
song="$tmp/song.mp3"
# Different music on each side so the down-mix does real work.
ffmpeg -v error -f lavfi -i "aevalsrc=0.4*sin(2*PI*(220+40*sin(t))*t)+0.05*random(0)|0.3*sin(2*PI*330*t)+0.2*sin(2*PI*1250*t):s=44100:d=240" \
  -c:a libmp3lame -b:a 192k -y "$song"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ours=(); theirs=()
for _ in $(seq "$reps"); do
  # Both are timed as whole processes, start-up included.
  s=$(date +%s.%N)
  "$build/bench/decode" "$song" >/dev/null
  e=$(date +%s.%N)
  ours+=("$(awk -v a="$s" -v b="$e" 'BEGIN {print b - a}')")
  s=$(date +%s.%N)
  ffmpeg -v error -i "$song" -ac 1 -ar 44100 -f s16le -y /dev/null
  e=$(date +%s.%N)
  theirs+=("$(awk -v a="$s" -v b="$e" 'BEGIN {print b - a}')")
done
o=$(printf '%s\n' "${ours[@]}" | median)
t=$(printf '%s\n' "${theirs[@]}" | median)
echo "EAFRead  median ${o}s over $reps runs"
echo "ffmpeg   median ${t}s over $reps runs"
printf 'ratio EAFRead/ffmpeg = %.3f (target <= 1.0)\n' "$(awk -v a="$o" -v b="$t" 'BEGIN {print a / b}')"
