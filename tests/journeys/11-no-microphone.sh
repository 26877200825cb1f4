#!/usr/bin/env bash
# No real capture device (SDL's dummy driver lists one that only hears
# silence): the record button does not start, the recorder says there is no
# microphone, and no "Recording" replaces the song.
. "$(dirname "$0")/lib.sh"
start_x
export SDL_AUDIODRIVER=dummy

script="$(script_file nomic <<S
wait StartView
pick "$QUORVEL_DEMO_DIR/Tram at Dusk.mp3"
gone StartView
gone processingNotice
wait MainView
click recordButton
wait RecorderView
click recordButton
text displayLabel No microphone
sleep 1000
shot $work/recorder.png
click doneButton
gone RecorderView
wait MainView
text nowPlayingLabel Tram at Dusk
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ ! -e "$documents/.tmpRecorded.wav" ] || fail "a recording of silence was made"
if [ -n "${QUORVEL_SHOTS:-}" ]; then cp "$work/recorder.png" "$QUORVEL_SHOTS/no-microphone.png"; fi
echo "ok: no microphone, nothing recorded"
