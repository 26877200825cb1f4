#pragma once
// Brings a segment to the loudness of a ringtone: measures its integrated
// loudness (EBU R128, after the fades of its mix) and finds the gain that
// makes it kTargetLufs, with a look-ahead limiter wherever that gain would
// lift the true peak over the ceiling. The limiter works a little under the
// ceiling, so that the AAC encoder's overshoot stays below it too.
//
// Pure computation: callers run analyse() on a worker thread.
#include "platform/media/AssetExportJob.h"
#include "platform/media/LoudnessGain.h"

#include <memory>
#include <vector>

namespace quorvel {

class LoudnessNormalizer {
public:
    static constexpr double kTargetLufs = -14.0;
    static constexpr double kTruePeakCeilingDb = -1.0;
    // Where the limiter holds the peaks: the ceiling less the encoder's overshoot.
    static constexpr double kLimiterCeilingDb = -1.8;
    // Near-silent audio is not lifted by more than this.
    static constexpr double kMaxGainDb = 30.0;

    struct Result {
        double inputLufs = 0;     // -infinity for silence
        double outputLufs = 0;
        double outputTruePeakDb = 0;
        // Null for silence (nothing to scale).
        std::shared_ptr<const LoudnessGain> gain;
    };

    // `samples` holds `channels` interleaved channels at `sampleRate` Hz,
    // the first sample at `startSeconds` of media time.
    static Result normalize(const std::vector<float>& samples, int channels, int sampleRate, double startSeconds);
    // Decodes the job's range with its mix, then normalize(). False, with
    // the reason, when the source cannot be read or the job is cancelled.
    static bool analyse(const AssetExportJob& job, Result* result, NSError* error);

    LoudnessNormalizer() = delete;
};

} // namespace quorvel
