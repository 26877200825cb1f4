#pragma once
// System sounds: short sound files registered once and played over whatever
// else plays (the editor's tick). A sound is decoded when it is registered.
//
// Thread safety: main thread only.
#include "platform/core/OSStatus.h"

#include <QUrl>
#include <cstdint>

namespace quorvel {

using SystemSoundID = uint32_t;

// The phone's vibration; there is nothing to vibrate here.
constexpr SystemSoundID kSystemSoundID_Vibrate = 0x00000FFF;

// Registers the file (at most 30 s); *outID names it afterwards. Fails with
// -43 for a missing file, 'typ?' for a file that holds no audio.
OSStatus AudioServicesCreateSystemSoundID(const QUrl& url, SystemSoundID* outID);
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID soundID);
void AudioServicesPlaySystemSound(SystemSoundID soundID);
// As AudioServicesPlaySystemSound; a phone would also vibrate.
void AudioServicesPlayAlertSound(SystemSoundID soundID);

} // namespace quorvel
