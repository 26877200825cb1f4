#include "platform/audio/AudioOutput.h"

#include "platform/audio/AudioRenderer.h"
#include "platform/audio/AudioSystem.h"
#include "platform/audio/SdlLibrary.h"
#include "platform/core/Log.h"
#include "platform/core/NotificationCenter.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace quorvel {

namespace {
// How often finished renderers are collected on the main thread.
constexpr int kHousekeepingMs = 40;

void closeAtExit() { AudioOutput::sharedInstance().close(); }
} // namespace

AudioOutput& AudioOutput::sharedInstance() {
    // Never destroyed: the audio thread may still be winding down at exit.
    static AudioOutput* instance = new AudioOutput;
    return *instance;
}

AudioOutput::AudioOutput() {
    if (QCoreApplication::instance()) qAddPostRoutine(closeAtExit);
}

AudioOutput::~AudioOutput() = default;

// SDL holds this lock around each callback. The main thread takes it only to
// change a slot, so the callback never waits more than a moment for it.
void AudioOutput::lock() const {
    if (device_) SdlLibrary::get().LockAudioDevice(device_);
}

void AudioOutput::unlock() const {
    if (device_) SdlLibrary::get().UnlockAudioDevice(device_);
}

bool AudioOutput::open(QString* error) {
    AudioSystem& system = AudioSystem::sharedInstance();
    // After a lost device, or on the fallback, the driver may have a server
    // again: start it afresh (its connection to the old one is dead).
    if ((lost_ || system.isFallback()) && system.openDevices() == 0) system.restart();
    lost_ = false;
    if (!system.start(error)) return false;
    SDL_AudioSpec want{};
    want.freq = kSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = kPeriodFrames;
    want.callback = &AudioOutput::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No format changes allowed: SDL converts to whatever the device takes.
    device_ = SdlLibrary::get().OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_ && !system.isFallback() && system.openDevices() == 0) {
        NSLog("audio: no output device (%@); sound goes nowhere", QString::fromUtf8(SdlLibrary::get().GetError()));
        if (system.fallBackToDummy(error)) device_ = SdlLibrary::get().OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (!device_) {
        if (error) *error = QStringLiteral("Cannot open the audio output: %1").arg(QString::fromUtf8(SdlLibrary::get().GetError()));
        return false;
    }
    system.deviceOpened();
    scratch_.assign(size_t(have.samples > 0 ? have.samples : kPeriodFrames) * kChannels, 0.0f);
    if (!timer_) {
        timer_ = std::make_unique<QTimer>();
        timer_->setInterval(kHousekeepingMs);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] { housekeeping(); });
    }
    timer_->start();
    idle_.invalidate();
    SdlLibrary::get().PauseAudioDevice(device_, 0);
    return true;
}

void AudioOutput::closeDevice() {
    if (!device_) return;
    // Joins SDL's audio thread; it is in a short wait or a callback.
    SdlLibrary::get().CloseAudioDevice(device_);
    device_ = 0;
    AudioSystem::sharedInstance().deviceClosed();
    if (timer_) timer_->stop();
    idle_.invalidate();
}

bool AudioOutput::attach(AudioRenderer* renderer, QString* error) {
    if (!renderer) return false;
    if (isAttached(renderer)) return true;
    if (!device_ && !open(error)) return false;
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.renderer; });
    if (free == slots_.end()) {
        if (error) *error = QStringLiteral("Too many sounds at once");
        return false;
    }
    lock();
    free->done.store(false, std::memory_order_relaxed);
    free->renderer = renderer;
    unlock();
    idle_.invalidate();
    return true;
}

void AudioOutput::detach(AudioRenderer* renderer) {
    if (!renderer) return;
    lock();
    for (Slot& s : slots_)
        if (s.renderer == renderer) s.renderer = nullptr;
    unlock();
}

bool AudioOutput::isAttached(const AudioRenderer* renderer) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.renderer == renderer; });
}

bool AudioOutput::isBusy() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.renderer != nullptr; });
}

bool AudioOutput::close() {
    if (isBusy()) return false;
    closeDevice();
    return true;
}

void AudioOutput::deviceLost() {
    std::array<AudioRenderer*, std::tuple_size_v<decltype(slots_)>> cut{};
    size_t count = 0;
    lock();
    for (Slot& s : slots_) {
        if (s.renderer) cut[count++] = s.renderer;
        s.renderer = nullptr;
    }
    unlock();
    NSLog("audio: the sound device is gone (%@); sound plays again once one is back",
          AudioSystem::sharedInstance().driverName());
    closeDevice();
    lost_ = true;
    for (size_t i = 0; i < count; ++i) cut[i]->renderingCutOff();
    NotificationCenter::defaultCenter().postNotificationName(QString::fromLatin1(kDeviceLostNotification), this);
}

void AudioOutput::housekeeping() {
    if (device_ && SdlLibrary::get().GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
        deviceLost();
        return;
    }
    std::array<AudioRenderer*, std::tuple_size_v<decltype(slots_)>> finished{};
    size_t count = 0;
    lock();
    for (Slot& s : slots_) {
        if (s.renderer && s.done.load(std::memory_order_acquire)) {
            finished[count++] = s.renderer;
            s.renderer = nullptr;
        }
    }
    unlock();
    // A finished renderer may attach, detach or close in its handler.
    for (size_t i = 0; i < count; ++i) finished[i]->renderingFinished();

    if (isBusy()) {
        idle_.invalidate();
    } else if (!idle_.isValid()) {
        idle_.start();
    } else if (idle_.elapsed() >= kIdleCloseMs) {
        closeDevice();
    }
}

void AudioOutput::callback(void* self, uint8_t* stream, int bytes) {
    static_cast<AudioOutput*>(self)->mix(reinterpret_cast<float*>(stream), bytes / int(sizeof(float) * kChannels));
}

// Audio thread, with SDL's device lock held: the slots cannot change here.
void AudioOutput::mix(float* out, int frames) {
    std::memset(out, 0, size_t(frames) * kChannels * sizeof(float));
    const int chunk = int(scratch_.size() / kChannels);
    if (chunk <= 0) return;
    for (Slot& s : slots_) {
        if (!s.renderer || s.done.load(std::memory_order_relaxed)) continue;
        for (int at = 0; at < frames; at += chunk) {
            const int n = std::min(chunk, frames - at);
            const bool more = s.renderer->render(scratch_.data(), n);
            float* dst = out + size_t(at) * kChannels;
            for (int i = 0; i < n * kChannels; ++i) dst[i] += scratch_[size_t(i)];
            if (!more) {
                s.done.store(true, std::memory_order_release);
                break;
            }
        }
    }
}

} // namespace quorvel
