#pragma once
// The writing side of an extended audio file: takes client samples (16-bit
// integers or 32-bit floats, interleaved or not, at any rate), converts them
// to the file's encoder format and hands whole encoder frames to the file.
// Used by one thread at a time.
#include "platform/audiofile/AudioFileEncoder.h"

#include <memory>

namespace quorvel {

class ExtAudioFileWriter {
public:
    explicit ExtAudioFileWriter(std::shared_ptr<AudioFileEncoder> file);
    ExtAudioFileWriter(const ExtAudioFileWriter&) = delete;
    ExtAudioFileWriter& operator=(const ExtAudioFileWriter&) = delete;

    const AudioStreamBasicDescription& fileFormat() const { return file_->dataFormat(); }
    const AudioStreamBasicDescription& clientFormat() const { return client_; }
    OSStatus setClientFormat(const AudioStreamBasicDescription& format);
    // Frames handed to the file so far, in the file's frames.
    SInt64 framesWritten() const;

    OSStatus write(UInt32 frames, const AudioBufferList* list);
    // Pushes out what the converter and the queue still hold and drains the
    // encoder. Later writes fail.
    OSStatus finish();

private:
    // Converts `count` client frames (nullptr flushes the converter) into the queue.
    OSStatus push(const uint8_t* const* in, int count);
    // Encodes whole frames from the queue; `final` also sends the last partial one.
    OSStatus encodeQueued(bool final);

    std::shared_ptr<AudioFileEncoder> file_;
    AudioStreamBasicDescription client_{};
    bool clientSet_ = false;
    bool finished_ = false;
    ff::Resampler resampler_;
    ff::AudioFifo queue_;
    ff::Frame converted_;
    int convertedCapacity_ = 0;
    ff::Frame frame_;
};

} // namespace quorvel
