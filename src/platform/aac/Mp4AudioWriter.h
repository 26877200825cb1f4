#pragma once
// Writes an MPEG-4 audio file (brand "M4A ", libavformat's "ipod" muxer) with
// one AAC track: one MPEG-4 sample per AAC frame, every sample a sync sample.
//
// Usage: create(), setMovieTimeScale(), addAudioTrack(), setAudioProfileLevel(),
// setDecoderSpecificInfo() (the AudioSpecificConfig; it also gives the channel
// count), optionally setEdit() with the encoder's priming, then writeSample()
// for every frame, setEditDuration() with the input's length, and close().
// The edit makes the file's duration the input's length: the priming is
// skipped and the last frame's padding trimmed.
//
// Destroying a writer without close() leaves an incomplete file (the caller
// deletes it). Thread safety: one writer is used by one thread at a time.
#include <QString>
#include <cstdint>
#include <memory>

namespace quorvel {

class Mp4AudioWriter {
public:
    static constexpr uint8_t kMpeg4AudioType = 0x40;
    static constexpr int64_t kDefaultDuration = -1; // the track's fixed sample duration

    // Creates (replaces) the file. Returns nullptr, with a reason, when it cannot.
    static std::unique_ptr<Mp4AudioWriter> create(const QString& path, QString* error = nullptr);
    ~Mp4AudioWriter();
    Mp4AudioWriter(const Mp4AudioWriter&) = delete;
    Mp4AudioWriter& operator=(const Mp4AudioWriter&) = delete;

    void setMovieTimeScale(uint32_t timeScale);
    // Adds the audio track; returns its id (1), or 0 when a track exists
    // already or the type is not MPEG-4 audio (0x40).
    int addAudioTrack(uint32_t timeScale, uint32_t sampleDuration, uint8_t audioType);
    // The object descriptor's audio profile-level indication (writes an iods box).
    void setAudioProfileLevel(uint8_t profileLevel);
    // The AudioSpecificConfig; false when it is not a valid one.
    bool setDecoderSpecificInfo(const uint8_t* data, size_t size);
    // Presentation: `mediaStart` samples (the encoder's priming) are skipped;
    // `duration` samples are played (0: until the end of the last sample).
    void setEdit(int64_t mediaStart, int64_t duration);
    void setEditDuration(int64_t duration);

    bool writeSample(const uint8_t* data, size_t size, int64_t duration = kDefaultDuration, bool sync = true);
    // Writes the last sample and the index; true when the file is complete.
    bool close();

    const QString& lastError() const;

private:
    Mp4AudioWriter();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quorvel
