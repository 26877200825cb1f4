#include "pipeline/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {
constexpr double kLookaheadSeconds = 0.002;
constexpr double kRecoverySeconds = 0.05;
constexpr float kUnity = 0.9995f;  // -0.004 dB
} // namespace

// Frame t's gain: the running minimum m(u) of the allowed gains over
// [u, u + L) averaged over u in (t - L, t]; every such window holds t, so at
// a peak the average is at most what the peak allows, and the gain moves to
// it over L frames instead of jumping. It then recovers towards 1 with a time
// constant of 50 ms, never above that average.
PeakLimiter::PeakLimiter(long channels, double sampleRate, float threshold)
    : channels_(channels), threshold_(threshold), lookahead_(std::max(1L, long(std::lround(kLookaheadSeconds * sampleRate)))),
      recovery_(float(1.0 - std::exp(-1.0 / (kRecoverySeconds * sampleRate)))), samples_(size_t(channels)) {}

void PeakLimiter::push(float* const* in, long frames) {
    if (frames <= 0 || finished_) return;
    for (long i = 0; i < frames; ++i) {
        float peak = 0.0f;
        for (long c = 0; c < channels_; ++c) {
            samples_[size_t(c)].push_back(in[c][i]);
            peak = std::max(peak, std::fabs(in[c][i]));
        }
        take(peak > threshold_ ? threshold_ / peak : 1.0f);
    }
    inputFrames_ += frames;
}

void PeakLimiter::finish() {
    if (finished_) return;
    finished_ = true;
    // Past the end every frame allows full gain.
    for (long i = 0; i < lookahead_; ++i) take(1.0f);
}

// Records the allowed gain of the next frame; once a window [u, u + L) is
// complete, its minimum.
void PeakLimiter::take(float required) {
    while (!minima_.empty() && minima_.back().second >= required) minima_.pop_back();
    minima_.emplace_back(known_, required);
    ++known_;
    const int64_t u = known_ - lookahead_;
    if (u < 0) {
        head_.push_back(required);
        return;
    }
    if (u == 0) startAverage();
    while (minima_.front().first < u) minima_.pop_front();
    windowMinima_.push_back(minima_.front().second);
}

// The windows that begin before the first frame reach into the input only
// as far as u + L: their minima are those of the first frames. The first
// entry is a placeholder, dropped as frame 0's own minimum comes in.
void PeakLimiter::startAverage() {
    recentMinima_.assign(1, 1.0f);
    minimaSum_ = 1.0;
    float m = 1.0f;
    for (float required : head_) {
        m = std::min(m, required);
        recentMinima_.push_back(m);
        minimaSum_ += m;
    }
    head_.clear();
}

// Frames that can be handed out: their window's minimum is known.
long PeakLimiter::ready() const {
    return long(std::min<int64_t>(int64_t(windowMinima_.size()), inputFrames_ - first_));
}

long PeakLimiter::pull(float* const* out, long max) {
    const long n = std::min(max, ready());
    for (long i = 0; i < n; ++i) {
        const float m = windowMinima_.front();  // minimum over [t, t + L)
        windowMinima_.pop_front();
        minimaSum_ += double(m) - double(recentMinima_.front());
        recentMinima_.pop_front();
        recentMinima_.push_back(m);
        const float average = float(minimaSum_ / double(lookahead_));
        gain_ = std::min(average, gain_ + (1.0f - gain_) * recovery_);
        if (gain_ > kUnity) gain_ = 1.0f;  // close enough: from here the output is the input again
        for (long c = 0; c < channels_; ++c) {
            const float x = samples_[size_t(c)].front();
            samples_[size_t(c)].pop_front();
            out[c][i] = gain_ >= 1.0f ? x : x * gain_;
        }
        ++first_;
    }
    return n;
}

bool PeakLimiter::drained() const { return finished_ && first_ >= inputFrames_; }

} // namespace quorvel
