#include "editor/EditorControls.h"

#include "editor/EditorRules.h"
#include "editor/GenericHelper.h"

namespace quorvel {

namespace {

QString signedSteps(float value) {
    const int steps = int(value);
    return steps > 0 ? QStringLiteral("+%1").arg(steps) : QString::number(steps);
}

} // namespace

float EditorControls::SnappingSlider::set(float value, SliderPhase phase) {
    slider.setValue(value);
    if (phase == SliderPhase::Released) {
        inUse = snap(slider.value);
        slider.setValue(inUse);
    }
    return inUse;
}

EditorControls::EditorControls()
    : fadeIn_{SliderValue{0.0f, 3.0f, 0.0f}, 0.0f, &EditorRules::snapFade},
      fadeOut_{SliderValue{0.0f, 3.0f, 0.0f}, 0.0f, &EditorRules::snapFade},
      pitch_{SliderValue{-12.0f, 12.0f, 0.0f}, 0.0f, &EditorRules::snapPitch},
      speed_{SliderValue{-2.0f, 2.0f, 0.0f}, 0.0f, &EditorRules::snapSpeed} {}

void EditorControls::loadReset(float songLength) { segment_.loadReset(songLength); }
void EditorControls::setStart(float seconds) { segment_.setStart(seconds); }
void EditorControls::setLength(float seconds) { segment_.setLength(seconds); }
void EditorControls::stepStart(bool forward) { segment_.stepStart(forward); }
void EditorControls::stepLength(bool forward) { segment_.stepLength(forward); }

float EditorControls::setFadeIn(float seconds, SliderPhase phase) { return fadeIn_.set(seconds, phase); }
float EditorControls::setFadeOut(float seconds, SliderPhase phase) { return fadeOut_.set(seconds, phase); }
float EditorControls::setPitch(float semitones, SliderPhase phase) { return pitch_.set(semitones, phase); }
float EditorControls::setSpeed(float position, SliderPhase phase) { return speed_.set(position, phase); }

QString EditorControls::startText() const { return GenericHelper::timeToString(start(), true); }
QString EditorControls::rangeText() const { return GenericHelper::timeToString(length(), false); }
QString EditorControls::fadeInText() const { return GenericHelper::timeToString(fadeIn(), false); }
QString EditorControls::fadeOutText() const { return GenericHelper::timeToString(fadeOut(), false); }
QString EditorControls::pitchText() const { return signedSteps(pitch()); }
QString EditorControls::speedText() const { return signedSteps(speed()); }

} // namespace quorvel
