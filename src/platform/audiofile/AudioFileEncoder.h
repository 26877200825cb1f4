#pragma once
// An audio file being written: the container (WAVE, AIFF, AIFC, CAF, M4A) and
// the encoder for its data format. Takes frames in the encoder's own sample
// format; the writing wrapper (ExtAudioFileWriter) converts client samples.
// Used by one thread at a time.
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/ffmpeg/FFmpegHandles.h"

#include <QString>
#include <memory>

namespace quorvel {

class AudioFileEncoder {
public:
    // Creates (or, with kAudioFileFlags_EraseFile, replaces) the file and writes
    // its header. Returns nullptr and sets *status on failure.
    static std::unique_ptr<AudioFileEncoder> create(const QString& path, AudioFileTypeID type,
                                                    const AudioStreamBasicDescription& format, AudioFileFlags flags,
                                                    OSStatus* status);
    ~AudioFileEncoder();
    AudioFileEncoder(const AudioFileEncoder&) = delete;
    AudioFileEncoder& operator=(const AudioFileEncoder&) = delete;

    const AudioStreamBasicDescription& dataFormat() const { return format_; }
    const AVCodecContext* codec() const { return codec_.get(); }
    // Samples per encoder frame; 0 when any count will do.
    int frameSize() const;
    bool isOpen() const { return !closed_; }
    SInt64 framesWritten() const { return nextPts_; }

    // Encodes one frame (nullptr drains the encoder) and writes its packets.
    OSStatus encode(AVFrame* frame);
    // Writes the trailer and closes the file; later calls do nothing.
    OSStatus close();

private:
    AudioFileEncoder() = default;

    AudioStreamBasicDescription format_{};
    ff::OutputFormat muxer_;
    ff::CodecContext codec_;
    ff::Packet packet_;
    AVStream* stream_ = nullptr;
    SInt64 nextPts_ = 0;
    bool drained_ = false;
    // Closed until the header is on disk, so a half-made file is never finished.
    bool closed_ = true;
};

} // namespace quorvel
