#pragma once
// A source of captured sound (mono, 16-bit, 44,100 Hz) and the sink it
// feeds. The sink is fed on the device's own thread and must not block.
#include <cstdint>

namespace quorvel {

class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    virtual void push(const int16_t* samples, int frames) noexcept = 0;
};

class AudioCaptureDevice {
public:
    static constexpr int kSampleRate = 44100;

    virtual ~AudioCaptureDevice() = default;
    // The device has gone away (unplugged, its server stopped).
    virtual bool isLost() const = 0;
};

} // namespace quorvel
