#include "platform/media/AVAudioMix.h"

#include <algorithm>

namespace quorvel {

std::shared_ptr<AVMutableAudioMixInputParameters>
AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(int trackID) {
    return std::shared_ptr<AVMutableAudioMixInputParameters>(new AVMutableAudioMixInputParameters(trackID));
}

void AVMutableAudioMixInputParameters::setVolume(float volume, const CMTime& atTime) {
    Ramp r{CMTimeGetSeconds(atTime), 0.0, volume, volume};
    auto pos = std::upper_bound(ramps_.begin(), ramps_.end(), r.start,
                                [](double t, const Ramp& x) { return t < x.start; });
    ramps_.insert(pos, r);
}

void AVMutableAudioMixInputParameters::setVolumeRamp(float startVolume, float endVolume,
                                                     const CMTimeRange& timeRange) {
    if (!timeRange.isValid()) return;
    Ramp r{CMTimeGetSeconds(timeRange.start), CMTimeGetSeconds(timeRange.duration), startVolume, endVolume};
    auto pos = std::upper_bound(ramps_.begin(), ramps_.end(), r.start,
                                [](double t, const Ramp& x) { return t < x.start; });
    ramps_.insert(pos, r);
}

float AVMutableAudioMixInputParameters::gainAt(double seconds) const {
    float gain = 1.0f;
    for (const Ramp& r : ramps_) {
        if (seconds < r.start) break;
        if (r.duration > 0 && seconds < r.start + r.duration)
            return float(r.from + (r.to - r.from) * ((seconds - r.start) / r.duration));
        gain = r.to;
    }
    return gain;
}

bool AVMutableAudioMixInputParameters::isSteadyBetween(double from, double to) const {
    for (const Ramp& r : ramps_) {
        if (r.start > to) break;
        // A setting changes the volume at its start; a ramp all along it.
        const bool changesInside = r.duration > 0 ? r.start + r.duration > from : r.start > from;
        if (changesInside) return false;
    }
    return true;
}

float AVAudioMix::gainAt(double seconds, int trackID) const {
    const float ramps = rampGainAt(seconds, trackID);
    return loudness_ ? ramps * loudness_->gainAt(seconds) : ramps;
}

std::optional<float> AVAudioMix::steadyGainBetween(double from, double to, int trackID) const {
    if (loudness_ && loudness_->isLimited()) return std::nullopt;
    const AVMutableAudioMixInputParameters* p = parametersFor(trackID);
    if (p && !p->isSteadyBetween(from, to)) return std::nullopt;
    return gainAt(from, trackID);
}

const AVMutableAudioMixInputParameters* AVAudioMix::parametersFor(int trackID) const {
    if (inputParameters_.empty()) return nullptr;
    for (const auto& p : inputParameters_)
        if (p && p->trackID() == trackID) return p.get();
    return inputParameters_.front().get();
}

float AVAudioMix::rampGainAt(double seconds, int trackID) const {
    const AVMutableAudioMixInputParameters* p = parametersFor(trackID);
    return p ? p->gainAt(seconds) : 1.0f;
}

QString AVAudioMix::description() const {
    QString s = QStringLiteral("<AVAudioMix");
    for (const auto& p : inputParameters_) {
        if (!p) continue;
        s += QStringLiteral(" track %1:").arg(p->trackID());
        for (const auto& r : p->ramps())
            s += QStringLiteral(" [%1+%2 %3->%4]").arg(r.start).arg(r.duration).arg(r.from).arg(r.to);
    }
    if (loudness_) s += QStringLiteral(" loudness x%1%2").arg(loudness_->level()).arg(loudness_->isLimited() ? QStringLiteral(" limited") : QString());
    return s + QStringLiteral(">");
}

QString describe(const AVAudioMix& mix) { return mix.description(); }

} // namespace quorvel
