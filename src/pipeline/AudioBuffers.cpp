#include "pipeline/AudioBuffers.h"

#include <cstdint>
#include <cstdlib>

namespace quorvel {

float** AllocateAudioBuffer(int numChannels, int numFrames) {
    if (numChannels <= 0 || numFrames < 0) return nullptr;
    auto** audio = static_cast<float**>(std::calloc(size_t(numChannels), sizeof(float*)));
    if (!audio) return nullptr;
    for (int c = 0; c < numChannels; ++c) {
        // calloc(0) may legitimately return nullptr; only a real request can fail.
        audio[c] = static_cast<float*>(std::calloc(size_t(numFrames) + 1, sizeof(float)));
        if (!audio[c]) {
            DeallocateAudioBuffer(audio, numChannels);
            return nullptr;
        }
    }
    return audio;
}

void DeallocateAudioBuffer(float** audio, int numChannels) {
    if (!audio) return;
    for (int c = 0; c < numChannels; ++c) std::free(audio[c]);
    std::free(audio);
}

AudioBufferList* AllocateAudioBufferList(unsigned long numBuffers, unsigned long bytesPerBuffer) {
    // The list's fields are 32-bit: larger requests cannot be described.
    if (numBuffers > UINT32_MAX || bytesPerBuffer > UINT32_MAX) return nullptr;
    auto* list = static_cast<AudioBufferList*>(std::calloc(1, audioBufferListSize(numBuffers)));
    if (!list) return nullptr;
    list->mNumberBuffers = UInt32(numBuffers);
    AudioBuffer* buffers = list->mBuffers; // the entries continue past the declared one
    for (unsigned long i = 0; i < numBuffers; ++i) {
        buffers[i].mNumberChannels = 1;
        buffers[i].mDataByteSize = UInt32(bytesPerBuffer);
        buffers[i].mData = std::calloc(bytesPerBuffer ? bytesPerBuffer : 1, 1);
        if (!buffers[i].mData) {
            DestroyAudioBufferList(list);
            return nullptr;
        }
    }
    return list;
}

void DestroyAudioBufferList(AudioBufferList* list) {
    if (!list) return;
    AudioBuffer* buffers = list->mBuffers;
    for (UInt32 i = 0; i < list->mNumberBuffers; ++i) std::free(buffers[i].mData);
    std::free(list);
}

} // namespace quorvel
