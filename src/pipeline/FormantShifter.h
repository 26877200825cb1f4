#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

namespace ff {
class RealFourierTransform;
}

// Moves the spectral envelope (the formants) of one channel by `factor`
// while leaving the harmonics where they are. Before a pitch shift by p done
// by resampling, a factor of 1 / p keeps the formants in place, so voices
// keep their character instead of sounding like chipmunks or giants.
//
// Short-time Fourier frames of about 46 ms at a quarter-frame hop. The
// envelope of a frame is its log magnitude held at its peaks across about
// one harmonic spacing (so the valleys between harmonics, whose depth
// changes with the waveform's phase, have no say), smoothed by keeping its
// low cepstral coefficients, and averaged with the previous frame's, so the
// gain a steady harmonic gets stays steady. Each bin at f is scaled by
// envelope(f / factor) / envelope(f); the frames are then scaled so that
// their energy, averaged over about 0.1 s, is what came in: the step moves
// the formants, not the loudness. Output is time-aligned with the input and
// exactly as long.
class FormantShifter {
public:
    // Throws std::bad_alloc when the transform cannot be set up (nothing
    // stays allocated then).
    FormantShifter(double factor, double sampleRate);
    ~FormantShifter();
    FormantShifter(const FormantShifter&) = delete;
    FormantShifter& operator=(const FormantShifter&) = delete;

    void push(const float* in, long frames);
    void finish();
    long pull(float* out, long max);
    bool drained() const;

private:
    void processFrames();
    void processFrame(const float* frame);
    void followShape();

    const double factor_;
    int size_ = 0;    // frame length, a power of two
    int hop_ = 0;
    int lifter_ = 0;  // cepstral coefficients kept each side
    int hold_ = 0;    // bins each side over which the peak is held
    std::unique_ptr<ff::RealFourierTransform> fft_;
    std::vector<float> window_;
    std::vector<float> frame_;                   // size_ samples
    std::vector<std::complex<float>> spectrum_;  // size_ / 2 + 1 bins
    std::vector<std::complex<float>> scratch_;
    std::vector<float> power_;     // per bin
    std::vector<float> shape_;     // the envelope: log amplitude per bin, averaged over frames
    std::vector<float> gain_;      // log gain per bin
    bool haveShape_ = false;
    double energyBefore_ = 0.0;    // a frame's energy as it came, averaged over frames
    double energyAfter_ = 0.0;     // and after the envelope's gains
    std::vector<float> input_;     // unprocessed input; the next frame starts at inputRead_
    size_t inputRead_ = 0;
    std::vector<float> overlap_;   // overlap-add accumulator, size_ floats
    std::vector<float> output_;    // finished output not yet pulled, from outputRead_
    size_t outputRead_ = 0;
    int64_t toSkip_ = 0;           // leading output that belongs to the start padding
    int64_t inputFrames_ = 0;
    int64_t emitted_ = 0;          // output frames appended to output_
    bool finished_ = false;
};

} // namespace quorvel
