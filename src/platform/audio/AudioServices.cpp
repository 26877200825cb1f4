#include "platform/audio/AudioServices.h"

#include "platform/audio/SystemSound.h"
#include "platform/audiofile/CoreAudioTypes.h"

#include <map>
#include <memory>

namespace quorvel {

namespace {
// The sounds registered so far. Identifiers start above the phone's own.
struct Registry {
    std::map<SystemSoundID, std::unique_ptr<SystemSound>> sounds;
    SystemSoundID next = 4096;
};

Registry& registry() {
    static Registry* instance = new Registry; // sounds may play until the end
    return *instance;
}

constexpr OSStatus kAudioServicesSystemSoundUnspecifiedError = -1500;
} // namespace

OSStatus AudioServicesCreateSystemSoundID(const QUrl& url, SystemSoundID* outID) {
    if (!outID || !url.isLocalFile()) return kAudio_ParamError;
    OSStatus status = noErr;
    auto sound = SystemSound::load(url.toLocalFile(), &status);
    if (!sound) return status;
    Registry& r = registry();
    *outID = r.next++;
    r.sounds.emplace(*outID, std::move(sound));
    return noErr;
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID soundID) {
    Registry& r = registry();
    return r.sounds.erase(soundID) ? noErr : kAudioServicesSystemSoundUnspecifiedError;
}

void AudioServicesPlaySystemSound(SystemSoundID soundID) {
    Registry& r = registry();
    auto it = r.sounds.find(soundID);
    if (it != r.sounds.end()) it->second->play();
}

void AudioServicesPlayAlertSound(SystemSoundID soundID) { AudioServicesPlaySystemSound(soundID); }

} // namespace quorvel
