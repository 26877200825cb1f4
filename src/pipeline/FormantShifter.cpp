#include "FormantShifter.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace quorvel {

namespace {

// Envelope detail finer than this (in Hz of harmonic spacing) is left out,
// so harmonics of notes up to about this pitch do not show in the envelope.
constexpr double kLifterHz = 1200.0;
// The largest boost or cut applied to one bin (natural log, about 30 dB).
constexpr float kMaxLogGain = 3.45f;

int frameSizeFor(double sampleRate) {
    int size = 256;
    while (size < 4096 && double(size) < sampleRate * 0.02) size *= 2;
    return size;
}

} // namespace

class FormantShifter::Transform {
public:
    Transform(int size, bool inverse, float scale) {
        if (av_tx_init(&ctx_, &fn_, AV_TX_FLOAT_RDFT, inverse ? 1 : 0, size, &scale, 0) < 0) throw std::bad_alloc();
    }
    ~Transform() { av_tx_uninit(&ctx_); }
    // Forward: size real samples in, size / 2 + 1 complex values out. The
    // imaginary parts of the first and last bins are zero by definition but
    // not always written, so they are set here.
    void forward(float* out, float* in, int size) {
        fn_(ctx_, out, in, sizeof(float));
        out[1] = 0.0f;
        out[size + 1] = 0.0f;
    }
    // Inverse: size / 2 + 1 complex values in (overwritten), size real samples out.
    void inverse(float* out, float* in) { fn_(ctx_, out, in, sizeof(float)); }

private:
    AVTXContext* ctx_ = nullptr;
    av_tx_fn fn_ = nullptr;
};

FormantShifter::FormantShifter(double factor, double sampleRate) : factor_(factor) {
    size_ = frameSizeFor(sampleRate);
    hop_ = size_ / 4;
    lifter_ = std::max(4, int(sampleRate / kLifterHz));
    lifter_ = std::min(lifter_, size_ / 2 - 1);
    forward_ = new Transform(size_, false, 1.0f);
    inverse_ = new Transform(size_, true, 1.0f / float(size_));
    frame_ = static_cast<float*>(av_mallocz(sizeof(float) * size_t(size_ + 2)));
    spectrum_ = static_cast<float*>(av_mallocz(sizeof(float) * size_t(size_ + 2)));
    scratch_ = static_cast<float*>(av_mallocz(sizeof(float) * size_t(size_ + 2)));
    if (!frame_ || !spectrum_ || !scratch_) {
        av_free(frame_);
        av_free(spectrum_);
        av_free(scratch_);
        delete forward_;
        delete inverse_;
        throw std::bad_alloc();
    }
    // Hann for analysis and synthesis; at a quarter-frame hop the squared
    // windows add up to 1.5 everywhere, divided out here.
    window_.resize(size_t(size_));
    const float norm = std::sqrt(1.0f / 1.5f);
    for (int i = 0; i < size_; ++i)
        window_[size_t(i)] = norm * float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size_));
    logEnvelope_.resize(size_t(size_ / 2 + 1));
    overlap_.assign(size_t(size_), 0.0f);
    // Leading silence so that the first input frame is covered by as many
    // frames as every other; its output is skipped.
    input_.assign(size_t(size_ - hop_), 0.0f);
    toSkip_ = size_ - hop_;
}

FormantShifter::~FormantShifter() {
    av_free(frame_);
    av_free(spectrum_);
    av_free(scratch_);
    delete forward_;
    delete inverse_;
}

void FormantShifter::push(const float* in, long frames) {
    if (frames <= 0 || finished_) return;
    input_.insert(input_.end(), in, in + frames);
    inputFrames_ += frames;
    processFrames();
}

void FormantShifter::finish() {
    if (finished_) return;
    finished_ = true;
    // Trailing silence carries the last input frames through every frame.
    input_.insert(input_.end(), size_t(size_), 0.0f);
    processFrames();
}

long FormantShifter::pull(float* out, long max) {
    long n = std::min<long>(max, long(output_.size() - outputRead_));
    std::copy_n(output_.begin() + long(outputRead_), n, out);
    outputRead_ += size_t(n);
    if (outputRead_ == output_.size()) {
        output_.clear();
        outputRead_ = 0;
    }
    return n;
}

bool FormantShifter::drained() const {
    return finished_ && emitted_ >= inputFrames_ && outputRead_ == output_.size();
}

void FormantShifter::processFrames() {
    while (input_.size() - inputRead_ >= size_t(size_)) {
        processFrame(input_.data() + inputRead_);
        inputRead_ += size_t(hop_);
        // The first hop of the accumulator is final: no later frame reaches it.
        for (int i = 0; i < hop_; ++i) {
            if (toSkip_ > 0) {
                --toSkip_;
            } else if (emitted_ < inputFrames_) {
                output_.push_back(overlap_[size_t(i)]);
                ++emitted_;
            }
        }
        std::copy(overlap_.begin() + hop_, overlap_.end(), overlap_.begin());
        std::fill(overlap_.end() - hop_, overlap_.end(), 0.0f);
    }
    if (inputRead_ >= 8192) {
        input_.erase(input_.begin(), input_.begin() + long(inputRead_));
        inputRead_ = 0;
    }
}

void FormantShifter::processFrame(const float* in) {
    const int bins = size_ / 2 + 1;
    for (int i = 0; i < size_; ++i) frame_[i] = in[i] * window_[size_t(i)];
    forward_->forward(spectrum_, frame_, size_);

    // Real cepstrum of the log magnitude, liftered, back to a smooth log envelope.
    for (int k = 0; k < bins; ++k) {
        const float re = spectrum_[2 * k], im = spectrum_[2 * k + 1];
        scratch_[2 * k] = 0.5f * std::log(re * re + im * im + 1e-20f);
        scratch_[2 * k + 1] = 0.0f;
    }
    inverse_->inverse(frame_, scratch_);
    for (int i = lifter_ + 1; i < size_ - lifter_; ++i) frame_[i] = 0.0f;
    forward_->forward(scratch_, frame_, size_);
    for (int k = 0; k < bins; ++k) logEnvelope_[size_t(k)] = scratch_[2 * k];

    // Each bin takes the envelope found at its frequency divided by the
    // factor (above the top the last bin's: that band is resampled away
    // when the factor makes room for a pitch shift up).
    for (int k = 0; k < bins; ++k) {
        const double source = std::min(double(k) / factor_, double(bins - 1));
        const int k0 = int(source);
        const int k1 = std::min(k0 + 1, bins - 1);
        const float t = float(source - k0);
        const float target = logEnvelope_[size_t(k0)] + t * (logEnvelope_[size_t(k1)] - logEnvelope_[size_t(k0)]);
        const float gain = std::exp(std::clamp(target - logEnvelope_[size_t(k)], -kMaxLogGain, kMaxLogGain));
        spectrum_[2 * k] *= gain;
        spectrum_[2 * k + 1] *= gain;
    }
    inverse_->inverse(frame_, spectrum_);
    for (int i = 0; i < size_; ++i) overlap_[size_t(i)] += frame_[i] * window_[size_t(i)];
}

} // namespace quorvel
