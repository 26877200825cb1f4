#!/usr/bin/env bash
# Encoding a 39.9 s mono WAV to a ringtone: our AAC writer (doIt, whole
# program run) side by side with ffmpeg's command for the same job, in the
# same run. Prints the best of N wall times for each and ours/ffmpeg.
# Usage: bench/aac_encode.sh [build-dir] [runs]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
runs="${2:-5}"
cmake --build "$build" --target aac_encode -j 2 >/dev/null
prog="$build/bench/aac_encode"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Music-like input: two tones and pink noise, mixed down to mono.
sox -n -r 44100 -c 3 -b 16 "$work/parts.wav" synth 39.9 sine 220 sine 277 pinknoise gain -6
sox "$work/parts.wav" -c 1 "$work/in.wav"

best() { # best wall time in seconds of running "$@" $runs times
  local best=""
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 ${best:-1e9}" | awk '{d=$2-$1; print (d<$3)?d:$3}')
  done
  echo "$best"
}

ours=$(best "$prog" "$work/in.wav" "$work/ours.m4r")
theirs=$(best ffmpeg -nostdin -v error -y -i "$work/in.wav" -c:a aac -b:a 128k -f ipod "$work/ffmpeg.m4r")
echo "input: 39.9 s mono 16-bit 44100 Hz WAV, best of $runs runs"
echo "ours   (aac_encode, doIt):                        ${ours} s"
echo "ffmpeg (-c:a aac -b:a 128k -f ipod):              ${theirs} s"
echo "ratio ours/ffmpeg: $(echo "$ours $theirs" | awk '{printf "%.2f", $1/$2}') (target <= 1.0)"
echo "durations: ours $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/ours.m4r") s," \
     "ffmpeg $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/ffmpeg.m4r") s"
