#pragma once
// An AAC-LC encoder (libavcodec's native "aac" encoder) that turns interleaved
// float PCM into raw AAC frames (no ADTS headers), one frame of 1024 samples
// per channel at a time.
//
// Input is buffered internally, so any number of samples may be handed in per
// call; a frame is returned as soon as the encoder has one. Once the input is
// exhausted, calls with 0 samples flush the encoder's delayed frames; a call
// that returns 0 bytes after the flush has begun means the encoder is empty.
//
// Thread safety: one encoder is used by one thread at a time.
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

class AacEncoder {
public:
    struct Settings {
        int sampleRate = 44100;
        int channels = 1;               // 1 or 2
        int64_t bitRatePerChannel = 128000;
        bool midSide = true;            // allow mid/side stereo where it pays (stereo only)
        bool temporalNoiseShaping = false;
        int bandWidth = 0;              // Hz; 0 lets the encoder choose
        // Multiplier that brings the caller's floats to [-1, 1]: 1/32768 for
        // floats scaled to the 16-bit range, 1 for normalised floats.
        float inputScale = 1.0f / 32768.0f;
    };

    // Samples per channel in one AAC-LC frame.
    static constexpr int kFrameSize = 1024;
    // The largest raw frame AAC allows: 6144 bits per channel.
    static constexpr int kMaxFrameBytesPerChannel = 768;

    AacEncoder();
    ~AacEncoder();
    AacEncoder(const AacEncoder&) = delete;
    AacEncoder& operator=(const AacEncoder&) = delete;

    // Opens the encoder. Returns false (and a reason in *error) on failure.
    bool open(const Settings& settings, QString* error = nullptr);
    bool isOpen() const;

    int channels() const;
    // Interleaved samples that make one frame (kFrameSize x channels).
    int inputSamples() const;
    // Size of a buffer that holds any frame the encoder returns.
    int maxOutputBytes() const;
    // Samples per channel that the encoder puts before the first input sample.
    int primingSamples() const;
    // The AudioSpecificConfig (decoder-specific information for the container).
    const std::vector<uint8_t>& audioSpecificConfig() const;

    // Takes `samples` interleaved floats (a multiple of the channel count;
    // 0 means the input has ended) and writes at most one frame into `out`.
    // Returns the frame's size, 0 when no frame is ready (or, once flushing,
    // when the encoder is empty), or a negative number on error.
    int encode(const float* input, int samples, uint8_t* out, int outSize);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quorvel
