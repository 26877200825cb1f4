#pragma once

#include <cstdint>
#include <vector>

namespace quorvel {

// Band-limited resampling of one channel at a fixed ratio, fed and drained in
// blocks. Output sample j is the input read at position j * step, so the
// output is time-aligned with the input (no filter delay to remove) and an
// input of L frames gives ceil(L / step) frames. Reading faster than the
// input (step > 1) raises pitch and shortens; slower lowers and lengthens.
//
// The kernel is a Kaiser-windowed sinc with its cutoff lowered when reading
// faster, tabulated over fractional positions and interpolated between
// them, so any real step costs the same as a rational one.
class StreamResampler {
public:
    explicit StreamResampler(double step);

    void push(const float* in, long frames);
    // No more input follows; the last output frames can now be produced.
    void finish();
    // Up to `max` output frames; 0 when nothing is ready (or all is out).
    long pull(float* out, long max);
    bool drained() const;

    double step() const { return step_; }

private:
    float sampleAt(double pos, int64_t base) const;
    void compact();

    const double step_;
    int halfTaps_ = 0;                // taps each side of the read position
    std::vector<float> table_;        // [phase][tap], kPhases + 1 rows of 2 * halfTaps_
    std::vector<float> input_;        // buffered input from absolute frame inputStart_
    int64_t inputStart_ = 0;
    int64_t inputFrames_ = 0;         // frames pushed so far
    int64_t produced_ = 0;            // output frames handed out
    bool finished_ = false;
};

} // namespace quorvel
