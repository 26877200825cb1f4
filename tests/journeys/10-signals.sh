#!/usr/bin/env bash
# SIGTERM and SIGINT after a preview has played (the sound library is running):
# the program ends within 2 s as closing its window does, with status 0 and
# its store whole.
. "$(dirname "$0")/lib.sh"
start_x

script="$(script_file signals <<S
wait StartView
pick "$QUORVEL_DEMO_DIR/Tram at Dusk.mp3"
gone StartView
gone processingNotice
wait MainView
click playStopButton
gone processingNotice
sleep 1500
echo playing
sleep 50000
S
)"

for signal in TERM INT; do
    rm -f "$work/err.txt"
    ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0" \
    QUORVEL_TEST_SCRIPT="$script" "$QUORVEL_BIN" >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    for _ in $(seq 1 600); do
        grep -qx "script: playing" "$work/err.txt" 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -qx "script: playing" "$work/err.txt" || { kill -9 "$pid" 2>/dev/null || true; tail -n 20 "$work/err.txt" >&2; fail "the preview did not play"; }
    [ -s "$SDL_DISKAUDIOFILE" ] || fail "nothing was played"
    kill -"$signal" "$pid"
    ended=0
    for _ in $(seq 1 20); do
        if ! kill -0 "$pid" 2>/dev/null; then ended=1; break; fi
        sleep 0.1
    done
    if [ "$ended" = 0 ]; then
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        fail "SIG$signal was ignored: the program still ran 2 s later"
    fi
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { tail -n 20 "$work/err.txt" >&2; fail "SIG$signal: the program ended with status $status"; }
    [ "$(query "PRAGMA integrity_check;")" = ok ] || fail "SIG$signal: the store is damaged"
done
echo "ok: SIGTERM and SIGINT after a preview end the program with status 0, store whole"
