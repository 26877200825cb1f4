#!/usr/bin/env bash
# A start on a damaged store: a window says what happened and where the file
# is; moving it aside keeps it byte for byte beside the new, empty store, which
# works for the window and for quorvel-cli alike.
. "$(dirname "$0")/lib.sh"
start_x

mkdir -p "$documents"
head -c 16384 /dev/urandom >"$work/noise"
cp "$work/noise" "$store"
kept="$store.damaged-$(date +%F)"

script="$(script_file damaged <<S
wait storeTroubleDialog
print qt_msgbox_informativelabel
shot $work/trouble.png
click moveAsideButton
gone storeTroubleDialog
wait StartView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"

# The text runs over several lines.
message="$(sed -n '/^qt_msgbox_informativelabel=/,$p' "$work/out.txt")"
case "$message" in *"$store"*damaged*) ;; *) fail "the window did not name the damaged store: $message" ;; esac
case "$message" in *"$(basename "$kept")"*) ;; *) fail "the window did not say where it is kept: $message" ;; esac
cmp -s "$work/noise" "$kept" || fail "the damaged store was not kept as it was at $kept"
[ "$(query 'PRAGMA integrity_check;')" = ok ] || fail "the new store is not whole"
[ "$(query 'SELECT COUNT(*) FROM Ringtone;')" = 0 ] || fail "the new store is not empty"
"${QUORVEL_CLI:-$(dirname "$QUORVEL_BIN")/../cli/quorvel-cli}" list >/dev/null || fail "quorvel-cli cannot use the new store"

# Quit leaves a damaged store exactly as it is.
cp "$work/noise" "$store"
script="$(script_file quit <<S
wait storeTroubleDialog
click quitButton
S
)"
run_quorvel "$script"
[ "$status" -eq 1 ] || fail "Quit ended with status $status, expected 1"
cmp -s "$work/noise" "$store" || fail "Quit changed the damaged store"
echo "ok: $message"
