#pragma once
// The editor's six sliders with their limits and rules, and the texts of
// their labels. Start and length follow the song (SegmentControls); fades,
// pitch and speed snap to their steps when the thumb is let go.
//
// A plain value object: main thread only, no knowledge of the working ringtone.
#include "editor/SegmentControls.h"

#include <QString>

namespace quorvel {

// How a slider reports: the thumb is still held, or it was let go (a click,
// a key or the end of a drag).
enum class SliderPhase { Dragging, Released };

class EditorControls {
public:
    EditorControls();

    // Length 3.0 with its maximum, start 0 with its maximum.
    void loadReset(float songLength);
    void setStart(float seconds);
    void setLength(float seconds);
    void stepStart(bool forward);
    void stepLength(bool forward);

    // While dragging, the slider follows the thumb and the value in use stays;
    // on release both become the snapped value, which is returned.
    float setFadeIn(float seconds, SliderPhase phase);
    float setFadeOut(float seconds, SliderPhase phase);
    float setPitch(float semitones, SliderPhase phase);
    float setSpeed(float position, SliderPhase phase);

    // "Normalize Loudness": off until switched on; kept across songs like the fades.
    void setLoudnessNormalized(bool on) { normalizeLoudness_ = on; }
    bool isLoudnessNormalized() const { return normalizeLoudness_; }

    // The values in use.
    float start() const { return segment_.start(); }
    float length() const { return segment_.length(); }
    float fadeIn() const { return fadeIn_.inUse; }
    float fadeOut() const { return fadeOut_.inUse; }
    float pitch() const { return pitch_.inUse; }
    float speed() const { return speed_.inUse; }
    double songLength() const { return segment_.songLength(); }

    // What the sliders show.
    const SliderValue& startSlider() const { return segment_.startSlider(); }
    const SliderValue& lengthSlider() const { return segment_.lengthSlider(); }
    const SliderValue& fadeInSlider() const { return fadeIn_.slider; }
    const SliderValue& fadeOutSlider() const { return fadeOut_.slider; }
    const SliderValue& pitchSlider() const { return pitch_.slider; }
    const SliderValue& speedSlider() const { return speed_.slider; }

    // Label texts: start "00:12.5", length "12.5", fades "01.5" (seconds and
    // tenths), pitch in semitones and speed as its position ("-6", "0", "+1").
    QString startText() const;
    QString rangeText() const;
    QString fadeInText() const;
    QString fadeOutText() const;
    QString pitchText() const;
    QString speedText() const;

private:
    struct SnappingSlider {
        SliderValue slider;
        float inUse;
        float (*snap)(float);
        float set(float value, SliderPhase phase);
    };

    SegmentControls segment_;
    SnappingSlider fadeIn_;
    SnappingSlider fadeOut_;
    SnappingSlider pitch_;
    SnappingSlider speed_;
    bool normalizeLoudness_ = false;
};

} // namespace quorvel
