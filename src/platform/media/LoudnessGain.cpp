#include "platform/media/LoudnessGain.h"

#include <cmath>

namespace quorvel {

LoudnessGain::LoudnessGain(float gain) : points_{gain}, level_(gain) {}

LoudnessGain::LoudnessGain(double startSeconds, int sampleRate, int step, std::vector<float> points)
    : start_(startSeconds), pointsPerSecond_(double(sampleRate) / double(step > 0 ? step : 1)),
      points_(std::move(points)) {
    if (points_.empty()) points_.push_back(1.0f);
    level_ = points_.front();
}

float LoudnessGain::gainAt(double seconds) const {
    if (points_.size() == 1) return points_.front();
    const double at = (seconds - start_) * pointsPerSecond_;
    if (!(at > 0)) return points_.front();
    const double whole = std::floor(at);
    const size_t i = size_t(whole);
    if (i + 1 >= points_.size()) return points_.back();
    const float t = float(at - whole);
    return points_[i] + (points_[i + 1] - points_[i]) * t;
}

} // namespace quorvel
