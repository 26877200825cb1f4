#!/usr/bin/env bash
# Press play -> first sound heard in the editor, for a 39.9 s segment of a
# 4-minute MP3 from the library: plain (cut + load) and at speed +1, pitch +6
# (cut + engine + load). Beside it, the same job with the reference tools in
# the same run: ffmpeg cuts the segment, rubberband -2 stretches and shifts it,
# and ffplay plays the result to its first sound (all wall time, medians).
# Usage: bench/preview_latency.sh [build dir]   (REPS=5 by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
reps="${REPS:-5}"
cmake --build "$build" --target preview_latency audio_playback -j 2 >/dev/null
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export QUORVEL_HOME="$tmp/home" QUORVEL_MUSIC="$tmp/music" QUORVEL_DEMO_DIR="$tmp/music"
mkdir -p "$QUORVEL_HOME" "$QUORVEL_MUSIC"
song="$QUORVEL_MUSIC/Long Song.mp3"
ffmpeg -v error -f lavfi -i "aevalsrc=0.3*sin(2*PI*(220+20*sin(0.5*t))*t)+0.2*sin(2*PI*330*t)*(0.6+0.4*sin(1.3*t))|0.3*sin(2*PI*(222+20*sin(0.5*t))*t)+0.2*sin(2*PI*440*t):s=44100:d=240" \
  -c:a libmp3lame -b:a 192k -y "$song"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/out.raw"
med() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
now_ms() { date +%s%3N; }

reference() { # speed ratio and semitones; empty ratio = cut only
  local ratio="$1" semitones="$2" times=() t0 t1 first
  for _ in $(seq "$reps"); do
    t0=$(now_ms)
    ffmpeg -v error -ss 60 -t 39.9 -i "$song" -y "$tmp/cut.wav"
    played="$tmp/cut.wav"
    if [ -n "$ratio" ]; then
      rubberband -2 -q -t "$ratio" -p "$semitones" "$tmp/cut.wav" "$tmp/stretched.wav" >/dev/null 2>&1
      played="$tmp/stretched.wav"
    fi
    t1=$(now_ms)
    first=$("$build/bench/audio_playback" watch "$SDL_DISKAUDIOFILE" \
      ffplay -nodisp -nostats -autoexit -loglevel quiet -t 0.5 "$played" </dev/null 2>/dev/null |
      sed -E 's/.*first sound ([0-9.]+) ms.*/\1/')
    times+=("$(awk -v a="$((t1 - t0))" -v b="$first" 'BEGIN {print a + b}')")
  done
  printf '%s\n' "${times[@]}" | med
}

for setting in "0 0" "1 6"; do
  read -r speed pitch <<<"$setting"
  echo "== 39.9 s at speed $speed, pitch $pitch"
  ours_line=$("$build/bench/preview_latency" "$song" 60 39.9 "$speed" "$pitch" "$reps" 2>/dev/null)
  ours=$(sed -E 's/.*median ([0-9.]+) ms.*/\1/' <<<"$ours_line")
  if [ "$speed" = 0 ]; then theirs=$(reference "" 0); else theirs=$(reference 1.41421 "$pitch"); fi
  echo "ours: $ours_line"
  echo "reference (ffmpeg cut$([ "$speed" = 0 ] || echo ' + rubberband -2') + ffplay to first sound): median $theirs ms"
  printf 'ratio ours/reference = %.2f\n' "$(awk -v a="$ours" -v b="$theirs" 'BEGIN {print a / b}')"
done
