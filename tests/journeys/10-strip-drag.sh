#!/usr/bin/env bash
# The strip by mouse and keyboard as a person uses them, through the X server:
# Alt+V, W turns on the song's own waveform; the marked segment is dragged
# 135 points to the right (20 s at 6.75 points a second); the exported
# ringtone starts 20 s into the song, found by correlating it with the song
# decoded by ffmpeg and with ffmpeg's own cut at 20 s.
. "$(dirname "$0")/lib.sh"
command -v xdotool >/dev/null || skip "xdotool is not installed (Debian package xdotool)"
start_x

# Pink noise under an envelope that never repeats: every place in it is its
# own. (A WAV: the road of an MP3 cut is checked by its own tests.)
song="$work/music/strip-song.wav"
ffmpeg -v error -y -f lavfi -i "anoisesrc=d=60:c=pink:r=44100:a=0.6:seed=7" \
    -af "volume='0.15+0.85*abs(sin(t*1.7)*sin(t*0.31+1))':eval=frame" \
    -c:a pcm_s16le "$song"

script="$(script_file strip <<S
timeout 120
scale 100
wait StartView
pick $song
gone StartView
text nowPlayingLabel strip-song
gone processingNotice
focus
where mainWindow
property waveContent songWaveformDrawn true
where rangeImageView
text startLabel 00:20.0
click exportButton
text label Done!
click cancelButton
wait MainView
close
S
)"

# The program runs in the background while xdotool plays the person.
ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0" \
QUORVEL_TEST_SCRIPT="$script" timeout -k 10 300 "$QUORVEL_BIN" >"$work/out.txt" 2>"$work/err.txt" &
app=$!

# await NAME: the geometry the script printed for NAME ("x y w h").
await() {
    local i line
    for i in $(seq 1 600); do
        line="$(grep -m1 "^$1=" "$work/out.txt" 2>/dev/null || true)"
        if [ -n "$line" ]; then echo "${line#*=}" | tr ',' ' '; return 0; fi
        kill -0 "$app" 2>/dev/null || { tail -n 20 "$work/err.txt" >&2; fail "the program ended before $1"; }
        sleep 0.1
    done
    fail "no $1 from the program"
}

read -r wx wy ww wh < <(await mainWindow)
window="$(xdotool search --pid "$app" --onlyvisible --name Quorvel | head -n 1)"
[ -n "$window" ] || fail "the window was not found"
xdotool windowfocus --sync "$window" 2>/dev/null || true
# The View menu's Song Waveform, by its keys.
xdotool key --window "$window" --delay 150 alt+v w

read -r mx my mw mh < <(await rangeImageView)
x=$((mx + mw / 2)); y=$((my + mh / 2))
xdotool mousemove --sync "$x" "$y" mousedown 1
for step in 27 54 81 108 135; do
    xdotool mousemove --sync $((x + step)) "$y"
    sleep 0.05
done
xdotool mouseup 1

status=0
wait "$app" || status=$?
if [ "$status" -ne 0 ]; then tail -n 40 "$work/err.txt" >&2; fail "the program ended with status $status"; fi
grep -q '^song_waveform=true' "$QUORVEL_HOME/Config/Window.ini" || fail "the waveform option was not remembered"
check_one_ringtone 3.0

# Where in the song the ringtone comes from, by correlation at 8 kHz.
ffmpeg -v error -y -i "$song" -ac 1 -ar 8000 -f f32le "$work/song.f32"
ffmpeg -v error -y -ss 20 -i "$song" -t 3 -ac 1 -ar 8000 -f f32le "$work/cut.f32"
ffmpeg -v error -y -i "$file" -ac 1 -ar 8000 -f f32le "$work/ringtone.f32"
python3 - "$work/song.f32" "$work/cut.f32" "$work/ringtone.f32" <<'PY' || fail "the ringtone does not start 20 s into the song"
import array, math, sys
def read(path):
    a = array.array("f")
    with open(path, "rb") as f:
        a.frombytes(f.read())
    return a
song, cut, tone = (read(p) for p in sys.argv[1:4])
rate = 8000
tone = tone[rate // 4: rate * 5 // 2]            # 0.25 to 2.5 s of the ringtone: clear of its edges
def corr(a, b, at):
    n = len(b)
    s = sum(a[at + i] * b[i] for i in range(n))
    ea = sum(a[at + i] ** 2 for i in range(n))
    eb = sum(v * v for v in b)
    return s / math.sqrt(ea * eb) if ea > 0 and eb > 0 else 0.0
# Coarse search of 15 to 25 s on 5 ms envelopes, then every sample around the best.
hop = 40
def envelope(a):
    return [math.sqrt(sum(v * v for v in a[k * hop:(k + 1) * hop]) / hop) for k in range(len(a) // hop)]
toneEnv, songEnv = envelope(tone), envelope(song)
best = max(range(15 * rate // hop, 25 * rate // hop), key=lambda k: corr(songEnv, toneEnv, k))
fine = max(range(best * hop - 2 * hop, best * hop + 2 * hop), key=lambda at: corr(song, tone, at))
start = (fine - rate // 4) / rate
c = corr(song, tone, fine)
# ffmpeg's own cut at 20 s holds the same sound at the same place.
withCut = max(corr(cut, tone, rate // 4 + d) for d in range(-8, 9))
print("ringtone starts at %.4f s in the song (correlation %.3f); with ffmpeg's cut at 20 s: %.3f" % (start, c, withCut))
sys.exit(0 if abs(start - 20.0) <= 0.005 and c > 0.9 and withCut > 0.9 else 1)
PY
echo "ok: dragged to 00:20.0, the ringtone starts there"
