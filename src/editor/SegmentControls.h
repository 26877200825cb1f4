#pragma once
// The start and length sliders of the editor with their limits and the rules
// that tie them to the song's length. The screen mirrors these values in its
// widgets; the command-line program uses them as they are.

namespace quorvel {

// A slider's value range; setting a value clamps it, as the widget does.
struct SliderValue {
    float minimum = 0.0f;
    float maximum = 1.0f;
    float value = 0.0f;
    void setValue(float v);
    void setMaximum(float m);
};

class SegmentControls {
public:
    static constexpr float kShortestLength = 3.0f;
    static constexpr float kLongestLength = 40.0f; // the slider's end; exports cap at 39.9 s
    static constexpr float kStep = 0.1f;

    SegmentControls();

    // After a song has loaded: length 3.0 with its maximum, start 0 with its maximum.
    void loadReset(float songLength);
    void setStart(float seconds);
    void setLength(float seconds);
    // The step buttons: +0.1 s (forward) or -0.1 s (backward).
    void stepStart(bool forward);
    void stepLength(bool forward);

    float start() const { return start_.value; }
    float length() const { return length_.value; }
    const SliderValue& startSlider() const { return start_; }
    const SliderValue& lengthSlider() const { return length_; }
    double songLength() const { return songLength_; }

private:
    void lengthChanged();

    SliderValue start_;
    SliderValue length_;
    double songLength_ = 0.0;
};

} // namespace quorvel
