#include "pipeline/FormantShifter.h"

#include "platform/ffmpeg/RealFourierTransform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel {

namespace {

// Envelope detail finer than this (in Hz of harmonic spacing) is left out,
// so harmonics of notes up to about this pitch do not show in the shape.
constexpr double kLifterHz = 1200.0;
// The shape takes each bin's log magnitude as the largest within this many
// Hz, so it runs along the harmonics' peaks rather than their valleys.
constexpr double kHoldHz = 80.0;
// Bins further than this below the frame's loudest (power ratio, -80 dB)
// count as that far below: quantisation noise between harmonics has no say.
constexpr float kFloor = 1e-8f;
// The largest boost or cut applied to one bin (natural log, 30 dB).
constexpr float kMaxLogGain = 3.45f;
// Weight of the previous frame's envelope and energies in the current ones
// (the energies over about 0.1 s).
constexpr float kEnvelopeMemory = 0.5f;
constexpr double kEnergyMemory = 0.9;

int frameSizeFor(double sampleRate) {
    int size = 256;
    while (size < 8192 && double(size) < sampleRate * 0.04) size *= 2;
    return size;
}

// envelope(k / factor), linearly interpolated; above the top the last bin's
// (that band is resampled away when the factor makes room for a shift up).
float movedEnvelope(const std::vector<float>& envelope, int k, double factor) {
    const int bins = int(envelope.size());
    const double source = std::min(double(k) / factor, double(bins - 1));
    const int k0 = int(source);
    const int k1 = std::min(k0 + 1, bins - 1);
    const float t = float(source - k0);
    return envelope[size_t(k0)] + t * (envelope[size_t(k1)] - envelope[size_t(k0)]);
}

} // namespace

FormantShifter::FormantShifter(double factor, double sampleRate) : factor_(factor) {
    size_ = frameSizeFor(sampleRate);
    hop_ = size_ / 4;
    lifter_ = std::clamp(int(sampleRate / kLifterHz), 4, size_ / 2 - 1);
    hold_ = std::max(1, int(std::lround(kHoldHz * size_ / sampleRate)));
    fft_ = std::make_unique<ff::RealFourierTransform>(size_);
    const size_t bins = size_t(size_ / 2 + 1);
    // Hann for analysis and synthesis; at a quarter-frame hop the squared
    // windows add up to 1.5 everywhere, divided out here.
    window_.resize(size_t(size_));
    const float norm = std::sqrt(1.0f / 1.5f);
    for (int i = 0; i < size_; ++i)
        window_[size_t(i)] = norm * float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size_));
    frame_.assign(size_t(size_), 0.0f);
    spectrum_.assign(bins, {});
    scratch_.assign(bins, {});
    for (auto* v : {&power_, &shape_, &gain_}) v->assign(bins, 0.0f);
    overlap_.assign(size_t(size_), 0.0f);
    // Leading silence so that the first input frame is covered by as many
    // frames as every other; its output is skipped.
    input_.assign(size_t(size_ - hop_), 0.0f);
    toSkip_ = size_ - hop_;
}

FormantShifter::~FormantShifter() = default;

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
    for (int i = 0; i < size_; ++i) frame_[size_t(i)] = in[i] * window_[size_t(i)];
    fft_->forward(frame_.data(), spectrum_.data());

    float loudest = 0.0f;
    for (int k = 0; k < bins; ++k) {
        power_[size_t(k)] = std::norm(spectrum_[size_t(k)]);
        loudest = std::max(loudest, power_[size_t(k)]);
    }
    const float floor = loudest * kFloor + 1e-20f;
    for (auto& p : power_) p += floor;
    followShape();

    double before = 0, after = 0;
    for (int k = 0; k < bins; ++k) {
        const float g = std::clamp(movedEnvelope(shape_, k, factor_) - shape_[size_t(k)], -kMaxLogGain, kMaxLogGain);
        gain_[size_t(k)] = g;
        before += double(power_[size_t(k)]);
        after += double(power_[size_t(k)]) * std::exp(2.0 * g);
    }
    // The energies are averaged, not their ratio's logarithm, so that the
    // scale is not biased low where the ratio swings from frame to frame.
    const double memory = energyBefore_ > 0 ? kEnergyMemory : 0.0;
    energyBefore_ = memory * energyBefore_ + (1.0 - memory) * before;
    energyAfter_ = memory * energyAfter_ + (1.0 - memory) * after;
    const float scale = float(0.5 * std::log(energyBefore_ / energyAfter_));
    for (int k = 0; k < bins; ++k) spectrum_[size_t(k)] *= std::exp(gain_[size_t(k)] + scale);
    fft_->inverse(spectrum_.data(), frame_.data());
    for (int i = 0; i < size_; ++i) overlap_[size_t(i)] += frame_[size_t(i)] * window_[size_t(i)];
}

void FormantShifter::followShape() {
    const int bins = int(power_.size());
    for (int k = 0; k < bins; ++k) {
        float m = 0.0f;
        for (int j = std::max(0, k - hold_); j <= std::min(bins - 1, k + hold_); ++j) m = std::max(m, power_[size_t(j)]);
        scratch_[size_t(k)] = {0.5f * std::log(m), 0.0f};
    }
    // The real cepstrum, its low quefrencies kept, back to a log spectrum.
    fft_->inverse(scratch_.data(), frame_.data());
    for (int i = lifter_ + 1; i < size_ - lifter_; ++i) frame_[size_t(i)] = 0.0f;
    fft_->forward(frame_.data(), scratch_.data());
    const float keep = haveShape_ ? kEnvelopeMemory : 0.0f;
    for (int k = 0; k < bins; ++k) shape_[size_t(k)] = keep * shape_[size_t(k)] + (1.0f - keep) * scratch_[size_t(k)].real();
    haveShape_ = true;
}

} // namespace quorvel
