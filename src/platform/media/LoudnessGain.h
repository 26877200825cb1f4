#pragma once
// The gain that brings a segment to its target loudness: one level for the
// whole segment, lowered smoothly where a limiter holds the true peak under
// its ceiling. Kept as points every `step` samples on the segment's media
// timeline (linear in between); before the first point and after the last
// the nearest point's gain holds.
//
// Immutable once made: safe to read from any thread.
#include <vector>

namespace quorvel {

class LoudnessGain {
public:
    // A constant gain.
    explicit LoudnessGain(float gain);
    // Points every `step` samples of `sampleRate` Hz from `startSeconds`.
    LoudnessGain(double startSeconds, int sampleRate, int step, std::vector<float> points);

    float gainAt(double seconds) const;
    // The level before any limiting, as a factor.
    float level() const { return level_; }
    void setLevel(float level) { level_ = level; }
    bool isLimited() const { return points_.size() > 1; }

private:
    double start_ = 0;
    double pointsPerSecond_ = 0;
    std::vector<float> points_;
    float level_ = 1.0f;
};

} // namespace quorvel
