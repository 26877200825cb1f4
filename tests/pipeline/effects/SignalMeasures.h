#pragma once
// Measurements on rendered audio, shared by the engine and effects-run tests.
#include <cmath>
#include <algorithm>
#include <cstddef>
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

// Index of the loudest sample: where a click lands (a phase vocoder smears
// a little pre-echo ahead of it, so the onset is not a fair measure).
inline size_t clickPosition(const std::vector<float>& x) {
    size_t at = 0;
    for (size_t i = 1; i < x.size(); ++i)
        if (std::fabs(x[i]) > std::fabs(x[at])) at = i;
    return at;
}

} // namespace quorvel::test
