#pragma once
// Test input that behaves like music rather than a pure tone: changing chords
// with harmonics, plus short noise bursts, deterministic for a given seed.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace quorvel::test {

// Interleaved samples in [-1, 1): `frames` frames of `channels` channels at 44,100 Hz.
inline std::vector<float> musicLike(int frames, int channels = 1, unsigned seed = 7) {
    const double rate = 44100.0;
    const double chords[4][3] = {{261.63, 329.63, 392.0}, {220.0, 261.63, 329.63},
                                 {174.61, 220.0, 261.63}, {196.0, 246.94, 293.66}};
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> out(size_t(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double t = i / rate;
        const auto& chord = chords[int(t * 2.0) % 4]; // a new chord every 0.5 s
        const double beat = std::fmod(t, 0.25);       // an attack every quarter second
        const double envelope = std::exp(-beat * 6.0);
        for (int c = 0; c < channels; ++c) {
            double v = 0;
            for (int n = 0; n < 3; ++n)
                for (int h = 1; h <= 3; ++h) v += std::sin(2 * M_PI * chord[n] * h * (1.0 + 0.002 * c) * t) / (h * 9.0);
            v *= 0.6 * envelope + 0.2;
            if (beat < 0.02) v += 0.25 * noise(rng) * (1.0 - beat / 0.02); // a percussive burst
            out[size_t(i) * channels + c] = float(std::clamp(v, -0.99, 0.99));
        }
    }
    return out;
}

} // namespace quorvel::test
