#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

namespace ff {
class SampleRateConverter;
}

// Band-limited resampling of one channel at a fixed ratio, fed and drained in
// blocks (the platform's sample-rate converter does the filtering). Output
// sample j is the input read at position j * step, so the output is
// time-aligned with the input and an input of L frames gives exactly
// ceil(L / step) frames. Reading faster than the input (step > 1) raises
// pitch and shortens; slower lowers and lengthens.
class StreamResampler {
public:
    // Throws when the converter cannot be set up (nothing stays allocated).
    explicit StreamResampler(double step);
    ~StreamResampler();
    StreamResampler(const StreamResampler&) = delete;
    StreamResampler& operator=(const StreamResampler&) = delete;

    void push(const float* in, long frames);
    // No more input follows; the last output frames can now be produced.
    void finish();
    // Up to `max` output frames; 0 when nothing is ready (or all is out).
    long pull(float* out, long max);
    bool drained() const;

    double step() const { return step_; }

private:
    const double step_;
    std::unique_ptr<ff::SampleRateConverter> converter_;
    std::vector<float> output_;  // converted, not yet pulled, from outputRead_
    size_t outputRead_ = 0;
    int64_t inputFrames_ = 0;
    int64_t pulled_ = 0;
    int64_t length_ = -1;        // the output's length, once the input has ended
};

} // namespace quorvel
