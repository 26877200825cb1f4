#include "platform/aac/FaacApi.h"

#include <climits>

namespace quorvel {

struct FaacEncoder {
    AacEncoder encoder;
    AacEncoder::Settings settings;
    faacEncConfiguration config;
};

faacEncHandle faacEncOpen(unsigned long sampleRate, unsigned int numChannels, unsigned long* inputSamples,
                          unsigned long* maxOutputBytes) {
    if (sampleRate == 0 || sampleRate > 96000 || numChannels < 1 || numChannels > 2) return nullptr;
    auto* handle = new FaacEncoder;
    handle->settings.sampleRate = int(sampleRate);
    handle->settings.channels = int(numChannels);
    if (inputSamples) *inputSamples = AacEncoder::kFrameSize * numChannels;
    if (maxOutputBytes) *maxOutputBytes = AacEncoder::kMaxFrameBytesPerChannel * numChannels;
    return handle;
}

faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle handle) {
    return handle ? &handle->config : nullptr;
}

int faacEncSetConfiguration(faacEncHandle handle, faacEncConfigurationPtr config) {
    if (!handle || !config) return 0;
    if (config->mpegVersion != MPEG4 || config->aacObjectType != LOW || config->outputFormat != 0 ||
        config->inputFormat != FAAC_INPUT_FLOAT || config->bitRate == 0 || config->bitRate > 320000)
        return 0;
    if (config != &handle->config) handle->config = *config;
    AacEncoder::Settings& s = handle->settings;
    s.bitRatePerChannel = int64_t(config->bitRate);
    s.midSide = config->allowMidside != 0;
    s.temporalNoiseShaping = config->useTns != 0;
    s.bandWidth = config->bandWidth > INT_MAX ? 0 : int(config->bandWidth);
    s.inputScale = 1.0f / 32768.0f;
    return handle->encoder.open(s) ? 1 : 0;
}

int faacEncGetDecoderSpecificInfo(faacEncHandle handle, std::vector<unsigned char>* info) {
    if (!handle || !info || !handle->encoder.isOpen()) return -1;
    *info = handle->encoder.audioSpecificConfig();
    return 0;
}

int faacEncGetDelay(faacEncHandle handle) {
    return handle && handle->encoder.isOpen() ? handle->encoder.primingSamples() : 0;
}

int faacEncEncode(faacEncHandle handle, const float* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize) {
    if (!handle || !handle->encoder.isOpen() || samplesInput > INT_MAX || bufferSize > INT_MAX) return -1;
    return handle->encoder.encode(inputBuffer, int(samplesInput), outputBuffer, int(bufferSize));
}

int faacEncClose(faacEncHandle handle) {
    delete handle;
    return 0;
}

} // namespace quorvel
