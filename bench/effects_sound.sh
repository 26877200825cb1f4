#!/usr/bin/env bash
# How the effects run sounds next to `rubberband -2 -F` (formants kept), in
# the same run, for all 25 editor settings (speed positions -2..2, pitch
# -12, -6, 0, 6, 12 semitones): harmonic-to-noise ratio of a five-harmonic
# 220 Hz tone, RMS level and full-scale samples of a 39.9 s music segment
# (the demo song "Morning Ringlet", mono), and the wall time of the effects
# run on that segment (goal: under 1.6 s) with Rubber Band's beside it.
# Goals per setting: HNR at or above Rubber Band's, level within 1 dB of
# Rubber Band's, no more full-scale samples.
# Usage: bench/effects_sound.sh [build-dir] [runs] [speed position: only its five settings]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
runs="${2:-3}"
cmake --build "$build" --target effects_sound demo_songs -j 2 >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUORVEL_HOME="$work/home"
mkdir -p "$QUORVEL_HOME/Documents"

# 220 Hz and its next four harmonics at equal level, 12 s; undithered, so
# that every run measures the same file.
sox -D -n -r 44100 -c 5 -b 16 "$work/parts.wav" synth 12 sine 220 sine 440 sine 660 sine 880 sine 1100
sox -D "$work/parts.wav" -c 1 "$work/tone.wav" gain -3
ffmpeg -v error -i "$build/demo/Morning Ringlet.mp3" -t 39.9 -ac 1 -ar 44100 -c:a pcm_s16le "$work/music.wav"

echo "machine load: $(cut -d' ' -f1 /proc/loadavg)"
"$build/bench/effects_sound" "$work/tone.wav" 220 "$work/music.wav" "$runs" ${3:+"$3"}
