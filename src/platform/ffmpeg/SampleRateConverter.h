#pragma once
// Changes the sample rate of one channel of float samples, streaming, with
// libswresample's SoX engine (band-limited, its filter delay taken out: the
// output starts where the input starts). The rate ratio is given as a step:
// how many input frames one output frame advances, so output frame j sits
// at input position j * step and a step above 1 reads the input faster
// (raising pitch, shortening).
//
// Threads: an object is used from one thread at a time.
#include "platform/ffmpeg/FFmpegHandles.h"

#include <vector>

namespace quorvel::ff {

class SampleRateConverter {
public:
    // `step` from 1/64 to 64. Throws std::invalid_argument for a step out of
    // range, std::bad_alloc when the resampler cannot be set up.
    explicit SampleRateConverter(double step);
    SampleRateConverter(const SampleRateConverter&) = delete;
    SampleRateConverter& operator=(const SampleRateConverter&) = delete;

    double step() const { return step_; }
    // Converts `frames` input frames and appends what comes out to `out`.
    void convert(const float* in, long frames, std::vector<float>& out);
    // No more input: appends the rest (the filter's tail, which runs a little
    // past the input's end) to `out`.
    void flush(std::vector<float>& out);

private:
    double step_;
    Resampler context_;
};

} // namespace quorvel::ff
