#include "platform/aac/AudioFormat.h"

extern "C" {
#include <libavcodec/avcodec.h>
}
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {

bool hardwareEncoderRemoved() {
    const char* value = std::getenv("QUORVEL_NO_HARDWARE_AAC");
    return value && std::strcmp(value, "1") == 0;
}

// Looks up the encoders for a format; false for an unusable specifier.
OSStatus encodersFor(uint32_t specifierSize, const void* specifier, std::vector<AudioClassDescription>* out) {
    if (!specifier || specifierSize != sizeof(uint32_t)) return kAudioFormatBadSpecifierSizeError;
    uint32_t format;
    std::memcpy(&format, specifier, sizeof format);
    if (format != kAudioFormatMPEG4AAC) return kAudioFormatUnsupportedDataFormatError;
    bool haveNative = false;
    void* it = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&it)) {
        if (!av_codec_is_encoder(codec) || codec->id != AV_CODEC_ID_AAC) continue;
        out->push_back({kAudioEncoderComponentType, kAudioFormatMPEG4AAC, kAppleSoftwareAudioCodecManufacturer});
        if (std::strcmp(codec->name, "aac") == 0) haveNative = true;
    }
    // The asset export service encodes with the native encoder.
    if (haveNative && !hardwareEncoderRemoved())
        out->push_back({kAudioEncoderComponentType, kAudioFormatMPEG4AAC, kAppleHardwareAudioCodecManufacturer});
    return noErr;
}

} // namespace

OSStatus AudioFormatGetPropertyInfo(AudioFormatPropertyID property, uint32_t specifierSize, const void* specifier,
                                    uint32_t* outPropertyDataSize) {
    if (property != kAudioFormatProperty_Encoders) return kAudioFormatUnsupportedPropertyError;
    if (!outPropertyDataSize) return kAudioFormatBadPropertySizeError;
    std::vector<AudioClassDescription> encoders;
    OSStatus status = encodersFor(specifierSize, specifier, &encoders);
    if (status != noErr) return status;
    *outPropertyDataSize = uint32_t(encoders.size() * sizeof(AudioClassDescription));
    return noErr;
}

OSStatus AudioFormatGetProperty(AudioFormatPropertyID property, uint32_t specifierSize, const void* specifier,
                                uint32_t* ioPropertyDataSize, void* outPropertyData) {
    if (property != kAudioFormatProperty_Encoders) return kAudioFormatUnsupportedPropertyError;
    if (!ioPropertyDataSize || (*ioPropertyDataSize > 0 && !outPropertyData)) return kAudioFormatBadPropertySizeError;
    std::vector<AudioClassDescription> encoders;
    OSStatus status = encodersFor(specifierSize, specifier, &encoders);
    if (status != noErr) return status;
    size_t count = std::min<size_t>(encoders.size(), *ioPropertyDataSize / sizeof(AudioClassDescription));
    if (count > 0) std::memcpy(outPropertyData, encoders.data(), count * sizeof(AudioClassDescription));
    *ioPropertyDataSize = uint32_t(count * sizeof(AudioClassDescription));
    return noErr;
}

} // namespace quorvel
