#include "platform/media/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel {

struct LoudnessMeter::State {
    ebur128_state* meter = nullptr;
    ~State() {
        if (meter) ebur128_destroy(&meter);
    }
};

LoudnessMeter::LoudnessMeter(int channels, int sampleRate) : channels_(channels) {
    if (channels < 1 || channels > 2 || sampleRate <= 0) return;
    const unsigned long rate = static_cast<unsigned long>(sampleRate);
    ebur128_state* meter = ebur128_init(unsigned(channels), rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!meter) return;
    state_ = std::make_unique<State>();
    state_->meter = meter;
}

LoudnessMeter::~LoudnessMeter() = default;

bool LoudnessMeter::isValid() const { return state_ != nullptr; }

bool LoudnessMeter::add(const float* samples, size_t frames) {
    return state_ && ebur128_add_frames_float(state_->meter, samples, frames) == EBUR128_SUCCESS;
}

double LoudnessMeter::integratedLoudness() const {
    double lufs = -std::numeric_limits<double>::infinity();
    if (!state_ || ebur128_loudness_global(state_->meter, &lufs) != EBUR128_SUCCESS)
        return -std::numeric_limits<double>::infinity();
    return lufs;
}

double LoudnessMeter::truePeak() const {
    double peak = 0.0;
    for (int c = 0; state_ && c < channels_; ++c) {
        double p = 0.0;
        if (ebur128_true_peak(state_->meter, unsigned(c), &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
    }
    return peak;
}

double LoudnessMeter::toDecibels(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

} // namespace quorvel
