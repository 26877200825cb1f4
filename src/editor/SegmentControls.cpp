#include "editor/SegmentControls.h"

#include "editor/GenericHelper.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

void SliderValue::setValue(float v) {
    if (std::isnan(v)) return;
    value = std::max(minimum, std::min(v, maximum));
}

void SliderValue::setMaximum(float m) {
    maximum = m;
    setValue(value);
}

SegmentControls::SegmentControls() {
    length_ = SliderValue{kShortestLength, kLongestLength, kShortestLength};
    start_ = SliderValue{0.0f, 0.0f, 0.0f};
}

void SegmentControls::loadReset(float songLength) {
    songLength_ = songLength;
    length_.setValue(kShortestLength);
    length_.setMaximum((songLength >= kLongestLength || std::isnan(songLength)) ? kLongestLength : songLength);
    lengthChanged();
    start_.setValue(0.0f);
    start_.setMaximum(songLength - length_.value);
}

void SegmentControls::setStart(float seconds) { start_.setValue(seconds); }

void SegmentControls::setLength(float seconds) {
    length_.setValue(seconds);
    lengthChanged();
}

// Steps land on tenths: thirty float steps of 0.1 would add up to just below 3.
void SegmentControls::stepStart(bool forward) {
    start_.setValue(GenericHelper::roundedToTenth(double(start_.value) + (forward ? 0.1 : -0.1)));
}

void SegmentControls::stepLength(bool forward) {
    length_.setValue(GenericHelper::roundedToTenth(double(length_.value) + (forward ? 0.1 : -0.1)));
    lengthChanged();
}

void SegmentControls::lengthChanged() {
    start_.setMaximum(float(songLength_ - double(length_.value)));
    // Nudging the start re-clamps it against the new maximum.
    if (start_.value >= 0.1f) {
        start_.setValue(float(double(start_.value) - 0.1));
        start_.setValue(float(double(start_.value) + 0.1));
    }
}

} // namespace quorvel
