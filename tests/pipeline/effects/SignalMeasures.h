#pragma once
// Measurements on rendered audio, shared by the engine and effects-run tests.
#include "platform/ffmpeg/RealFourierTransform.h"

#include <cmath>
#include <complex>
#include <algorithm>
#include <cstddef>
#include <numbers>
#include <vector>

namespace quorvel::test {

// Frequency from interpolated upward zero crossings in [from, to).
inline double zeroCrossingFrequency(const std::vector<float>& x, size_t from, size_t to, double sampleRate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            double t = double(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * sampleRate / (last - first);
}

inline double rmsDb(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < to && i < x.size(); ++i, ++n) sum += double(x[i]) * x[i];
    return n ? 10.0 * std::log10(sum / double(n) + 1e-30) : -600.0;
}

// Where a click lands: the centre of energy within 50 ms of its loudest
// sample. A phase vocoder smears a little pre-echo ahead of a click, and at
// large ratios repeats it a few times; the centre is where it is heard.
inline size_t clickPosition(const std::vector<float>& x) {
    size_t at = 0;
    for (size_t i = 1; i < x.size(); ++i)
        if (std::fabs(x[i]) > std::fabs(x[at])) at = i;
    const size_t reach = 2205;
    double energy = 0, moment = 0;
    for (size_t i = at > reach ? at - reach : 0; i < std::min(x.size(), at + reach); ++i) {
        energy += double(x[i]) * x[i];
        moment += double(i) * x[i] * x[i];
    }
    return energy > 0 ? size_t(std::llround(moment / energy)) : at;
}

// Harmonics of f0 whose loudness follows one resonance at `formantHz`.
inline std::vector<float> vowel(double f0, double formantHz, double seconds, double sampleRate) {
    std::vector<float> x(size_t(seconds * sampleRate), 0.0f);
    for (int h = 1; h * f0 < 10000; ++h) {
        const double d = (h * f0 - formantHz) / 250.0;
        const double a = 0.1 * std::exp(-d * d);
        for (size_t i = 0; i < x.size(); ++i) x[i] += float(a * std::sin(2 * std::numbers::pi * h * f0 * double(i) / sampleRate));
    }
    return x;
}

// Amplitude of the component at `hz` over the middle of x.
inline double amplitudeAt(const std::vector<float>& x, double hz, double sampleRate) {
    double re = 0, im = 0;
    const size_t from = x.size() / 4, to = x.size() * 3 / 4;
    for (size_t i = from; i < to; ++i) {
        const double w = 2 * std::numbers::pi * hz * double(i) / sampleRate;
        re += x[i] * std::cos(w);
        im += x[i] * std::sin(w);
    }
    return 2 * std::hypot(re, im) / double(to - from);
}

// The harmonic of f0 with the most energy: where the formant is.
inline double loudestHarmonic(const std::vector<float>& x, double f0, double sampleRate) {
    double best = 0, bestHz = 0;
    for (int h = 1; h * f0 < 5000; ++h) {
        const double a = amplitudeAt(x, h * f0, sampleRate);
        if (a > best) best = a, bestHz = h * f0;
    }
    return bestHz;
}

// Harmonic tone: harmonics 1 .. count of f0 at equal amplitude.
inline std::vector<float> harmonicTone(double f0, int count, float amplitude, double seconds, double sampleRate) {
    std::vector<float> x(size_t(seconds * sampleRate), 0.0f);
    for (int h = 1; h <= count; ++h)
        for (size_t i = 0; i < x.size(); ++i)
            x[i] += amplitude * float(std::sin(2 * std::numbers::pi * h * f0 * double(i) / sampleRate));
    return x;
}

// Harmonic-to-noise ratio in dB over the middle half of x: power spectra of
// Blackman-Harris frames summed; bins within 8 of a multiple of f0 are
// harmonic, every other bin above 20 Hz is noise. Sidebands, smear and
// aliases all count as noise.
inline double harmonicToNoiseDb(const std::vector<float>& x, double f0, double sampleRate) {
    const size_t from = x.size() / 4, to = x.size() * 3 / 4;
    int size = 16384;
    while (size > 1024 && size_t(size) > to - from) size /= 2;
    ff::RealFourierTransform fft(size);
    std::vector<float> window(static_cast<size_t>(size)), frame(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double t = 2 * std::numbers::pi * i / size;
        window[size_t(i)] = float(0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t));
    }
    std::vector<std::complex<float>> spectrum(size_t(fft.bins()));
    std::vector<double> power(size_t(fft.bins()), 0.0);
    for (size_t at = from; at + size_t(size) <= to; at += size_t(size / 2)) {
        for (int i = 0; i < size; ++i) frame[size_t(i)] = x[at + size_t(i)] * window[size_t(i)];
        fft.forward(frame.data(), spectrum.data());
        for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(spectrum[k]);
    }
    const double binHz = sampleRate / size;
    std::vector<bool> harmonic(power.size(), false);
    for (double f = f0; f < sampleRate / 2; f += f0) {
        const long centre = std::lround(f / binHz);
        for (long k = std::max(0L, centre - 8); k <= centre + 8 && k < long(power.size()); ++k) harmonic[size_t(k)] = true;
    }
    double h = 0, n = 0;
    for (size_t k = size_t(std::ceil(20.0 / binHz)); k < power.size(); ++k) (harmonic[k] ? h : n) += power[k];
    return 10.0 * std::log10((h + 1e-30) / (n + 1e-30));
}

} // namespace quorvel::test
