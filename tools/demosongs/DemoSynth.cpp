#include "DemoSynth.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorvel::demo {

namespace {

double midiHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Adds one note with a given envelope shape into the stereo buffer.
void addNote(std::vector<float>& out, int rate, double start, double length, double hz, double gain, double pan,
             double decay, const std::array<double, 3>& harmonics) {
    const int64_t first = int64_t(start * rate);
    const int64_t count = int64_t(length * rate);
    const int64_t frames = int64_t(out.size() / 2);
    const double left = gain * std::cos((pan + 1.0) * M_PI / 4.0);
    const double right = gain * std::sin((pan + 1.0) * M_PI / 4.0);
    for (int64_t i = 0; i < count && first + i < frames; ++i) {
        const double t = double(i) / rate;
        const double attack = std::min(1.0, t / 0.01);
        const double release = std::min(1.0, double(count - i) / (0.02 * rate));
        const double env = attack * release * (decay > 0 ? std::exp(-t / decay) : 1.0);
        double s = 0;
        for (size_t h = 0; h < harmonics.size(); ++h) s += harmonics[h] * std::sin(2.0 * M_PI * hz * double(h + 1) * t);
        out[size_t(2 * (first + i))] += float(s * env * left);
        out[size_t(2 * (first + i) + 1)] += float(s * env * right);
    }
}

} // namespace

std::vector<float> DemoSynth::render(const SongStyle& style, int rate) {
    const int64_t frames = int64_t(style.seconds * rate);
    std::vector<float> out(size_t(frames) * 2, 0.0f);
    const double beat = 60.0 / style.bpm;
    const double bar = 4 * beat;
    // Chords as (offset from the key, minor third?).
    const std::array<std::pair<int, bool>, 4> major = {{{0, false}, {7, false}, {9, true}, {5, false}}};
    const std::array<std::pair<int, bool>, 4> minor = {{{0, true}, {8, false}, {3, false}, {10, false}}};
    const auto& chords = style.minor ? minor : major;
    const std::array<int, 5> pentatonic = style.minor ? std::array<int, 5>{0, 3, 5, 7, 10} : std::array<int, 5>{0, 2, 4, 7, 9};
    uint32_t rng = style.seed * 2654435761u + 12345u;
    auto next = [&rng] {
        rng = rng * 1664525u + 1013904223u;
        return rng >> 8;
    };

    int melodyStep = 2;
    for (int b = 0; b * bar < style.seconds; ++b) {
        const double t0 = b * bar;
        const auto [offset, minorThird] = chords[size_t(b % 4)];
        const int root = style.rootMidi + offset;
        // Pad: the triad held for the bar, slightly spread.
        const int third = minorThird ? 3 : 4;
        int voice = 0;
        for (int interval : {0, third, 7}) {
            addNote(out, rate, t0, bar, midiHz(root + interval), 0.05, -0.4 + 0.4 * voice++, 0.0, {1.0, 0.45, 0.2});
        }
        for (int q = 0; q < 4; ++q) {
            const double tb = t0 + q * beat;
            // Bass on every beat, root and fifth.
            addNote(out, rate, tb, beat * 0.9, midiHz(root - 24 + (q % 2 ? 7 : 0)), 0.22, 0.0, 0.35, {1.0, 0.3, 0.1});
            // Kick: a falling sine.
            addNote(out, rate, tb, 0.18, 55.0, 0.45, 0.0, 0.06, {1.0, 0.2, 0.0});
            // Melody: eighth notes walking the pentatonic scale, some rests.
            for (int e = 0; e < 2; ++e) {
                if (next() % 4 == 0) continue;
                melodyStep = std::clamp(melodyStep + int(next() % 5) - 2, 0, 9);
                const int note = style.rootMidi + 12 + pentatonic[size_t(melodyStep % 5)] + 12 * (melodyStep / 5);
                addNote(out, rate, tb + e * beat / 2, beat / 2, midiHz(note), 0.12, 0.25, 0.25, {1.0, 0.3, 0.05});
            }
        }
        // Hi-hat: short noise bursts on the off-beats.
        for (int q = 0; q < 4; ++q) {
            const int64_t first = int64_t((t0 + q * beat + beat / 2) * rate);
            float previous = 0;
            for (int64_t i = 0; i < int64_t(0.04 * rate) && first + i < frames; ++i) {
                const float noise = float(int(next() % 2001) - 1000) / 1000.0f;
                const float high = noise - previous; // a crude high-pass
                previous = noise;
                const float env = 0.05f * std::exp(-float(i) / (0.012f * float(rate)));
                out[size_t(2 * (first + i))] += high * env * 0.7f;
                out[size_t(2 * (first + i) + 1)] += high * env;
            }
        }
    }
    // Short fades at both ends, then peak normalisation.
    float peak = 0;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const float g = float(std::min({1.0, t / 0.5, (style.seconds - t) / 2.0}));
        out[size_t(2 * i)] *= g;
        out[size_t(2 * i + 1)] *= g;
        peak = std::max({peak, std::fabs(out[size_t(2 * i)]), std::fabs(out[size_t(2 * i + 1)])});
    }
    if (peak > 0)
        for (float& s : out) s *= 0.85f / peak;
    return out;
}

} // namespace quorvel::demo
