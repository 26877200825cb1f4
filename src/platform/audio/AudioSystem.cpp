#include "platform/audio/AudioSystem.h"

#include "platform/audio/SdlLibrary.h"
#include "platform/core/Log.h"

namespace quorvel {

AudioSystem& AudioSystem::sharedInstance() {
    static AudioSystem instance;
    return instance;
}

void AudioSystem::stop() {
    if (!running_) return;
    SdlLibrary::get().QuitSubSystem(SDL_INIT_AUDIO);
    running_ = false;
    fallback_ = false;
}

bool AudioSystem::start(QString* error) {
    const QByteArray requested = qgetenv("SDL_AUDIODRIVER");
    if (running_) {
        if (requested == requestedDriver_ || openDevices_ > 0) return true;
        stop();
    }
    QString why;
    if (!SdlLibrary::open(&why)) {
        NSLog("audio: %@; sound goes nowhere", why);
        if (error) *error = why;
        return false;
    }
    requestedDriver_ = requested;
    SdlLibrary::get().SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Quorvel");
    // SIGTERM and SIGINT are the program's (TerminationSignals): SDL would
    // turn them into quit events nobody reads, and the program would ignore them.
    SdlLibrary::get().SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SdlLibrary::get().ResetHint(SDL_HINT_AUDIODRIVER);
    if (SdlLibrary::get().InitSubSystem(SDL_INIT_AUDIO) == 0) {
        running_ = true;
        fallback_ = false;
        return true;
    }
    NSLog("audio: %@; sound goes nowhere", QString::fromUtf8(SdlLibrary::get().GetError()));
    return fallBackToDummy(error);
}

bool AudioSystem::fallBackToDummy(QString* error) {
    if (openDevices_ > 0) {
        if (error) *error = QStringLiteral("audio devices are still open");
        return false;
    }
    stop();
    if (!SdlLibrary::open(error)) return false;
    SdlLibrary::get().SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SdlLibrary::get().InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) *error = QString::fromUtf8(SdlLibrary::get().GetError());
        return false;
    }
    running_ = true;
    fallback_ = true;
    return true;
}

bool AudioSystem::restart(QString* error) {
    if (openDevices_ > 0) {
        if (error) *error = QStringLiteral("audio devices are still open");
        return false;
    }
    stop();
    return start(error);
}

QString AudioSystem::driverName() const {
    const char* name = running_ ? SdlLibrary::get().GetCurrentAudioDriver() : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

bool AudioSystem::hasCaptureDevice() {
    if (!start(nullptr) || fallback_) return false;
    // The dummy driver lists a capture device that only ever hears silence.
    if (driverName() == QLatin1String("dummy")) return false;
    return SdlLibrary::get().GetNumAudioDevices(1) > 0;
}

} // namespace quorvel
