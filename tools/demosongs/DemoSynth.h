#pragma once
// A small arranger for the demo songs: a four-chord progression with pad,
// bass, a seeded pentatonic melody, kick and hi-hat, in stereo.
#include <cstdint>
#include <vector>

namespace quorvel::demo {

struct SongStyle {
    double seconds = 40.0;
    double bpm = 100.0;
    int rootMidi = 60;      // key of the progression
    bool minor = false;     // i-VI-III-VII instead of I-V-vi-IV
    uint32_t seed = 1;      // the melody's choices
};

class DemoSynth {
public:
    // Interleaved stereo floats in [-1, 1] at `sampleRate`.
    static std::vector<float> render(const SongStyle& style, int sampleRate);
};

} // namespace quorvel::demo
