#include "StreamResampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel {

namespace {

// Zero crossings of the sinc on each side (at the output's cutoff), the
// Kaiser window's shape and the number of tabulated fractional positions.
// Together they keep aliasing and interpolation error below about -80 dB.
constexpr int kZeroCrossings = 16;
constexpr double kKaiserBeta = 8.0;
constexpr int kPhases = 512;
// Cutoff as a share of the lower Nyquist frequency: the rest is the
// transition band.
constexpr double kPassband = 0.95;

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-12) break;
    }
    return sum;
}

} // namespace

StreamResampler::StreamResampler(double step) : step_(step) {
    const double cutoff = kPassband * std::min(1.0, 1.0 / step);  // of the input's Nyquist
    // A multiple of four each side keeps the dot product in whole groups of 8.
    halfTaps_ = (int(std::ceil(kZeroCrossings / cutoff)) + 3) / 4 * 4;
    const int taps = 2 * halfTaps_;
    table_.assign(size_t(kPhases + 1) * size_t(taps), 0.0f);
    const double i0Beta = besselI0(kKaiserBeta);
    // Row `phase` holds the weights of input frames base - halfTaps_ + 1 ...
    // base + halfTaps_ for a read position base + phase / kPhases.
    for (int phase = 0; phase <= kPhases; ++phase) {
        const double frac = double(phase) / kPhases;
        for (int k = 0; k < taps; ++k) {
            const double d = frac + double(halfTaps_ - 1 - k);  // distance from read position to frame
            const double r = d / halfTaps_;
            if (std::fabs(r) >= 1.0) continue;
            const double x = std::numbers::pi * cutoff * d;
            const double sinc = d == 0.0 ? 1.0 : std::sin(x) / x;
            const double window = besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / i0Beta;
            table_[size_t(phase) * size_t(taps) + size_t(k)] = float(cutoff * sinc * window);
        }
    }
    // Frames before the start read as silence.
    input_.assign(size_t(halfTaps_), 0.0f);
    inputStart_ = -halfTaps_;
}

void StreamResampler::push(const float* in, long frames) {
    if (frames <= 0 || finished_) return;
    compact();
    input_.insert(input_.end(), in, in + frames);
    inputFrames_ += frames;
}

void StreamResampler::finish() {
    if (finished_) return;
    finished_ = true;
    // Frames after the end read as silence.
    input_.insert(input_.end(), size_t(halfTaps_), 0.0f);
}

bool StreamResampler::drained() const {
    return finished_ && double(produced_) * step_ >= double(inputFrames_);
}

long StreamResampler::pull(float* out, long max) {
    long n = 0;
    while (n < max) {
        const double pos = double(produced_) * step_;
        if (finished_ && pos >= double(inputFrames_)) break;
        const int64_t base = int64_t(std::floor(pos));
        if (base + halfTaps_ >= inputStart_ + int64_t(input_.size())) break;  // needs more input
        out[n++] = sampleAt(pos, base);
        ++produced_;
    }
    return n;
}

// The output frame read at `pos` in the input, base = floor(pos).
float StreamResampler::sampleAt(double pos, int64_t base) const {
    const double phasePos = (pos - double(base)) * kPhases;
    const int phase = std::min(int(phasePos), kPhases - 1);
    const float alpha = float(phasePos - phase);
    const int taps = 2 * halfTaps_;
    const float* row0 = table_.data() + size_t(phase) * size_t(taps);
    const float* row1 = row0 + taps;
    const float* x = input_.data() + (base - halfTaps_ + 1 - inputStart_);
    // Eight running sums, so the compiler can keep them in one vector register.
    float sums[8] = {};
    for (int k = 0; k < taps; k += 8)
        for (int j = 0; j < 8; ++j) sums[j] += (row0[k + j] + alpha * (row1[k + j] - row0[k + j])) * x[k + j];
    float acc = 0.0f;
    for (float s : sums) acc += s;
    return acc;
}

// Drops input that no future output frame reads.
void StreamResampler::compact() {
    const int64_t firstNeeded = int64_t(std::floor(double(produced_) * step_)) - halfTaps_ + 1;
    const int64_t drop = firstNeeded - inputStart_;
    if (drop < 4096 || drop * 2 < int64_t(input_.size())) return;
    input_.erase(input_.begin(), input_.begin() + drop);
    inputStart_ += drop;
}

} // namespace quorvel
