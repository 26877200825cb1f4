#!/usr/bin/env bash
# The program's command line as a packager and a user meet it: --help and
# --version without a display, a wrong command line in one line (status 2),
# one line and status 1 without a display, no test library or script runner
# in the program itself; and `quorvel FILE` with a missing file says so in
# the window.
. "$(dirname "$0")/lib.sh"
: "${QUORVEL_PROGRAM:?the program itself (build/app/quorvel)}"
: "${QUORVEL_CLI:?quorvel-cli}"

headless() { env -u DISPLAY -u WAYLAND_DISPLAY "$QUORVEL_PROGRAM" "$@" >"$work/o.txt" 2>"$work/e.txt"; }
lines() { grep -c . "$1" || true; }

for option in -h --help; do
    headless "$option" || fail "$option ended with $?"
    head -n 1 "$work/o.txt" | grep -q '^usage: quorvel \[OPTIONS\] \[FILE\]$' || fail "$option: $(head -n 1 "$work/o.txt")"
done
cli_version="$("$QUORVEL_CLI" --version)"
for option in -v --version; do
    headless "$option" || fail "$option ended with $?"
    [ "$(cat "$work/o.txt")" = "quorvel ${cli_version#quorvel-cli }" ] || fail "$option: $(cat "$work/o.txt"), quorvel-cli says $cli_version"
done

for wrong in "--bogus" "-x" "a.mp3 b.mp3"; do
    # shellcheck disable=SC2086
    status=0; headless $wrong || status=$?
    [ "$status" -eq 2 ] || fail "'$wrong' ended with $status, not 2"
    [ "$(lines "$work/e.txt")" -eq 1 ] || fail "'$wrong' said: $(cat "$work/e.txt")"
    grep -q '^quorvel: .*usage: quorvel' "$work/e.txt" || fail "'$wrong' said: $(cat "$work/e.txt")"
done

status=0; headless || status=$?
[ "$status" -eq 1 ] || fail "without a display: status $status, not 1"
[ "$(lines "$work/e.txt")" -eq 1 ] && grep -q 'needs a display.*quorvel-cli' "$work/e.txt" ||
    fail "without a display it said: $(cat "$work/e.txt")"

# The program itself carries no test library and no script runner.
if readelf -d "$QUORVEL_PROGRAM" | grep -q 'libQt6Test'; then fail "quorvel links libQt6Test"; fi
if strings "$QUORVEL_PROGRAM" | grep -q 'QUORVEL_TEST_SCRIPT'; then fail "quorvel reads QUORVEL_TEST_SCRIPT"; fi
echo "ok: --help, --version, wrong command lines, no display, no test hook"

start_x
for missing in "$work/gone/song.mp3" "file://$work/gone/song.mp3" "$work"; do
    case "$missing" in "$work") why="is not a file" ;; *) why="does not exist" ;; esac
    script="$(script_file missing <<S
wait alertView
text alertMessage $why
print alertMessage
click alertButton0
gone alertView
wait StartView
close
S
)"
    run_quorvel "$script" "$missing"
    [ "$status" -eq 0 ] || fail "quorvel $missing ended with status $status"
    grep -q "^alertMessage=$work.* $why" "$work/out.txt" || fail "quorvel $missing said: $(cat "$work/out.txt")"
done
echo "ok: a missing song and a folder are said in the window"
