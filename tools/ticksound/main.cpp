// Writes the editor's step-button tick, resources/tick.wav: 40 ms, mono,
// 16-bit, 44,100 Hz. A short bright click: two partials under a 1 ms rise
// and a fast exponential decay, ending in exact silence.
//
// Usage: quorvel-tick-sound OUTPUT.wav
#include "platform/audio/WavRecordingFile.h"

#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
        return 2;
    }
    constexpr int kRate = 44100;
    constexpr int kFrames = kRate * 40 / 1000;
    constexpr double kRise = 0.001, kDecay = 0.006, kTail = 0.002, kPeak = 0.5;
    std::vector<int16_t> samples(kFrames);
    for (int n = 0; n < kFrames; ++n) {
        const double t = double(n) / kRate;
        double env = t < kRise ? 0.5 - 0.5 * std::cos(M_PI * t / kRise) : std::exp(-(t - kRise) / kDecay);
        const double left = double(kFrames - 1 - n) / kRate;
        if (left < kTail) env *= left / kTail;
        const double tone = 0.7 * std::sin(2 * M_PI * 2200 * t) + 0.3 * std::sin(2 * M_PI * 3500 * t);
        samples[size_t(n)] = int16_t(std::lrint(kPeak * 32767.0 * env * tone));
    }
    quorvel::WavRecordingFile file;
    if (!file.create(QString::fromLocal8Bit(argv[1]), kRate, 1) || !file.append(samples.data(), samples.size()) ||
        !file.close()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
