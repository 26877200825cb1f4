#pragma once
// An audio mix: per-track volume settings and linear volume ramps over media
// time. gainAt() gives the volume at any time, so the export service and the
// players apply the mix sample by sample.
#include "platform/core/CMTime.h"
#include "platform/media/LoudnessGain.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel {

class AVMutableAudioMixInputParameters {
public:
    static std::shared_ptr<AVMutableAudioMixInputParameters> audioMixInputParametersWithTrack(int trackID);

    int trackID() const { return trackID_; }
    void setVolume(float volume, const CMTime& atTime);
    void setVolumeRamp(float startVolume, float endVolume, const CMTimeRange& timeRange);

    // Volume at `seconds` of media time: 1.0 before the first setting, linear
    // inside a ramp, the last value reached after it.
    float gainAt(double seconds) const;
    // Whether the volume stays what it is at `from` up to and including `to`.
    bool isSteadyBetween(double from, double to) const;

    struct Ramp {
        double start = 0;
        double duration = 0; // 0 for a plain volume setting
        float from = 1;
        float to = 1;
    };
    const std::vector<Ramp>& ramps() const { return ramps_; }

private:
    explicit AVMutableAudioMixInputParameters(int trackID) : trackID_(trackID) {}
    int trackID_;
    std::vector<Ramp> ramps_; // kept sorted by start
};

class AVAudioMix {
public:
    using InputParameters = std::shared_ptr<AVMutableAudioMixInputParameters>;
    static std::shared_ptr<AVAudioMix> audioMix() { return std::make_shared<AVAudioMix>(); }

    const std::vector<InputParameters>& inputParameters() const { return inputParameters_; }
    void setInputParameters(std::vector<InputParameters> parameters) { inputParameters_ = std::move(parameters); }

    // Gain for a track (the first parameters when none names it), 1.0 without
    // parameters, times the loudness gain when there is one.
    float gainAt(double seconds, int trackID = -1) const;
    // The gain when it stays the same from `from` to `to` (both included):
    // most of a segment lies between its fades, where no sample needs its own.
    std::optional<float> steadyGainBetween(double from, double to, int trackID = -1) const;
    // The level that normalizes the mixed segment's loudness (null: none).
    // Every reader of the mix (the exports, the preview) applies it with the ramps.
    void setLoudnessGain(std::shared_ptr<const LoudnessGain> gain) { loudness_ = std::move(gain); }
    const std::shared_ptr<const LoudnessGain>& loudnessGain() const { return loudness_; }
    QString description() const;

private:
    float rampGainAt(double seconds, int trackID) const;
    const AVMutableAudioMixInputParameters* parametersFor(int trackID) const;

    std::vector<InputParameters> inputParameters_;
    std::shared_ptr<const LoudnessGain> loudness_;
};

QString describe(const AVAudioMix& mix);

} // namespace quorvel
