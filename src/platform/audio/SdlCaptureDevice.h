#pragma once
// The default capture device through SDL, opened at mono 16-bit 44,100 Hz
// (SDL converts from whatever the hardware delivers). Sound reaches the sink
// from SDL's capture thread; closing joins that thread.
//
// Thread safety: open, isLost and the destructor on the main thread.
#include "platform/audio/AudioCaptureDevice.h"
#include "platform/core/NSError.h"

#include <memory>

namespace quorvel {

class SdlCaptureDevice final : public AudioCaptureDevice {
public:
    static std::unique_ptr<SdlCaptureDevice> open(CaptureSink& sink, NSError* error);
    ~SdlCaptureDevice() override;
    bool isLost() const override;

    SdlCaptureDevice(const SdlCaptureDevice&) = delete;
    SdlCaptureDevice& operator=(const SdlCaptureDevice&) = delete;

private:
    explicit SdlCaptureDevice(CaptureSink& sink) : sink_(sink) {}
    static void callback(void* self, uint8_t* stream, int bytes);

    CaptureSink& sink_;
    uint32_t device_ = 0;
};

} // namespace quorvel
