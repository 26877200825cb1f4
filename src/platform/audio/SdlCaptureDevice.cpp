#include "platform/audio/SdlCaptureDevice.h"

#include "platform/audio/AudioErrors.h"
#include "platform/audio/AudioSystem.h"
#include "platform/audio/SdlLibrary.h"

namespace quorvel {

namespace {
constexpr int kPeriodFrames = 512;
constexpr OSStatus kNoInputError = 0x21696e70; // '!inp'
} // namespace

std::unique_ptr<SdlCaptureDevice> SdlCaptureDevice::open(CaptureSink& sink, NSError* error) {
    AudioSystem& system = AudioSystem::sharedInstance();
    QString why;
    if (!system.start(&why) || !system.hasCaptureDevice()) {
        if (error) *error = osStatusError(kNoInputError, QStringLiteral("No audio input is available"));
        return nullptr;
    }
    std::unique_ptr<SdlCaptureDevice> device(new SdlCaptureDevice(sink));
    SDL_AudioSpec want{};
    want.freq = kSampleRate;
    want.format = AUDIO_S16LSB;
    want.channels = 1;
    want.samples = kPeriodFrames;
    want.callback = &SdlCaptureDevice::callback;
    want.userdata = device.get();
    SDL_AudioSpec have{};
    device->device_ = SdlLibrary::get().OpenAudioDevice(nullptr, 1, &want, &have, 0);
    if (!device->device_) {
        if (error)
            *error = osStatusError(kNoInputError, QStringLiteral("Cannot open the audio input: %1")
                                                      .arg(QString::fromUtf8(SdlLibrary::get().GetError())));
        return nullptr;
    }
    system.deviceOpened();
    system.captureOpened();
    SdlLibrary::get().PauseAudioDevice(device->device_, 0);
    return device;
}

SdlCaptureDevice::~SdlCaptureDevice() {
    if (!device_) return;
    SdlLibrary::get().CloseAudioDevice(device_);
    AudioSystem::sharedInstance().deviceClosed();
    AudioSystem::sharedInstance().captureClosed();
}

bool SdlCaptureDevice::isLost() const { return device_ && SdlLibrary::get().GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }

void SdlCaptureDevice::callback(void* self, uint8_t* stream, int bytes) {
    auto* device = static_cast<SdlCaptureDevice*>(self);
    device->sink_.push(reinterpret_cast<const int16_t*>(stream), bytes / int(sizeof(int16_t)));
}

} // namespace quorvel
