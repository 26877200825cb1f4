#pragma once
// Measurements on rendered audio, shared by the engine and effects-run tests.
#include <cmath>
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

} // namespace quorvel::test
