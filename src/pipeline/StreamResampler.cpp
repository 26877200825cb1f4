#include "pipeline/StreamResampler.h"

#include "platform/ffmpeg/SampleRateConverter.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

StreamResampler::StreamResampler(double step)
    : step_(step), converter_(std::make_unique<ff::SampleRateConverter>(step)) {}

StreamResampler::~StreamResampler() = default;

void StreamResampler::push(const float* in, long frames) {
    if (frames <= 0 || length_ >= 0) return;
    inputFrames_ += frames;
    if (outputRead_ > 0 && outputRead_ * 2 >= output_.size()) {
        output_.erase(output_.begin(), output_.begin() + long(outputRead_));
        outputRead_ = 0;
    }
    converter_->convert(in, frames, output_);
}

void StreamResampler::finish() {
    if (length_ >= 0) return;
    // The small margin keeps an exact quotient from rounding up a whole frame.
    length_ = int64_t(std::ceil(double(inputFrames_) / step_ - 1e-9));
    converter_->flush(output_);
    // The filter's tail runs past the end; a converter that gave less than
    // the length is made up with silence.
    const int64_t have = pulled_ + int64_t(output_.size() - outputRead_);
    if (have > length_)
        output_.resize(output_.size() - size_t(have - length_));
    else
        output_.insert(output_.end(), size_t(length_ - have), 0.0f);
}

long StreamResampler::pull(float* out, long max) {
    long n = std::min<long>(max, long(output_.size() - outputRead_));
    // Before the end is known, keep back what might lie past it: output never
    // runs ahead of the input read so far.
    if (length_ < 0) n = std::min<long>(n, long(std::max<int64_t>(0, int64_t(double(inputFrames_) / step_) - pulled_)));
    std::copy_n(output_.begin() + long(outputRead_), n, out);
    outputRead_ += size_t(n);
    pulled_ += n;
    return n;
}

bool StreamResampler::drained() const { return length_ >= 0 && pulled_ >= length_; }

} // namespace quorvel
