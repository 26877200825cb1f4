#!/usr/bin/env bash
# The whole road of an export through `quorvel-cli make`, against ffmpeg doing
# the same job in one command, for a 4-minute stereo MP3 and M4A:
#   plain:   start 60, length 39.9, fades 1.5 s and 3 s (our output: stereo,
#            AAC 128 kbit/s per channel; ffmpeg: stereo at 256 kbit/s)
#   effects: start 60, length 28, speed 1 (x1.4142) and pitch 6 (x1.4142),
#            same fades (our output: mono, 128 kbit/s; ffmpeg: mono through
#            its rubberband filter at 128 kbit/s)
# On the effects roads the export follows the engine's ".processedEffect.wav"
# while it is written, so the encode overlaps the engine.
# Each of the four is run N times, ours and ffmpeg's in turn, so that both
# meet the same load; the figures are medians (wall time) and the largest
# peak resident memory. Goals: time ratio ours/ffmpeg at most 0.6 on the
# plain roads and 0.7 on the effects roads. The machine's load (1-minute
# average, and the share of the CPUs others used while it ran) is printed:
# on a machine busy with other work the two-core export cannot pay.
# Then where the time of a plain export goes, stage by stage (export_stages).
# Usage: bench/export.sh [build-dir] [runs]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
runs="${2:-5}"
cmake --build "$build" --target quorvel-cli export_stages -j 2 >/dev/null
cli="$build/cli/quorvel-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUORVEL_HOME="$work/home" QUORVEL_MUSIC="$work/music"
mkdir -p "$QUORVEL_MUSIC"

src="aevalsrc=0.3*sin(2*PI*(220+20*sin(0.1*t))*t)+0.2*sin(2*PI*330*t)*sin(PI*t/4)|0.3*sin(2*PI*(277+15*sin(0.13*t))*t)+0.2*sin(2*PI*440*t):s=44100:d=240"
for codec in "mp3 libmp3lame 192k" "m4a aac 256k"; do
  set -- $codec
  ffmpeg -v error -f lavfi -i "$src" -f lavfi -i "anoisesrc=a=0.02:d=240:r=44100" \
    -filter_complex "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0" \
    -metadata title="Bench $1" -metadata artist="Quorvel" -c:a "$2" -b:a "$3" "$QUORVEL_MUSIC/song.$1"
done

# Busy and total CPU ticks so far (all CPUs).
ticks() { awk '/^cpu / { busy = $2 + $3 + $4 + $7 + $8 + $9; print busy, busy + $5 + $6 }' /proc/stat; }

# One timed run: appends "seconds kb" to the file $1.
timed() {
  local log="$1"; shift
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > /dev/null 2> "$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
  cat "$work/time.txt" >> "$log"
}

# "median_seconds max_kb" of a log.
summary() {
  sort -n "$1" | awk '{ t[NR] = $1; if ($2 > m) m = $2 } END { print t[int((NR + 1) / 2)], m }'
}

report() { # name ours-log ref-log
  read -r ot om <<< "$(summary "$2")"; read -r rt rm <<< "$(summary "$3")"
  printf '%-16s ours %5.2f s %6d KB | ffmpeg %5.2f s %6d KB | time ratio %.2f  memory ratio %.2f\n' \
    "$1" "$ot" "$om" "$rt" "$rm" "$(awk -v a="$ot" -v b="$rt" 'BEGIN { print a / b }')" \
    "$(awk -v a="$om" -v b="$rm" 'BEGIN { print a / b }')"
}

run_case() { # name ext ours... -- ffmpeg...
  local name="$1" ours=() ref=()
  shift
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  ref=("$@")
  : > "$work/ours.log"; : > "$work/ref.log"
  for _ in $(seq "$runs"); do
    timed "$work/ours.log" "${ours[@]}"
    timed "$work/ref.log" "${ref[@]}"
  done
  report "$name" "$work/ours.log" "$work/ref.log"
}

echo "runs: $runs each, alternating; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
read -r busy0 total0 <<< "$(ticks)"
for ext in mp3 m4a; do
  song="$QUORVEL_MUSIC/song.$ext"
  run_case "$ext plain" "$cli" make "$song" --start 60 --length 39.9 --fade-in 1.5 --fade-out 3 -- \
    ffmpeg -v error -y -ss 60 -t 39.9 -i "$song" -af afade=t=in:d=1.5,afade=t=out:st=36.9:d=3 \
    -ar 44100 -c:a aac -b:a 256k -f ipod "$work/ref.m4r"
  run_case "$ext effects" "$cli" make "$song" --start 60 --length 28 --speed 1 --pitch 6 --fade-in 1.5 --fade-out 3 -- \
    ffmpeg -v error -y -ss 60 -t 28 -i "$song" \
    -af aformat=channel_layouts=mono,rubberband=tempo=0.70711:pitch=1.4142,afade=t=in:d=1.5,afade=t=out:st=36.6:d=3 \
    -ar 44100 -c:a aac -b:a 128k -f ipod "$work/ref.m4r"
done
read -r busy1 total1 <<< "$(ticks)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg); CPUs busy while it ran: $(awk -v b=$((busy1 - busy0)) -v t=$((total1 - total0)) 'BEGIN { printf "%.0f%%", 100 * b / t }') (this benchmark's own share included)"

echo
echo "Stages of a plain export (MP3, median of $runs):"
for _ in $(seq "$runs"); do /usr/bin/time -f '%e' -a -o "$work/start.txt" "$cli" list > /dev/null 2>&1; done
printf 'process start, store open and reconcile (quorvel-cli list) %6.1f ms\n' \
  "$(sort -n "$work/start.txt" | awk '{ t[NR] = $1 } END { print 1000 * t[int((NR + 1) / 2)] }')"
mkdir -p "$work/stages"
"$build/bench/export_stages" "$QUORVEL_MUSIC/song.mp3" "$work/stages" "$runs"
