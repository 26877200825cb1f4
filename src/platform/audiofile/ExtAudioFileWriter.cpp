#include "platform/audiofile/ExtAudioFileWriter.h"

#include "platform/audiofile/AudioStatus.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {
// Client data is converted in slices of this many frames, which bounds the
// memory a single large write needs.
constexpr UInt32 kSliceFrames = 65536;
// Queue chunk for encoders that take any frame count (PCM).
constexpr int kPCMChunk = 4096;
} // namespace

ExtAudioFileWriter::ExtAudioFileWriter(std::shared_ptr<AudioFileEncoder> file) : file_(std::move(file)) {
    // Until the caller sets one, the client format is interleaved 16-bit at the file's rate.
    const AudioStreamBasicDescription& f = file_->dataFormat();
    AudioStreamBasicDescription c{};
    c.mSampleRate = f.mSampleRate;
    c.mFormatID = kAudioFormatLinearPCM;
    c.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    c.mBitsPerChannel = 16;
    c.mChannelsPerFrame = f.mChannelsPerFrame;
    c.mFramesPerPacket = 1;
    c.mBytesPerFrame = c.mBytesPerPacket = 2 * f.mChannelsPerFrame;
    setClientFormat(c);
}

OSStatus ExtAudioFileWriter::setClientFormat(const AudioStreamBasicDescription& f) {
    if (f.mFormatID != kAudioFormatLinearPCM) return kExtAudioFileError_NonPCMClientFormat;
    if (finished_ || !file_->isOpen()) return kExtAudioFileError_InvalidOperationOrder;
    const bool isFloat = f.mFormatFlags & kAudioFormatFlagIsFloat;
    const bool isInt = f.mFormatFlags & kAudioFormatFlagIsSignedInteger;
    const bool planar = f.mFormatFlags & kAudioFormatFlagIsNonInterleaved;
    const UInt32 bytes = isFloat ? 4 : 2;
    if (!std::isfinite(f.mSampleRate) || f.mSampleRate < 1000 || f.mSampleRate > 768000 ||
        f.mChannelsPerFrame != fileFormat().mChannelsPerFrame || (f.mFormatFlags & kAudioFormatFlagIsBigEndian) ||
        isFloat == isInt || f.mBitsPerChannel != bytes * 8 || f.mFramesPerPacket != 1 ||
        f.mBytesPerFrame != (planar ? bytes : bytes * f.mChannelsPerFrame) || f.mBytesPerPacket != f.mBytesPerFrame)
        return kAudioFileUnsupportedDataFormatError;

    const AVCodecContext* codec = file_->codec();
    AVSampleFormat in = isFloat ? (planar ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_FLT)
                                : (planar ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S16);
    // Samples queued under the old format are sent on before switching.
    if (resampler_) {
        if (OSStatus s = push(nullptr, 0); s != noErr) return s;
    }
    ff::ChannelLayout layout;
    if (layout.assign(codec->ch_layout) < 0) return kAudio_MemFullError;
    SwrContext* raw = nullptr;
    int rc = swr_alloc_set_opts2(&raw, layout.get(), codec->sample_fmt, codec->sample_rate, layout.get(), in,
                                 int(std::lround(f.mSampleRate)), 0, nullptr);
    ff::Resampler swr(raw);
    if (rc < 0 || !swr) return statusFromAVError(rc, kAudioFileUnsupportedDataFormatError);
    rc = swr_init(swr.get());
    if (rc < 0) return statusFromAVError(rc, kAudioFileUnsupportedDataFormatError);
    if (!queue_) {
        queue_.reset(av_audio_fifo_alloc(codec->sample_fmt, codec->ch_layout.nb_channels, kPCMChunk));
        frame_ = ff::makeFrame();
        converted_ = ff::makeFrame();
        if (!queue_ || !frame_ || !converted_) return kAudio_MemFullError;
    }
    resampler_ = std::move(swr);
    client_ = f;
    clientSet_ = true;
    return noErr;
}

SInt64 ExtAudioFileWriter::framesWritten() const {
    return file_->framesWritten() + (queue_ ? av_audio_fifo_size(queue_.get()) : 0);
}

OSStatus ExtAudioFileWriter::push(const uint8_t* const* in, int count) {
    const AVCodecContext* codec = file_->codec();
    const int outMax = swr_get_out_samples(resampler_.get(), count);
    if (outMax < 0) return statusFromAVError(outMax);
    if (outMax == 0) return noErr;
    if (outMax > convertedCapacity_) {
        av_frame_unref(converted_.get());
        converted_->format = codec->sample_fmt;
        converted_->nb_samples = outMax;
        int rc = av_channel_layout_copy(&converted_->ch_layout, &codec->ch_layout);
        if (rc >= 0) rc = av_frame_get_buffer(converted_.get(), 0);
        if (rc < 0) {
            convertedCapacity_ = 0;
            return statusFromAVError(rc);
        }
        convertedCapacity_ = outMax;
    }
    const int n = swr_convert(resampler_.get(), converted_->extended_data, outMax, const_cast<const uint8_t**>(in), count);
    if (n < 0) return statusFromAVError(n);
    if (n > 0 && av_audio_fifo_write(queue_.get(), reinterpret_cast<void**>(converted_->extended_data), n) < n)
        return kAudio_MemFullError;
    return noErr;
}

OSStatus ExtAudioFileWriter::encodeQueued(bool final) {
    const AVCodecContext* codec = file_->codec();
    const int frameSize = file_->frameSize();
    const int chunk = frameSize > 0 ? frameSize : kPCMChunk;
    // Encoders that take any count get everything at once, so that no data
    // waits in the queue (a file closed before its wrapper keeps it all).
    if (frameSize == 0) final = true;
    // Fixed-size encoders without a short last frame get the tail padded with silence.
    const bool mustPad = frameSize > 0 && !(codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    while (av_audio_fifo_size(queue_.get()) >= chunk || (final && av_audio_fifo_size(queue_.get()) > 0)) {
        const int take = std::min(chunk, av_audio_fifo_size(queue_.get()));
        const int samples = mustPad ? chunk : take;
        // The encoder may still hold the previous frame's buffer: never write into it.
        av_frame_unref(frame_.get());
        frame_->format = codec->sample_fmt;
        frame_->nb_samples = samples;
        frame_->sample_rate = codec->sample_rate;
        int rc = av_channel_layout_copy(&frame_->ch_layout, &codec->ch_layout);
        if (rc >= 0) rc = av_frame_get_buffer(frame_.get(), 0);
        if (rc < 0) return statusFromAVError(rc);
        if (av_audio_fifo_read(queue_.get(), reinterpret_cast<void**>(frame_->extended_data), take) < take)
            return kAudioFileUnspecifiedError;
        if (samples > take)
            av_samples_set_silence(frame_->extended_data, take, samples - take, codec->ch_layout.nb_channels,
                                   codec->sample_fmt);
        if (OSStatus s = file_->encode(frame_.get()); s != noErr) return s;
    }
    return noErr;
}

OSStatus ExtAudioFileWriter::write(UInt32 frames, const AudioBufferList* list) {
    if (finished_ || !file_->isOpen()) return kAudioFileNotOpenError;
    if (!clientSet_) return kExtAudioFileError_InvalidOperationOrder;
    if (!list) return kAudio_ParamError;
    if (frames == 0) return noErr;
    const bool planar = client_.mFormatFlags & kAudioFormatFlagIsNonInterleaved;
    const UInt32 channels = client_.mChannelsPerFrame;
    const UInt32 buffers = planar ? channels : 1;
    if (list->mNumberBuffers != buffers) return kAudio_ParamError;
    const uint8_t* planes[16] = {};
    const AudioBuffer* all = list->mBuffers; // the entries continue past the declared one
    for (UInt32 b = 0; b < buffers; ++b) {
        const AudioBuffer& buffer = all[b];
        if (!buffer.mData || uint64_t(buffer.mDataByteSize) < uint64_t(frames) * client_.mBytesPerFrame)
            return kAudio_ParamError;
        planes[b] = static_cast<const uint8_t*>(buffer.mData);
    }
    for (UInt32 done = 0; done < frames;) {
        const UInt32 slice = std::min(kSliceFrames, frames - done);
        const uint8_t* in[16] = {};
        for (UInt32 b = 0; b < buffers; ++b) in[b] = planes[b] + size_t(done) * client_.mBytesPerFrame;
        if (OSStatus s = push(in, int(slice)); s != noErr) return s;
        if (OSStatus s = encodeQueued(false); s != noErr) return s;
        done += slice;
    }
    return noErr;
}

OSStatus ExtAudioFileWriter::finish() {
    if (finished_) return noErr;
    finished_ = true;
    if (!file_->isOpen()) return kAudioFileNotOpenError;
    OSStatus status = clientSet_ ? push(nullptr, 0) : noErr;
    if (status == noErr && clientSet_) status = encodeQueued(true);
    OSStatus drained = file_->encode(nullptr);
    return status != noErr ? status : drained;
}

} // namespace quorvel
