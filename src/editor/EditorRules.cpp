#include "editor/EditorRules.h"

#include "editor/Ringtune.h"

namespace quorvel {

float EditorRules::snapFade(float v) {
    if (v <= 0.75f) return 0.0f;
    if (v <= 2.25f) return 1.5f;
    return 3.0f;
}

float EditorRules::snapPitch(float v) {
    if (v <= -9.0f) return -12.0f;
    if (v <= -3.0f) return -6.0f;
    if (v <= 3.0f) return 0.0f;
    if (v < 9.0f) return 6.0f;
    return 12.0f;
}

float EditorRules::snapSpeed(float v) {
    if (v <= -1.5f) return -2.0f;
    if (v <= -0.5f) return -1.0f;
    if (v <= 0.5f) return 0.0f;
    if (v < 1.5f) return 1.0f;
    return 2.0f;
}

bool EditorRules::isEngineSkipped(const Ringtune& r, bool playTapped, bool hardwareEncoderAvailable) {
    const bool unchanged = r.speed() == 1.0f && r.pitch() == 1.0f;
    return unchanged && (playTapped || r.isMP4() || hardwareEncoderAvailable);
}

RingtoneWriter EditorRules::writerFor(const Ringtune& r, bool hardwareEncoderAvailable) {
    if (!hardwareEncoderAvailable && (!r.isMP4() || r.speed() != 1.0f || r.pitch() != 1.0f))
        return RingtoneWriter::AacWriter;
    return RingtoneWriter::PlatformExport;
}

} // namespace quorvel
