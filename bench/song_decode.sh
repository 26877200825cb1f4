#!/usr/bin/env bash
# The first use of a 4-minute 44.1 kHz stereo FLAC: the song cache decodes it
# to a 16-bit WAV at its own rate and channels, against `ffmpeg -i song.flac
# out.wav` doing the same, in one run. Each side is timed as a whole process
# (start-up included) writing a fresh file. Prints the median wall time and
# processor time (user + system) of each over REPS runs and the ratios
# ours/ffmpeg; on a busy machine the processor time is the steadier figure.
# Usage: bench/song_decode.sh [build dir]   (REPS=7 by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
reps="${REPS:-7}"
cmake --build "$build" --target song_decode -j 2 >/dev/null
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
song="$tmp/song.flac"
# Music-like content (a gliding tone, noise, two voices) so FLAC works for its size.
ffmpeg -v error -f lavfi -i "aevalsrc=0.4*sin(2*PI*(220+40*sin(t))*t)+0.05*random(0)|0.3*sin(2*PI*330*t)+0.2*sin(2*PI*1250*t):s=44100:d=240" \
  -c:a flac -sample_fmt s16 -y "$song"
export QUORVEL_HOME="$tmp/home"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ours=(); theirs=(); ourcpu=(); theircpu=()
timed() { /usr/bin/time -f "%e %U %S" -o "$tmp/time.txt" "$@"; }
cpu() { awk '{print $2 + $3}' "$tmp/time.txt"; }
wall() { awk '{print $1}' "$tmp/time.txt"; }
for _ in $(seq "$reps"); do
  rm -rf "$QUORVEL_HOME/Cache/SongCache" "$tmp/out.wav"
  sync
  timed "$build/bench/song_decode" "$song" >"$tmp/ours.txt"
  ours+=("$(wall)"); ourcpu+=("$(cpu)")
  sync
  timed ffmpeg -v error -i "$song" -y "$tmp/out.wav"
  theirs+=("$(wall)"); theircpu+=("$(cpu)")
done
wav="$(cut -d' ' -f2- "$tmp/ours.txt")"
# Both files hold the same samples.
ffmpeg -v error -i "$tmp/out.wav" -f s16le -y "$tmp/theirs.raw"
cmp -s <(tail -c +45 "$wav") "$tmp/theirs.raw" && same=identical || same=DIFFERENT
o=$(printf '%s\n' "${ours[@]}" | median)
t=$(printf '%s\n' "${theirs[@]}" | median)
oc=$(printf '%s\n' "${ourcpu[@]}" | median)
tc=$(printf '%s\n' "${theircpu[@]}" | median)
echo "song cache  median ${o}s wall, ${oc}s processor over $reps runs ($(stat -c %s "$wav") bytes)"
echo "ffmpeg      median ${t}s wall, ${tc}s processor over $reps runs ($(stat -c %s "$tmp/out.wav") bytes)"
echo "samples: $same"
printf 'ratio song cache/ffmpeg = %.3f wall, %.3f processor (target <= 1.0)\n' \
  "$(awk -v a="$o" -v b="$t" 'BEGIN {print a / b}')" "$(awk -v a="$oc" -v b="$tc" 'BEGIN {print a / b}')"
