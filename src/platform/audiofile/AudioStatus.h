#pragma once
// Translation of FFmpeg's error numbers into the platform's status codes.
#include "CoreAudioTypes.h"

namespace quorvel {

// The platform status for an AVERROR: missing file, permission, memory and
// invalid data get their own codes, anything else becomes `fallback`.
OSStatus statusFromAVError(int averror, OSStatus fallback = kAudioFileUnspecifiedError);

} // namespace quorvel
