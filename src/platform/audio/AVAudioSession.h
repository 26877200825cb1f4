#pragma once
// The application's audio session: its category (what the application means
// to do with sound), its activation, and whether there is a microphone.
// Deactivating closes the audio devices; it fails while sound is playing or
// being recorded.
//
// Thread safety: main thread only.
#include "platform/core/NSError.h"

#include <QString>

namespace quorvel {

extern const QString AVAudioSessionCategoryAmbient;
extern const QString AVAudioSessionCategorySoloAmbient;
extern const QString AVAudioSessionCategoryPlayback;
extern const QString AVAudioSessionCategoryRecord;
extern const QString AVAudioSessionCategoryPlayAndRecord;

// The session's status codes.
constexpr long long AVAudioSessionErrorCodeIsBusy = 0x21616374;           // '!act'
constexpr long long AVAudioSessionErrorCodeUnspecified = 0x77686174;      // 'what'

class AVAudioSession {
public:
    static AVAudioSession& sharedInstance();

    // False, with an error, for a category this system does not know.
    bool setCategory(const QString& category, NSError* error);
    const QString& category() const { return category_; }
    bool setActive(bool active, NSError* error);
    bool isActive() const { return active_; }
    // A capture device exists.
    bool inputIsAvailable() const;

    AVAudioSession(const AVAudioSession&) = delete;
    AVAudioSession& operator=(const AVAudioSession&) = delete;

private:
    AVAudioSession() = default;
    QString category_ = AVAudioSessionCategorySoloAmbient;
    bool active_ = false;
};

} // namespace quorvel
