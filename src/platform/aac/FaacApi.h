#pragma once
// The FAAC-style steps of the ringtone writer, over AacEncoder: open with a
// sample rate and channel count, adjust the configuration, fetch the
// decoder-specific information, encode frame by frame, close.
#include "platform/aac/AacEncoder.h"

#include <memory>
#include <vector>

namespace quorvel {

constexpr unsigned int MPEG4 = 0;
constexpr unsigned int LOW = 2;
constexpr unsigned int FAAC_INPUT_FLOAT = 4; // floats scaled to the 16-bit range

struct faacEncConfiguration {
    unsigned int mpegVersion = MPEG4;
    unsigned int aacObjectType = LOW;
    unsigned int allowMidside = 1;
    unsigned int useLfe = 0;
    unsigned int useTns = 0;
    unsigned long bitRate = 64000; // per channel
    unsigned int bandWidth = 0;
    unsigned long quantqual = 100;
    unsigned int outputFormat = 0; // 0 raw frames, 1 ADTS
    unsigned int inputFormat = FAAC_INPUT_FLOAT;
};
using faacEncConfigurationPtr = faacEncConfiguration*;

struct FaacEncoder;
using faacEncHandle = FaacEncoder*;

// Null when the rate or channel count cannot be encoded. Sets the samples one
// encode call takes and the largest frame it returns.
faacEncHandle faacEncOpen(unsigned long sampleRate, unsigned int numChannels, unsigned long* inputSamples,
                          unsigned long* maxOutputBytes);
faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle handle);
// Opens the encoder with the configuration: 1 on success, 0 when refused
// (ADTS output, another object type or input format, an encoder failure).
int faacEncSetConfiguration(faacEncHandle handle, faacEncConfigurationPtr config);
// The AudioSpecificConfig: 0 on success.
int faacEncGetDecoderSpecificInfo(faacEncHandle handle, std::vector<unsigned char>* info);
// Samples the encoder puts before the first input sample (its priming).
int faacEncGetDelay(faacEncHandle handle);
// Bytes of the frame written to outputBuffer, 0 when none is ready (or the
// flush is over), negative on error. samplesInput 0 flushes.
int faacEncEncode(faacEncHandle handle, const float* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize);
int faacEncClose(faacEncHandle handle);

// Owns a handle for the scope of a job; faacEncClose through reset().
struct FaacEncCloser {
    void operator()(FaacEncoder* handle) const { faacEncClose(handle); }
};
using FaacEncoderPtr = std::unique_ptr<FaacEncoder, FaacEncCloser>;

} // namespace quorvel
