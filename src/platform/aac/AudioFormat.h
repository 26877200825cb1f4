#pragma once
// Audio format services: the platform's list of AAC encoders.
//
// The list is built from libavcodec's AAC encoders, each described as a
// software codec ('appl'). The asset export service always has an AAC encoder
// of its own; it is listed as the hardware codec ('aphw'), unless the
// environment sets QUORVEL_NO_HARDWARE_AAC=1 (a machine without one).
//
// Thread safety: every function may be called from any thread.
#include "platform/core/OSStatus.h"

#include <cstdint>

namespace quorvel {

struct AudioClassDescription {
    uint32_t mType;
    uint32_t mSubType;
    uint32_t mManufacturer;
};
static_assert(sizeof(AudioClassDescription) == 12);

using AudioFormatPropertyID = uint32_t;

constexpr uint32_t kAudioFormatMPEG4AAC = fourCC("aac ");
constexpr AudioFormatPropertyID kAudioFormatProperty_Encoders = fourCC("aven");
constexpr uint32_t kAudioEncoderComponentType = fourCC("aenc");
constexpr uint32_t kAppleSoftwareAudioCodecManufacturer = fourCC("appl");
constexpr uint32_t kAppleHardwareAudioCodecManufacturer = fourCC("aphw");

constexpr OSStatus kAudioFormatUnsupportedPropertyError = OSStatus(fourCC("prop"));
constexpr OSStatus kAudioFormatBadSpecifierSizeError = OSStatus(fourCC("!spc"));
constexpr OSStatus kAudioFormatUnsupportedDataFormatError = OSStatus(fourCC("fmt?"));
constexpr OSStatus kAudioFormatBadPropertySizeError = OSStatus(fourCC("!siz"));

// Size in bytes of the property's value for the given specifier.
OSStatus AudioFormatGetPropertyInfo(AudioFormatPropertyID property, uint32_t specifierSize, const void* specifier,
                                    uint32_t* outPropertyDataSize);
// Copies at most *ioPropertyDataSize bytes of the value (whole descriptions
// only) and sets *ioPropertyDataSize to the bytes copied.
OSStatus AudioFormatGetProperty(AudioFormatPropertyID property, uint32_t specifierSize, const void* specifier,
                                uint32_t* ioPropertyDataSize, void* outPropertyData);

} // namespace quorvel
