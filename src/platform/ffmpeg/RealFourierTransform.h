#pragma once
// The discrete Fourier transform of real signals of one power-of-two length,
// both ways, on FFmpeg's transforms. It keeps its own working buffers
// (aligned as FFmpeg's vector code wants), so callers pass plain arrays.
//
// Threads: an object is used from one thread at a time; separate objects
// are independent.
#include <complex>
#include <memory>

namespace quorvel::ff {

class RealFourierTransform {
public:
    // `size` is a power of two from 16 to 2^20 (std::invalid_argument
    // otherwise). Throws std::bad_alloc when FFmpeg cannot set it up; nothing
    // is left allocated then.
    explicit RealFourierTransform(int size);
    ~RealFourierTransform();
    RealFourierTransform(const RealFourierTransform&) = delete;
    RealFourierTransform& operator=(const RealFourierTransform&) = delete;

    int size() const { return size_; }
    int bins() const { return size_ / 2 + 1; }

    // time[size()] in, spectrum[bins()] out (bin k at k / size() of the sample rate).
    void forward(const float* time, std::complex<float>* spectrum);
    // spectrum[bins()] in, time[size()] out, scaled so that inverse(forward(x)) is x.
    void inverse(const std::complex<float>* spectrum, float* time);

private:
    struct Contexts;

    int size_;
    std::unique_ptr<Contexts> contexts_;
};

} // namespace quorvel::ff
