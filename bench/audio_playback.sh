#!/usr/bin/env bash
# Playback through SDL's disk driver, ours beside ffplay (also SDL) in one run:
#  1. play -> first sound handed to the device, for a ringtone file (target < 30 ms);
#  2. whole process start -> first sound, ours (AVAudioPlayer) and ffplay;
#  3. CPU while playing a 39.9 s ringtone with 3 s fades (target < 2 % of one core),
#     ours (AVPlayer with the fade envelope) and ffplay (afade filters).
# Usage: bench/audio_playback.sh [build dir]   (REPS=9 by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
reps="${REPS:-9}"
cmake --build "$build" --target audio_playback -j 2 >/dev/null
bin="$build/bench/audio_playback"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
ringtone="$tmp/Bells-1.m4r"
# A 39.9 s ringtone as the exporter stores it: AAC-LC, mono, 44,100 Hz, MPEG-4.
ffmpeg -v error -f lavfi -i "aevalsrc=0.3*sin(2*PI*(440+30*sin(2*t))*t)+0.2*sin(2*PI*660*t)*(0.5+0.5*sin(3*t)):s=44100:d=39.9" \
  -ac 1 -c:a aac -b:a 128k -f ipod -y "$ringtone"
short="$tmp/Short-1.m4r"
ffmpeg -v error -i "$ringtone" -t 1 -c copy -f ipod -y "$short"
export SDL_AUDIODRIVER=disk
out="$tmp/out.raw"
export SDL_DISKAUDIOFILE="$out"
# Millisecond timings on a shared machine: the measuring threads run ahead of
# other work when allowed to.
prio=()
if nice -n -15 true 2>/dev/null; then prio=(nice -n -15); fi

echo "== play -> first sound of a ringtone (disk driver)"
"${prio[@]}" "$bin" latency "$ringtone" "$reps" 2>/dev/null

echo "== process start -> first sound of a 1 s ringtone, ours (AVAudioPlayer) and ffplay (median of $reps)"
med() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ours=(); theirs=()
for _ in $(seq "$reps"); do
  ours+=("$("${prio[@]}" "$bin" watch "$out" "$bin" once "$short" 2>/dev/null | sed -E 's/.*first sound ([0-9.]+) ms.*/\1/')")
  theirs+=("$("${prio[@]}" "$bin" watch "$out" ffplay -nodisp -nostats -autoexit -loglevel quiet "$short" </dev/null 2>/dev/null | sed -E 's/.*first sound ([0-9.]+) ms.*/\1/')")
done
o=$(printf '%s\n' "${ours[@]}" | med); t=$(printf '%s\n' "${theirs[@]}" | med)
echo "ours    ${o} ms"
echo "ffplay  ${t} ms"
printf 'ratio ours/ffplay = %.2f\n' "$(awk -v a="$o" -v b="$t" 'BEGIN {print a / b}')"

echo "== CPU playing 39.9 s with 3 s fades (whole processes, same driver)"
cpu_of() { sed -nE 's/^start -> .*; ([0-9.]+ s CPU.*); exit.*/\1/p'; }
ours_cpu=$("${prio[@]}" "$bin" watch "$out" "$bin" cpu "$ringtone" 3 2>/dev/null | cpu_of)
ffplay_cpu=$("${prio[@]}" "$bin" watch "$out" ffplay -nodisp -nostats -autoexit -loglevel quiet \
  -af "afade=t=in:d=3,afade=t=out:st=36.9:d=3" "$ringtone" 2>/dev/null </dev/null | cpu_of)
echo "ours (AVPlayer, fade envelope): $ours_cpu"
echo "ffplay (afade filters):         $ffplay_cpu"
share() { sed -E 's/.*= ([0-9.]+) %.*/\1/'; }
printf 'ratio ours/ffplay = %.2f (target: ours < 2 %% of one core)\n' \
  "$(awk -v a="$(echo "$ours_cpu" | share)" -v b="$(echo "$ffplay_cpu" | share)" 'BEGIN {print a / b}')"
