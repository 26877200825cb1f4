#pragma once
// Songs of a known loudness for the normalization tests, made by ffmpeg, and
// ffmpeg's own EBU R128 reading of a file (its "ebur128" filter).
#include <QString>

namespace quorvel::test {

struct LoudnessReading {
    double integratedLufs = 0; // NaN when ffmpeg gave no reading
    double truePeakDbtp = 0;
};

// ffmpeg -i PATH -af ebur128=peak=true -f null -
LoudnessReading readLoudness(const QString& path);

// A 30-second stereo WAV song at `lufs`: pink noise under a chord with
// drum-like hits. `mastered` squeezes it through a limiter first (a loud,
// modern master with little headroom); otherwise its peaks stand well
// above its loudness, as in a quiet, old master. Empty on failure.
QString makeSongAtLoudness(const QString& path, double lufs, bool mastered);

} // namespace quorvel::test
