#pragma once
// Sample buffers passed between the audio file reader/writer and the effects
// run. The caller owns them and frees them with the matching function.
#include "CoreAudioTypes.h"

namespace quorvel {

// One zeroed array of `numFrames` floats per channel; nullptr when any
// allocation fails (nothing is left allocated then).
float** AllocateAudioBuffer(int numChannels, int numFrames);
// Frees each non-null channel array, then the pointer array. Ignores nullptr.
void DeallocateAudioBuffer(float** audio, int numChannels);

// A list of `numBuffers` one-channel buffers of `bytesPerBuffer` zeroed bytes
// each; nullptr when any allocation fails.
AudioBufferList* AllocateAudioBufferList(unsigned long numBuffers, unsigned long bytesPerBuffer);
// Frees each non-null data block, then the list. Ignores nullptr.
void DestroyAudioBufferList(AudioBufferList* list);

} // namespace quorvel
