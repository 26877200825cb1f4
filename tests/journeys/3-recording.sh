#!/usr/bin/env bash
# A recording from a known sound: the microphone hears a 660 Hz tone (SDL's
# disk capture), the recorder screen records 5 s, the editor exports it; the
# ringtone is about 5 s of that tone.
. "$(dirname "$0")/lib.sh"
start_x

tone=660
# What the microphone hears, in the capture device's format (16-bit little-
# endian mono at 44,100 Hz); longer than the recording, as silence follows it.
ffmpeg -v error -f lavfi -i "sine=frequency=$tone:sample_rate=44100" -t 30 -f s16le -ac 1 "$SDL_DISKAUDIOFILEIN"

script="$(script_file recording <<'S'
wait StartView
click fmButton
wait songTable
row songTable Tram at Dusk
click chooseButton
gone StartView
gone processingNotice
click recordButton
wait RecorderView
click recordButton
text displayLabel Recording…
# The timer shows the time in 0.2-s steps: stop at the first one past 5 s.
text displayTime 00:05
click recordButton
text displayLabel finished
print displayTime
click doneButton
gone RecorderView
wait MainView
text nowPlayingLabel Recording
gone processingNotice
# The whole recording: the length as long as it goes (the editor holds it to the sound's end).
focus
key Shift+Right 40
print rangeLabel
click exportButton
text label Done!
click cancelButton
wait MainView
close
S
)"
run_quorvel "$script"
[ "$status" -eq 0 ] || fail "the program ended with status $status"

# The ringtone is as long as the editor's length, which the script stretched
# to the recording's end; the label shows it rounded to tenths.
shown="$(sed -n 's/^rangeLabel=//p' "$work/out.txt")"
check_one_ringtone "$shown" 0.0733
# The recording stopped at the first 0.2-s timer tick showing 5 s: 5.0 s to
# one tick more, plus the script's 50-ms poll and a busy machine's delay.
near "$seconds" 5.2 0.25 || fail "length $seconds s, expected about 5 s"
rows="$(query "SELECT file FROM Ringtone;")"
[ "$rows" = "$files" ] || fail "store rows: '$rows', expected '$files'"

# The ringtone is the tone: its frequency from the rising zero crossings of
# the decoded audio (its first and last half second left out: fades, priming).
measured="$(ffmpeg -v error -i "$file" -f s16le -ac 1 -ar 44100 - | od -An -v -td2 -w2 |
    awk -v skip=22050 '{ s[NR] = $1 }
        END { n = NR - skip; c = 0; first = 0; last = 0; sum = 0
              for (i = skip + 1; i <= n; i++) {
                  sum += s[i] * s[i]
                  if (s[i - 1] < 0 && s[i] >= 0) { c++; if (!first) first = i; last = i }
              }
              if (c < 2 || sum / (n - skip) < 100 * 100) { print 0; exit }
              printf "%.1f", (c - 1) * 44100 / (last - first) }')"
near "$measured" "$tone" 3 || fail "the ringtone's tone is $measured Hz, expected $tone Hz"
echo "ok: $files, $seconds s, $measured Hz, media type 14, one store row ($(grep '^displayTime=' "$work/out.txt"))"
