#pragma once
// A song's waveform as the editor's strip draws it: the lowest and highest
// sample of each strip column at twice the strip's scale (13.5 columns a
// second of song), the channels mixed down to one. Each value is kept in one
// signed byte on a decibel scale (0.75 dB steps from 0 down to -94.5 dBFS,
// 0 below that), so a four-minute song takes about 6.5 kB.
//
// compute() decodes the whole file with FFmpeg on the calling thread (a
// worker's: a song takes as long as its decode); the object itself is a
// plain value, safe to read from any thread once made.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel {

class WaveformPeaks {
public:
    static constexpr double kColumnsPerSecond = 13.5; // 6.75 points a second, at 2x
    static constexpr double kStepDecibels = 0.75;
    static constexpr int kLevels = 127;               // code 127 is 0 dBFS, 1 is -94.5 dBFS

    // The peaks of the file's best audio stream. Nothing, with the reason in
    // *error, when the file cannot be decoded or when `cancel` became true
    // (then *error is empty).
    static std::optional<WaveformPeaks> compute(const QString& path, const std::atomic<bool>* cancel,
                                                QString* error);

    // The stored form (a small header and two bytes a column), and back;
    // fromBytes() refuses anything that is not a whole stored form.
    QByteArray toBytes() const;
    static std::optional<WaveformPeaks> fromBytes(const QByteArray& bytes);

    int columnCount() const { return int(codes_.size() / 2); }
    // Lowest and highest sample of a column, -1 to 1 (as stored, to 0.375 dB).
    float minimum(int column) const { return level(codes_[size_t(column) * 2]); }
    float maximum(int column) const { return level(codes_[size_t(column) * 2 + 1]); }
    // The column's peak, max(|minimum|, |maximum|), in dBFS (-infinity for silence).
    double peakDecibels(int column) const;
    // The song's length as decoded, in seconds.
    double seconds() const { return seconds_; }

    // One sample value in the stored byte, and back.
    static int8_t code(float sample);
    static float level(int8_t code);

private:
    std::vector<int8_t> codes_; // minimum, maximum, per column
    double seconds_ = 0.0;
};

} // namespace quorvel
