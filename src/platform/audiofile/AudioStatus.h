#pragma once
// Translation of FFmpeg's error numbers into the platform's status codes.
#include "platform/audiofile/CoreAudioTypes.h"

#include <QString>

namespace quorvel {

// The platform status for an AVERROR: missing file, permission, memory and
// invalid data get their own codes, anything else becomes `fallback`.
OSStatus statusFromAVError(int averror, OSStatus fallback = kAudioFileUnspecifiedError);

// The system's own words ("No space left on device") for the error behind
// `status`, when it is the last status statusFromAVError made on this thread
// and came from the system (disk full, permissions, missing file, memory);
// empty otherwise. For messages: a status code alone cannot tell a full disk
// from a file-size limit.
QString systemReasonForStatus(OSStatus status);

} // namespace quorvel
