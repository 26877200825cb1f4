#include "platform/audio/AVAudioSession.h"

#include "platform/audio/AudioErrors.h"
#include "platform/audio/AudioOutput.h"
#include "platform/audio/AudioSystem.h"

namespace quorvel {

const QString AVAudioSessionCategoryAmbient = QStringLiteral("AVAudioSessionCategoryAmbient");
const QString AVAudioSessionCategorySoloAmbient = QStringLiteral("AVAudioSessionCategorySoloAmbient");
const QString AVAudioSessionCategoryPlayback = QStringLiteral("AVAudioSessionCategoryPlayback");
const QString AVAudioSessionCategoryRecord = QStringLiteral("AVAudioSessionCategoryRecord");
const QString AVAudioSessionCategoryPlayAndRecord = QStringLiteral("AVAudioSessionCategoryPlayAndRecord");

AVAudioSession& AVAudioSession::sharedInstance() {
    static AVAudioSession instance;
    return instance;
}

bool AVAudioSession::setCategory(const QString& category, NSError* error) {
    const QString known[] = {AVAudioSessionCategoryAmbient, AVAudioSessionCategorySoloAmbient,
                             AVAudioSessionCategoryPlayback, AVAudioSessionCategoryRecord,
                             AVAudioSessionCategoryPlayAndRecord};
    for (const QString& k : known) {
        if (k == category) {
            category_ = category;
            return true;
        }
    }
    if (error)
        *error = osStatusError(OSStatus(AVAudioSessionErrorCodeUnspecified),
                               QStringLiteral("Unknown audio session category “%1”").arg(category));
    return false;
}

bool AVAudioSession::setActive(bool active, NSError* error) {
    if (active) {
        QString why;
        if (!AudioSystem::sharedInstance().start(&why)) {
            if (error)
                *error = osStatusError(OSStatus(AVAudioSessionErrorCodeUnspecified),
                                       QStringLiteral("No sound: %1").arg(why));
            return false;
        }
        active_ = true;
        return true;
    }
    AudioOutput& output = AudioOutput::sharedInstance();
    if (output.isBusy() || AudioSystem::sharedInstance().captureDevicesOpen() > 0) {
        if (error)
            *error = osStatusError(OSStatus(AVAudioSessionErrorCodeIsBusy),
                                   QStringLiteral("Deactivating an audio session that is playing or recording"));
        return false;
    }
    output.close();
    active_ = false;
    return true;
}

bool AVAudioSession::inputIsAvailable() const { return AudioSystem::sharedInstance().hasCaptureDevice(); }

} // namespace quorvel
