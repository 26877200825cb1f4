#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVTXContext;

namespace quorvel {

// Moves the spectral envelope (the formants) of one channel by `factor`
// while leaving the harmonics where they are. Before a pitch shift by p done
// by resampling, a factor of 1 / p keeps the formants in place, so voices
// keep their character instead of sounding like chipmunks or giants.
// Short-time Fourier frames of about 23 ms at a quarter-frame hop; the
// envelope of each frame is its liftered real cepstrum, and each bin at f is
// scaled by envelope(f / factor) / envelope(f). Output is time-aligned with
// the input and exactly as long.
class FormantShifter {
public:
    FormantShifter(double factor, double sampleRate);
    ~FormantShifter();
    FormantShifter(const FormantShifter&) = delete;
    FormantShifter& operator=(const FormantShifter&) = delete;

    void push(const float* in, long frames);
    void finish();
    long pull(float* out, long max);
    bool drained() const;

private:
    class Transform;

    void processFrames();
    void processFrame(const float* frame);

    const double factor_;
    int size_ = 0;    // frame length, a power of two
    int hop_ = 0;
    int lifter_ = 0;  // cepstral coefficients kept each side
    Transform* forward_ = nullptr;
    Transform* inverse_ = nullptr;
    std::vector<float> window_;
    float* frame_ = nullptr;     // windowed frame, then the cepstrum (size_ floats)
    float* spectrum_ = nullptr;  // size_ / 2 + 1 complex values
    float* scratch_ = nullptr;   // size_ + 2 floats
    std::vector<float> logEnvelope_;
    std::vector<float> input_;   // unprocessed input; the next frame starts at inputRead_
    size_t inputRead_ = 0;
    std::vector<float> overlap_; // overlap-add accumulator, size_ floats
    std::vector<float> output_;  // finished output not yet pulled, from outputRead_
    size_t outputRead_ = 0;
    int64_t toSkip_ = 0;         // leading output that belongs to the start padding
    int64_t inputFrames_ = 0;
    int64_t emitted_ = 0;        // output frames appended to output_
    bool finished_ = false;
};

} // namespace quorvel
