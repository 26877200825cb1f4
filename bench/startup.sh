#!/usr/bin/env bash
# Start-up (open the store, reconcile it with the documents folder) with
# 10,000 stored ringtones and their files, against the 200 ms target; the
# sqlite3 program reading every row of the same store runs beside it as a
# reference for the raw cost of the data.
# Usage: bench/startup.sh [COUNT]   (build first: scripts/build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVEL_BUILD_DIR:-$root/build}"
count="${1:-10000}"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export QUORVEL_HOME="$home"
"$build/bench/startup" populate "$count"

best() { sort -n | head -1; }
ours=$(for i in 1 2 3 4 5; do "$build/bench/startup" measure | awk '{print $1}'; done | best)
ref=$(for i in 1 2 3 4 5; do
  s=$(date +%s%N); sqlite3 "$home/Documents/.Quorvel.sqlite" 'SELECT * FROM Ringtone;' > /dev/null
  e=$(date +%s%N); echo "scale=1; ($e - $s) / 1000000" | bc; done | best)
echo "start-up with $count ringtones: ${ours} ms (best of 5; target 200 ms, ratio to target $(echo "scale=2; $ours / 200" | bc))"
echo "sqlite3 reading all rows:        ${ref} ms (ratio ours/sqlite3 $(echo "scale=2; $ours / $ref" | bc))"
