# Shared by the journeys: an X server of their own (Xvfb), a fresh application
# home, SDL's disk drivers, the program run with a script, and checks made
# from outside it (ffprobe, exiftool, sqlite3, the documents folder).
#
# Needs QUORVEL_BIN (quorvel_scripted: the desktop program's main built with
# the script runner of tests/journeys/hook; the installed program has none)
# and QUORVEL_DEMO_DIR (the demo songs). QUORVEL_PROGRAM, when set, is the
# program itself (build/app/quorvel).
# Exit status 77 means skipped (no X server could start).
set -euo pipefail

: "${QUORVEL_BIN:?the scripted program to drive (quorvel_scripted)}"
: "${QUORVEL_DEMO_DIR:?the demo songs}"

work="$(mktemp -d "${TMPDIR:-/tmp}/quorvel-journey.XXXXXX")"
export QUORVEL_HOME="$work/home"
mkdir -p "$QUORVEL_HOME" "$work/music"
export QUORVEL_MUSIC="$work/music"
export QUORVEL_DEMO_DIR
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$work/out.raw"
export SDL_DISKAUDIOFILEIN="$work/in.raw"
export QT_QPA_PLATFORM=xcb
export LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY
documents="$QUORVEL_HOME/Documents"
store="$documents/.Quorvel.sqlite"
xvfb_pid=""

cleanup() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    if [ "${QUORVEL_KEEP_JOURNEY:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# An X server on a free display number; skipped where none can start.
start_x() {
    command -v Xvfb >/dev/null || skip "Xvfb is not installed (Debian package xvfb)"
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        local i
        for i in $(seq 1 100); do
            if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; return 0; fi
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    done
    skip "Xvfb could not start: $(tail -n 3 "$work/xvfb.log" 2>/dev/null | tr '\n' ' ')"
}

# run_quorvel SCRIPT [ARGS...]: the program driven by the commands in SCRIPT
# (see tests/journeys/hook/TestScript.h); its status is in $status, its output in
# $work/out.txt and $work/err.txt.
run_quorvel() {
    local script="$1"; shift
    status=0
    # Under the sanitizers, leak checking stays off for the real window: the X
    # client and font libraries keep allocations to the end on purpose.
    ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0" \
    QUORVEL_TEST_SCRIPT="$script" timeout -k 10 600 "$QUORVEL_BIN" "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "--- quorvel exited with $status; its messages:" >&2
        tail -n 40 "$work/err.txt" >&2
    fi
}

# The script's text from standard input, into a file.
script_file() { local f="$work/script-$1.txt"; cat >"$f"; echo "$f"; }

duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
media_type() { exiftool -s3 -n -MediaType "$1"; }
query() { sqlite3 -readonly "$store" "$1"; }
ringtones() { (cd "$documents" && ls -1 -- *.m4r 2>/dev/null) || true; }

# near A B TOLERANCE: |A - B| <= TOLERANCE
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }

# The one ringtone in Documents: an .m4r of $1 seconds (within $2, by default
# one AAC frame) tagged as a ringtone. Sets $files (its name), $file (its path), $seconds.
check_one_ringtone() {
    files="$(ringtones)"
    [ "$(echo "$files" | grep -c .)" -eq 1 ] || fail "one ringtone expected in Documents, found: $files"
    file="$documents/$files"
    case "$file" in *.m4r) ;; *) fail "not an .m4r: $file" ;; esac
    seconds="$(duration "$file")"
    near "$seconds" "$1" "${2:-0.0233}" || fail "length $seconds s, expected $1"
    [ "$(media_type "$file")" = 14 ] || fail "media type $(media_type "$file"), expected 14"
}
