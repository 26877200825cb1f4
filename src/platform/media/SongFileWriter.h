#pragma once
// Writes interleaved float PCM to a file with one of libavcodec's encoders
// and the container that the file's extension names (".mp3" with the MP3
// encoder, ".wav" with 16-bit PCM ...). Used for audio the program makes
// itself, such as the demo songs; ringtones go through the export service.
//
// Thread safety: one encoder is used by one thread at a time.
#include <QString>
#include <memory>

namespace quorvel {

class SongFileWriter {
public:
    struct Settings {
        QString codec = QStringLiteral("pcm_s16le"); // libavcodec encoder name
        int sampleRate = 44100;
        int channels = 2;
        int64_t bitRate = 0; // 0: the encoder's default
    };

    // Creates the file; nullptr, with a reason, when it cannot.
    static std::unique_ptr<SongFileWriter> create(const QString& path, const Settings& settings,
                                                    QString* error = nullptr);
    ~SongFileWriter();
    SongFileWriter(const SongFileWriter&) = delete;
    SongFileWriter& operator=(const SongFileWriter&) = delete;

    // `frames` frames of interleaved samples in [-1, 1].
    bool write(const float* samples, int frames);
    // Flushes the encoder and completes the file.
    bool close();
    const QString& lastError() const;

private:
    SongFileWriter();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quorvel
