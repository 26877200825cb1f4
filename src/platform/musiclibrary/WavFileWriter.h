#pragma once
// Writes a 16-bit PCM WAV file: interleaved little-endian samples at any rate
// and channel count (more than two channels get the extensible header). The
// sizes in the header are written by finish(); a file never finished says
// so through isComplete().
//
// Thread safety: one writer is used by one thread at a time.
#include <QFile>
#include <QString>
#include <cstdint>

namespace quorvel {

class WavFileWriter {
public:
    WavFileWriter() = default;
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Creates (or truncates) the file. False and *error on failure.
    bool open(const QString& path, int sampleRate, int channels, QString* error);
    // Appends `frames` interleaved frames.
    bool write(const int16_t* samples, int64_t frames, QString* error);
    // Writes the final sizes and closes the file.
    bool finish(QString* error);

    int64_t frames() const { return frames_; }
    // The most frames a WAV file can hold at this channel count (its sizes are 32-bit).
    static int64_t maxFrames(int channels);
    // Whether the file is a WAV written by this class whose data is all there.
    static bool isComplete(const QString& path);

private:
    QFile file_;
    int sampleRate_ = 0;
    int channels_ = 0;
    int64_t frames_ = 0;
};

} // namespace quorvel
