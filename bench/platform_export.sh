#!/usr/bin/env bash
# The platform path of a ringtone (passthrough cut of 39.9 s at 60 s, then
# the AppleM4A export with fades of 1.5 s and 3 s) against ffmpeg doing the
# same job in one command, for a 4-minute stereo MP3 and M4A.
# Best of three runs each. Target: ratio ours/ffmpeg <= 1.0.
#   bench/platform_export.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A 4-minute piece: two drifting tones and a little noise, stereo.
src="aevalsrc=0.3*sin(2*PI*(220+20*sin(0.1*t))*t)+0.2*sin(2*PI*330*t)*sin(PI*t/4)|0.3*sin(2*PI*(277+15*sin(0.13*t))*t)+0.2*sin(2*PI*440*t):s=44100:d=240"
ffmpeg -v error -f lavfi -i "$src" -f lavfi -i "anoisesrc=a=0.02:d=240:r=44100" \
  -filter_complex "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0" \
  -c:a libmp3lame -b:a 192k "$work/song.mp3"
ffmpeg -v error -f lavfi -i "$src" -f lavfi -i "anoisesrc=a=0.02:d=240:r=44100" \
  -filter_complex "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0" \
  -c:a aac -b:a 256k "$work/song.m4a"

best() { sort -g | head -1; }
for ext in mp3 m4a; do
  ours=$(for i in 1 2 3; do
    "$build/bench/platform_export" "$work/song.$ext" "$work/ours.m4r" | sed -n 's/^seconds=//p'
  done | best)
  ref=$(for i in 1 2 3; do
    t0=$(date +%s.%N)
    ffmpeg -v error -y -ss 60 -t 39.9 -i "$work/song.$ext" \
      -af afade=t=in:d=1.5,afade=t=out:st=36.9:d=3 -ar 44100 -c:a aac -b:a 256k -f ipod "$work/out.m4r"
    t1=$(date +%s.%N)
    awk -v a="$t1" -v b="$t0" 'BEGIN { print a - b }'
  done | best)
  d_ours=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/ours.m4r")
  d_ref=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/out.m4r")
  printf '%s: ours %.3f s (%.3f s audio)  ffmpeg %.3f s (%.3f s audio)  ratio %.3f (target <= 1.0)\n' \
    "$ext" "$ours" "$d_ours" "$ref" "$d_ref" "$(awk -v a="$ours" -v b="$ref" 'BEGIN { print a / b }')"
done
