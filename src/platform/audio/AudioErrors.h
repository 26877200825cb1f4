#pragma once
// Errors of the audio services in the platform's shape: a status code in the
// OSStatus domain, with the description also in the user info, so that logs
// that print the user info say what went wrong.
#include "platform/core/NSError.h"
#include "platform/core/OSStatus.h"

#include <QString>

namespace quorvel {

extern const QString NSOSStatusErrorDomain;

NSError osStatusError(OSStatus code, const QString& description);

// The output device went away while it played.
constexpr OSStatus kAudioHardwareBadDeviceError = OSStatus(fourCC("!dev"));

} // namespace quorvel
