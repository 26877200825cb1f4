#!/usr/bin/env bash
# The effects run (speed and pitch through the time-stretch engine, whole
# program run) side by side with `rubberband -2` doing the same stretch, in
# the same run, on a 39.9 s mono 44.1 kHz segment. For each of the two
# settings prints the best of N wall and CPU (user + system) times and the
# ratios ours/rubberband; then all 25 editor settings (slowest one) and the
# peak resident memory of one run. The targets are on wall time; CPU time
# (the steadier figure on a shared machine) exceeds it because the engine's
# stretcher runs on a thread of its own.
# Usage: bench/effects.sh [build-dir] [runs]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUORVEL_BUILD_DIR:-$root/build}}"
runs="${2:-3}"
cmake --build "$build" --target effects -j 2 >/dev/null
prog="$build/bench/effects"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUORVEL_HOME="$work/home"

# Music-like input: two tones and pink noise, mixed down to mono.
sox -n -r 44100 -c 3 -b 16 "$work/parts.wav" synth 39.9 sine 220 sine 277 pinknoise gain -6
sox "$work/parts.wav" -c 1 "$work/in.wav"

# best "$@": best wall, best cpu and largest peak memory (kB) of $runs runs.
best() {
  local bw=1e9 bc=1e9 mem=0
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$work/t" -f "%e %U %S %M" "$@" >/dev/null 2>&1
    read -r w u s m <"$work/t"
    bw=$(awk -v a="$w" -v b="$bw" 'BEGIN{print (a<b)?a:b}')
    bc=$(awk -v a="$u" -v b="$s" -v c="$bc" 'BEGIN{d=a+b; print (d<c)?d:c}')
    mem=$(( m > mem ? m : mem ))
  done
  echo "$bw $bc $mem"
}

echo "input: 39.9 s mono 16-bit 44100 Hz WAV, best of $runs runs each, machine load: $(cut -d' ' -f1 /proc/loadavg)"
printf '%-34s %9s %9s %9s\n' "" "wall s" "cpu s" "peak kB"
# speed control 1 = 2^(1/2), 6 semitones = 2^(6/12): both 1.4142
for setting in "1 6 1.4142" "2 12 2"; do
  set -- $setting
  read -r ow oc om < <(best "$prog" "$work/in.wav" "$1" "$2")
  read -r rw rc rm < <(best rubberband -2 -t "$3" -f "$3" "$work/in.wav" "$work/rb.wav")
  printf '%-34s %9s %9s %9s\n' "ours speed $3 pitch $3" "$ow" "$oc" "$om" "rubberband -2 -t $3 -f $3" "$rw" "$rc" "$rm"
  echo "ratio ours/rubberband: wall $(awk -v a="$ow" -v b="$rw" 'BEGIN{printf "%.2f", a/b}')," \
       "cpu $(awk -v a="$oc" -v b="$rc" 'BEGIN{printf "%.2f", a/b}') (target <= 0.8)"
done
echo "all 25 settings, one process (target: each under 1.6 s):"
"$prog" "$work/in.wav" all
