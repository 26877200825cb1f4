#!/usr/bin/env bash
# The song's own waveform on the editor's strip, for a 4-minute and a
# 14-minute MP3 (44.1 kHz stereo, 192 kbit/s, music-like content), beside
# `ffmpeg -v error -i SONG -f null -` decoding the same file in the same run:
#   ready        from the song having loaded to its peaks in the editor (empty
#                cache), against ffmpeg's whole run (process start included)
#                and against the decode loop alone (ffmpeg -benchmark's rtime)
#                (target: within 1.2 times ffmpeg's decode)
#   max gap      the longest gap between the main thread's 1 ms timer ticks
#                while the peaks are computed (target: at most 16 ms)
#   from cache   the same song picked again, until the strip has painted the
#                cached waveform (target: 30 ms)
# Medians over REPS runs (5 by default).
# Usage: bench/waveform.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
reps="${REPS:-5}"
cmake --build "$build" --target window_waveform -j 2 >/dev/null
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export QUORVEL_HOME="$tmp/home" QUORVEL_MUSIC="$tmp/nomusic" QUORVEL_DEMO_DIR="$tmp/nodemo"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" SDL_AUDIODRIVER=dummy
mkdir -p "$QUORVEL_MUSIC" "$QUORVEL_DEMO_DIR"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
field() { awk -v k="$1" '$1 == k {print $2}' "$2"; }

for minutes in 4 14; do
  song="$tmp/song-$minutes.mp3"
  ffmpeg -v error -f lavfi -i "aevalsrc=0.4*sin(2*PI*(220+40*sin(t))*t)*(0.3+0.7*abs(sin(t/9)))+0.05*random(0)|0.3*sin(2*PI*330*t)+0.2*sin(2*PI*1250*t):s=44100:d=$((minutes * 60))" \
    -c:a libmp3lame -b:a 192k -y "$song"
  ready=(); gap=(); pick=(); whole=(); loop=()
  for _ in $(seq "$reps"); do
    "$build/bench/window_waveform" "$song" >"$tmp/ours.txt" 2>"$tmp/ours.err"
    ready+=("$(field compute_s "$tmp/ours.txt")")
    gap+=("$(field max_gap_ms "$tmp/ours.txt")")
    pick+=("$(field cached_pick_ms "$tmp/ours.txt")")
    start=$(date +%s.%N)
    ffmpeg -v error -i "$song" -f null - >/dev/null
    end=$(date +%s.%N)
    whole+=("$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')")
    # The same decode, for the time of its loop alone (printed at the info level).
    ffmpeg -loglevel info -nostats -benchmark -i "$song" -f null - 2>"$tmp/ffmpeg.txt" >/dev/null
    loop+=("$(sed -n 's/^bench: utime=.* rtime=\([0-9.]*\)s.*/\1/p' "$tmp/ffmpeg.txt" | tail -n 1)")
  done
  r=$(printf '%s\n' "${ready[@]}" | median)
  g=$(printf '%s\n' "${gap[@]}" | median)
  p=$(printf '%s\n' "${pick[@]}" | median)
  w=$(printf '%s\n' "${whole[@]}" | median)
  l=$(printf '%s\n' "${loop[@]}" | median)
  echo "$minutes-minute MP3 ($(field columns "$tmp/ours.txt") columns, $(stat -c %s "$(ls "$QUORVEL_HOME"/Cache/Waveforms/*.peaks | head -n 1)") bytes cached):"
  echo "  waveform ready  median ${r}s;  ffmpeg -f null  median ${w}s whole run, ${l}s decode loop"
  printf '  ratio ours/ffmpeg = %.3f (whole run), %.3f (decode loop)   (target <= 1.2)\n' \
    "$(awk -v a="$r" -v b="$w" 'BEGIN {print a / b}')" "$(awk -v a="$r" -v b="$l" 'BEGIN {print a / b}')"
  echo "  longest main-thread gap while computing: median ${g} ms (target <= 16)"
  echo "  from the cache, pick to painted: median ${p} ms (target <= 30)"
done
