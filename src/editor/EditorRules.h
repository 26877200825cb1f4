#pragma once
// The editor's decisions that need no screen: snapping the step controls,
// whether the time-stretch engine runs, and which writer makes the file.
// The editor screen and the command-line program both call these.

namespace quorvel {

class Ringtune;

enum class RingtoneWriter {
    PlatformExport,  // the asset export service, with the fade envelope
    AacWriter,       // the software AAC writer over the whole processed WAV
};

class EditorRules {
public:
    // Fades snap to 0, 1.5 or 3 s.
    static float snapFade(float value);
    // Pitch snaps to -12, -6, 0, 6 or 12 semitones (9 goes up, -9 goes down).
    static float snapPitch(float value);
    // Speed snaps to the positions -2, -1, 0, 1 or 2.
    static float snapSpeed(float value);

    // The engine is skipped only when speed and pitch are both exactly 1.0
    // and the result is only previewed, or the source is MPEG-4 audio, or a
    // hardware AAC encoder is present.
    static bool isEngineSkipped(const Ringtune& ringtune, bool playTapped, bool hardwareEncoderAvailable);

    // The AAC writer runs without a hardware encoder whenever the source is
    // not MPEG-4 audio or speed or pitch changed; otherwise the platform export.
    static RingtoneWriter writerFor(const Ringtune& ringtune, bool hardwareEncoderAvailable);

    EditorRules() = delete;
};

} // namespace quorvel
