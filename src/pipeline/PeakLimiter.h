#pragma once

#include "pipeline/DiracStages.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace quorvel {

// Keeps every channel below `threshold` (all channels share one gain) by
// turning the gain down just ahead of a peak and letting it recover slowly.
// Stretching and shifting change the phases of a sound's parts, and with
// them where its peaks add up: a song that peaked just under full scale can
// come out a little over it, which the writer would clip. Below the
// threshold the output is the input, sample for sample; it is time-aligned
// with the input and exactly as long.
class PeakLimiter : public DiracStage {
public:
    PeakLimiter(long channels, double sampleRate, float threshold);
    void push(float* const* in, long frames) override;
    void finish() override;
    long pull(float* const* out, long max) override;
    bool drained() const override;

private:
    void take(float required);
    void startAverage();
    long ready() const;

    const long channels_;
    const float threshold_;
    const long lookahead_;        // frames the gain starts falling before a peak
    const float recovery_;        // share of the way back to 1 the gain goes per frame
    std::vector<std::deque<float>> samples_;  // per channel, from frame first_
    std::deque<std::pair<int64_t, float>> minima_;  // (frame, allowed gain): candidates for a window's minimum
    std::deque<float> windowMinima_;  // minimum allowed gain over [u, u + L), from u = first_
    std::vector<float> head_;     // allowed gains of the first lookahead_ - 1 frames
    std::deque<float> recentMinima_;  // the window minima of the last lookahead_ frames
    double minimaSum_ = 0.0;
    int64_t first_ = 0;           // absolute frame number of the front of samples_
    int64_t known_ = 0;           // frames whose required gain is known (input or the padding after it)
    int64_t inputFrames_ = 0;
    float gain_ = 1.0f;
    bool finished_ = false;
};

} // namespace quorvel
