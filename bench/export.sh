#!/usr/bin/env bash
# The whole road of an export through `quorvel-cli make`, against ffmpeg doing
# the same job in one command, for a 4-minute stereo MP3 and M4A:
#   no effects: start 60, length 39.9, fades 1.5 s and 3 s (our output: stereo,
#               AAC 128 kbit/s per channel; ffmpeg: stereo at 256 kbit/s)
#   effects:    start 60, length 28, speed 1 (x1.4142) and pitch 6 (x1.4142),
#               same fades (our output: mono, 128 kbit/s; ffmpeg: mono through
#               its rubberband filter at 128 kbit/s)
# Time is the best of three runs; peak resident memory is the largest of them.
# Targets: time ratio ours/ffmpeg <= 1.0; memory ratio <= 1.0.
#   bench/export.sh            (build first: scripts/build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVEL_BUILD_DIR:-$root/build}"
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

# Runs a command three times under GNU time; prints "best_seconds max_kb".
measure() {
  local best="" peak=0
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > /dev/null 2> "$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
    read -r secs kb < "$work/time.txt"
    if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$secs; fi
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  echo "$best $peak"
}

report() { # name ours ref
  read -r ot om <<< "$2"; read -r rt rm <<< "$3"
  printf '%-22s ours %6.2f s %7d KB | ffmpeg %6.2f s %7d KB | time ratio %.2f  memory ratio %.2f\n' \
    "$1" "$ot" "$om" "$rt" "$rm" "$(awk -v a="$ot" -v b="$rt" 'BEGIN { print a / b }')" \
    "$(awk -v a="$om" -v b="$rm" 'BEGIN { print a / b }')"
}

for ext in mp3 m4a; do
  song="$QUORVEL_MUSIC/song.$ext"
  ours=$(measure "$cli" make "$song" --start 60 --length 39.9 --fade-in 1.5 --fade-out 3)
  ref=$(measure ffmpeg -v error -y -ss 60 -t 39.9 -i "$song" \
    -af afade=t=in:d=1.5,afade=t=out:st=36.9:d=3 -ar 44100 -c:a aac -b:a 256k -f ipod "$work/ref.m4r")
  report "$ext no effects" "$ours" "$ref"

  ours=$(measure "$cli" make "$song" --start 60 --length 28 --speed 1 --pitch 6 --fade-in 1.5 --fade-out 3)
  ref=$(measure ffmpeg -v error -y -ss 60 -t 28 -i "$song" \
    -af aformat=channel_layouts=mono,rubberband=tempo=0.70711:pitch=1.4142,afade=t=in:d=1.5,afade=t=out:st=36.6:d=3 \
    -ar 44100 -c:a aac -b:a 128k -f ipod "$work/ref.m4r")
  report "$ext speed+pitch" "$ours" "$ref"
done
