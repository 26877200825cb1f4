#pragma once
// Sample buffers passed between the audio file reader/writer and the effects
// run. The C-style functions allocate and free them; the owners below free
// them by themselves, so a caller never pairs the calls by hand.
#include "platform/audiofile/CoreAudioTypes.h"

#include <memory>
#include <utility>

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

struct AudioBufferListDestroyer {
    void operator()(AudioBufferList* list) const { DestroyAudioBufferList(list); }
};
using AudioBufferListPtr = std::unique_ptr<AudioBufferList, AudioBufferListDestroyer>;

// One zeroed float array per channel, owned as a value (moved, never copied);
// false when the allocation failed.
class ChannelBuffers {
public:
    ChannelBuffers() = default;
    ChannelBuffers(int numChannels, int numFrames)
        : channels_(numChannels), audio_(AllocateAudioBuffer(numChannels, numFrames)) {}
    ~ChannelBuffers() { DeallocateAudioBuffer(audio_, channels_); }
    ChannelBuffers(ChannelBuffers&& other) noexcept
        : channels_(std::exchange(other.channels_, 0)), audio_(std::exchange(other.audio_, nullptr)) {}
    ChannelBuffers& operator=(ChannelBuffers&& other) noexcept {
        std::swap(channels_, other.channels_);
        std::swap(audio_, other.audio_);
        return *this;
    }
    ChannelBuffers(const ChannelBuffers&) = delete;
    ChannelBuffers& operator=(const ChannelBuffers&) = delete;

    explicit operator bool() const { return audio_ != nullptr; }
    // The arrays as the readers and writers take them: audio[channel][frame].
    float** get() const { return audio_; }
    float* operator[](int channel) const { return audio_[channel]; }
    int channels() const { return channels_; }

private:
    int channels_ = 0;
    float** audio_ = nullptr;
};

} // namespace quorvel
