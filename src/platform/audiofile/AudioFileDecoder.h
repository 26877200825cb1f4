#pragma once
// The reading side of an extended audio file: demuxes and decodes one audio
// stream and converts it to the client format (interleaved 16-bit integers or
// 32-bit floats at any rate and channel count). Used by one thread at a time.
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/ffmpeg/FFmpegHandles.h"

#include <QString>
#include <memory>
#include <vector>

namespace quorvel {

class AudioFileDecoder {
public:
    // Opens the file's best audio stream. Returns nullptr and sets *status when
    // the file cannot be read or holds no decodable audio.
    static std::unique_ptr<AudioFileDecoder> open(const QString& path, OSStatus* status);

    AudioFileDecoder(const AudioFileDecoder&) = delete;
    AudioFileDecoder& operator=(const AudioFileDecoder&) = delete;

    const AudioStreamBasicDescription& fileFormat() const { return fileFormat_; }
    const AudioStreamBasicDescription& clientFormat() const { return clientFormat_; }
    OSStatus setClientFormat(const AudioStreamBasicDescription& format);

    // Fills the list with up to *ioFrames client frames, continuing where the
    // last read stopped; *ioFrames becomes the count delivered (0 at the end).
    OSStatus read(UInt32* ioFrames, AudioBufferList* list);

    // The exact length in the file's own frames, counted once by decoding the
    // whole file on a second decoder (containers' own figures are estimates).
    OSStatus lengthFrames(SInt64* frames);

private:
    AudioFileDecoder() = default;
    // The next decoded frame, or nullptr at the end of the stream. Corrupt
    // packets are skipped; a demuxer error ends the stream.
    AVFrame* nextFrame();
    // Converts the next decoded frame (or, at the end, the resampler's tail)
    // into pending_. Returns false when nothing is left; sets *status on failure.
    bool refill(OSStatus* status);
    OSStatus configureResampler(const AVFrame* frame);

    QString path_;
    ff::InputFormat format_;
    ff::CodecContext codec_;
    ff::Packet packet_;
    ff::Frame frame_;
    int streamIndex_ = -1;
    bool draining_ = false;
    bool decoderEnded_ = false;
    bool resamplerFlushed_ = false;

    AudioStreamBasicDescription fileFormat_{};
    AudioStreamBasicDescription clientFormat_{};
    bool clientSet_ = false;

    ff::Resampler resampler_;
    int resamplerInRate_ = 0;
    int resamplerInFormat_ = -1;
    ff::ChannelLayout resamplerInLayout_;

    // Converted client samples not yet handed out.
    std::vector<uint8_t> pending_;
    size_t pendingPos_ = 0;

    SInt64 lengthFrames_ = -1;
};

} // namespace quorvel
