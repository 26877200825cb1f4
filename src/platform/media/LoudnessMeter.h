#pragma once
// EBU R128 loudness of interleaved float audio, on libebur128: the
// integrated loudness (gated, in LUFS) and the true peak (4x oversampled).
// One meter measures one piece of audio; add() it in any number of blocks.
//
// Not thread-safe: one thread per meter.
#include <cstddef>
#include <memory>

namespace quorvel {

class LoudnessMeter {
public:
    // A meter for `channels` (1 or 2) at `sampleRate` Hz. isValid() is
    // false when libebur128 refuses the format.
    LoudnessMeter(int channels, int sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool isValid() const;
    // `frames` frames of `channels` interleaved samples.
    bool add(const float* samples, size_t frames);
    // Integrated loudness in LUFS; -infinity for silence (everything gated out).
    double integratedLoudness() const;
    // The highest true peak of all channels, linear (1.0 is full scale).
    double truePeak() const;

    static double toDecibels(double linear);

private:
    struct State; // libebur128's state
    std::unique_ptr<State> state_;
    int channels_;
};

} // namespace quorvel
