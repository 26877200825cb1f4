#!/usr/bin/env bash
# Store start-up with 10,000 ringtones (1,000 of their files gone): ours
# (open, fetch all, delete the 1,000 rows, save) against the sqlite3 program
# doing the same reads and the same delete on an identical copy of the store.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVEL_BUILD_DIR:-$root/build}"
rows="${1:-10000}"
missing="${2:-1000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bench/store_reconcile" prepare "$work/ours" "$rows" "$missing"
cp -r "$work/ours" "$work/ref"
store="$work/ref/Documents/.Quorvel.sqlite"

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
start=$(date +%s%N)
# The reference reads every row's key and file name, checks which files are
# gone and deletes those rows in one transaction.
sqlite3 "$store" "SELECT Z_PK, file FROM Ringtone" >"$work/rows.txt"
gone=()
while IFS='|' read -r pk file; do
  [ -e "$work/ref/Documents/$file" ] || gone+=("$pk")
done <"$work/rows.txt"
ids=$(IFS=,; echo "${gone[*]}")
sqlite3 "$store" "PRAGMA synchronous=FULL; BEGIN; DELETE FROM Ringtone WHERE Z_PK IN ($ids); COMMIT;"
ref=$(ms "$start")

ours=$("$build/bench/store_reconcile" run "$work/ours")
left=$(sqlite3 "$work/ours/Documents/.Quorvel.sqlite" "SELECT count(*) FROM Ringtone")
echo "rows: $rows, files gone: $missing, rows left: $left (reference left $(sqlite3 "$store" "SELECT count(*) FROM Ringtone"))"
echo "ours (open + reconcile): ${ours} ms"
echo "sqlite3 program (same reads, checks and delete): ${ref} ms"
"$build/bench/store_reconcile" fetch "$work/ours"
awk -v a="$ours" -v b="$ref" 'BEGIN { printf "ratio ours/reference: %.2f\n", (b > 0 ? a / b : 0) }'
