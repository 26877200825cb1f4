#include "platform/audiofile/AudioFileDecoder.h"

#include "platform/audiofile/AudioStatus.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvel {

namespace {

// Rates outside these bounds are refused: they are not audio, and a tiny file
// rate against a normal client rate would make each frame expand enormously.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;
constexpr int kMaxClientChannels = 16;
constexpr int kMaxFileChannels = 64; // the most libswresample converts

AudioStreamBasicDescription describeStream(const AVCodecParameters* par) {
    AudioStreamBasicDescription d{};
    d.mSampleRate = par->sample_rate;
    d.mChannelsPerFrame = UInt32(std::max(0, par->ch_layout.nb_channels));
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    const char* name = desc ? desc->name : "";
    if (std::strncmp(name, "pcm_", 4) == 0) {
        const int bits = av_get_bits_per_sample(par->codec_id);
        d.mFormatID = kAudioFormatLinearPCM;
        d.mFormatFlags = kAudioFormatFlagIsPacked;
        if (name[4] == 'f') d.mFormatFlags |= kAudioFormatFlagIsFloat;
        else if (name[4] == 's') d.mFormatFlags |= kAudioFormatFlagIsSignedInteger;
        const size_t len = std::strlen(name);
        if (len > 2 && std::strcmp(name + len - 2, "be") == 0) d.mFormatFlags |= kAudioFormatFlagIsBigEndian;
        d.mBitsPerChannel = UInt32(std::max(0, bits));
        d.mFramesPerPacket = 1;
        d.mBytesPerFrame = d.mBytesPerPacket = d.mBitsPerChannel / 8 * d.mChannelsPerFrame;
        return d;
    }
    switch (par->codec_id) {
    case AV_CODEC_ID_MP3:
        d.mFormatID = kAudioFormatMPEGLayer3;
        d.mFramesPerPacket = 1152;
        break;
    case AV_CODEC_ID_AAC:
        d.mFormatID = kAudioFormatMPEG4AAC;
        d.mFormatFlags = par->profile >= 0 ? UInt32(par->profile + 1) : kMPEG4Object_AAC_LC;
        d.mFramesPerPacket = 1024;
        break;
    case AV_CODEC_ID_ALAC:
        d.mFormatID = kAudioFormatAppleLossless;
        d.mFramesPerPacket = 4096;
        break;
    case AV_CODEC_ID_ADPCM_IMA_QT:
        d.mFormatID = kAudioFormatAppleIMA4;
        d.mFramesPerPacket = 64;
        d.mBytesPerPacket = 34 * d.mChannelsPerFrame;
        break;
    default:
        // Other codecs are described by their container tag, when they have one.
        d.mFormatID = par->codec_tag;
        d.mFramesPerPacket = UInt32(std::max(0, par->frame_size));
        break;
    }
    return d;
}

} // namespace

std::unique_ptr<AudioFileDecoder> AudioFileDecoder::open(const QString& path, OSStatus* status) {
    auto fail = [&](OSStatus s) {
        if (status) *status = s;
        return std::unique_ptr<AudioFileDecoder>();
    };
    int rc = 0;
    std::unique_ptr<AudioFileDecoder> d(new AudioFileDecoder);
    d->path_ = path;
    d->format_ = ff::openInput(path, &rc);
    if (!d->format_) return fail(statusFromAVError(rc, kAudioFileUnsupportedFileTypeError));
    d->streamIndex_ = ff::bestAudioStream(d->format_.get());
    if (d->streamIndex_ < 0) return fail(kAudioFileUnsupportedFileTypeError);
    AVStream* stream = d->format_->streams[d->streamIndex_];
    const AVCodecParameters* par = stream->codecpar;
    if (par->sample_rate < kMinRate || par->sample_rate > kMaxRate || par->ch_layout.nb_channels < 1 ||
        par->ch_layout.nb_channels > kMaxFileChannels)
        return fail(kAudioFileUnsupportedDataFormatError);
    // Only the audio stream is demuxed; cover art and other streams are dropped early.
    for (unsigned i = 0; i < d->format_->nb_streams; ++i)
        if (int(i) != d->streamIndex_) d->format_->streams[i]->discard = AVDISCARD_ALL;
    d->codec_ = ff::openDecoder(stream, &rc);
    if (!d->codec_) return fail(statusFromAVError(rc, kAudioFileUnsupportedDataFormatError));
    d->packet_ = ff::makePacket();
    d->frame_ = ff::makeFrame();
    if (!d->packet_ || !d->frame_) return fail(kAudio_MemFullError);
    d->fileFormat_ = describeStream(par);

    // Until the caller sets one, the client format is the file's own rate and
    // channels as interleaved 16-bit integers.
    AudioStreamBasicDescription client{};
    client.mSampleRate = par->sample_rate;
    client.mFormatID = kAudioFormatLinearPCM;
    client.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    client.mBitsPerChannel = 16;
    client.mChannelsPerFrame = UInt32(par->ch_layout.nb_channels);
    client.mFramesPerPacket = 1;
    client.mBytesPerFrame = client.mBytesPerPacket = 2 * client.mChannelsPerFrame;
    d->setClientFormat(client);
    if (status) *status = noErr;
    return d;
}

OSStatus AudioFileDecoder::setClientFormat(const AudioStreamBasicDescription& f) {
    if (f.mFormatID != kAudioFormatLinearPCM) return kExtAudioFileError_NonPCMClientFormat;
    const bool isFloat = f.mFormatFlags & kAudioFormatFlagIsFloat;
    const bool isInt = f.mFormatFlags & kAudioFormatFlagIsSignedInteger;
    if (!std::isfinite(f.mSampleRate) || f.mSampleRate < kMinRate || f.mSampleRate > kMaxRate ||
        f.mChannelsPerFrame < 1 || f.mChannelsPerFrame > kMaxClientChannels ||
        (f.mFormatFlags & (kAudioFormatFlagIsNonInterleaved | kAudioFormatFlagIsBigEndian)) ||
        isFloat == isInt || f.mBitsPerChannel != (isFloat ? 32u : 16u) || f.mFramesPerPacket != 1 ||
        f.mBytesPerFrame != f.mBitsPerChannel / 8 * f.mChannelsPerFrame || f.mBytesPerPacket != f.mBytesPerFrame)
        return kAudioFileUnsupportedDataFormatError;
    clientFormat_ = f;
    clientSet_ = true;
    // The next conversion builds a resampler for the new format.
    resampler_.reset();
    resamplerFlushed_ = false;
    pending_.clear();
    pendingPos_ = 0;
    return noErr;
}

AVFrame* AudioFileDecoder::nextFrame() {
    av_frame_unref(frame_.get());
    for (;;) {
        int rc = avcodec_receive_frame(codec_.get(), frame_.get());
        if (rc == 0) {
            if (frame_->nb_samples > 0) return frame_.get();
            av_frame_unref(frame_.get());
            continue;
        }
        if (rc == AVERROR_EOF || draining_) return nullptr;
        // The decoder wants input (or rejected the last packet): feed it.
        rc = av_read_frame(format_.get(), packet_.get());
        if (rc < 0) {
            // End of file, or a demuxer error: either way the stream ends here.
            draining_ = true;
            avcodec_send_packet(codec_.get(), nullptr);
            continue;
        }
        // A corrupt packet is skipped, as players do.
        if (packet_->stream_index == streamIndex_) avcodec_send_packet(codec_.get(), packet_.get());
        av_packet_unref(packet_.get());
    }
}

OSStatus AudioFileDecoder::configureResampler(const AVFrame* f) {
    const int channels = f->ch_layout.nb_channels;
    if (f->sample_rate < kMinRate || f->sample_rate > kMaxRate || channels < 1 || channels > kMaxFileChannels)
        return kAudioFileUnsupportedDataFormatError;
    if (resampler_ && resamplerInRate_ == f->sample_rate && resamplerInFormat_ == f->format &&
        av_channel_layout_compare(resamplerInLayout_.get(), &f->ch_layout) == 0)
        return noErr;

    // The stream changed format (or this is the first frame): start a new converter.
    resampler_.reset();
    if (resamplerInLayout_.assign(f->ch_layout) < 0) return kAudio_MemFullError;
    resamplerInRate_ = f->sample_rate;
    resamplerInFormat_ = f->format;
    ff::ChannelLayout in;
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) in.setDefault(channels);
    else if (in.assign(f->ch_layout) < 0) return kAudio_MemFullError;
    ff::ChannelLayout out;
    const int outChannels = int(clientFormat_.mChannelsPerFrame);
    out.setDefault(outChannels);
    const AVSampleFormat outFormat =
        (clientFormat_.mFormatFlags & kAudioFormatFlagIsFloat) ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_S16;
    SwrContext* raw = nullptr;
    int rc = swr_alloc_set_opts2(&raw, out.get(), outFormat, int(std::lround(clientFormat_.mSampleRate)), in.get(),
                                 AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
    ff::Resampler swr(raw);
    if (rc < 0 || !swr) return statusFromAVError(rc, kAudioFileUnsupportedDataFormatError);
    // Resampling works in float whatever the formats, so 16-bit input loses
    // nothing to rounding inside the filter.
    if (f->sample_rate != int(std::lround(clientFormat_.mSampleRate)))
        av_opt_set_sample_fmt(swr.get(), "internal_sample_fmt", AV_SAMPLE_FMT_FLTP, 0);
    // Down-mixing to one channel averages the channels; one channel is copied
    // to every output channel. Other conversions use the library's mix.
    if ((outChannels == 1) != (channels == 1)) {
        std::vector<double> matrix(size_t(outChannels) * channels, outChannels == 1 ? 1.0 / channels : 1.0);
        rc = swr_set_matrix(swr.get(), matrix.data(), channels);
        if (rc < 0) return statusFromAVError(rc, kAudioFileUnsupportedDataFormatError);
    }
    rc = swr_init(swr.get());
    if (rc < 0) return statusFromAVError(rc, kAudioFileUnsupportedDataFormatError);
    resampler_ = std::move(swr);
    resamplerFlushed_ = false;
    return noErr;
}

bool AudioFileDecoder::refill(OSStatus* status) {
    pending_.clear();
    pendingPos_ = 0;
    const size_t bytesPerFrame = clientFormat_.mBytesPerFrame;
    for (;;) {
        const AVFrame* f = decoderEnded_ ? nullptr : nextFrame();
        if (!f) {
            decoderEnded_ = true;
            // At the end the resampler hands out what it still holds, once.
            if (!resampler_ || resamplerFlushed_) return false;
            resamplerFlushed_ = true;
        } else if (OSStatus s = configureResampler(f); s != noErr) {
            *status = s;
            return false;
        }
        const int inSamples = f ? f->nb_samples : 0;
        const int outMax = swr_get_out_samples(resampler_.get(), inSamples);
        if (outMax < 0) {
            *status = statusFromAVError(outMax);
            return false;
        }
        if (outMax == 0) continue;
        pending_.resize(size_t(outMax) * bytesPerFrame);
        uint8_t* out = pending_.data();
        const int n = swr_convert(resampler_.get(), &out, outMax,
                                  f ? const_cast<const uint8_t**>(f->extended_data) : nullptr, inSamples);
        if (n < 0) {
            *status = statusFromAVError(n);
            return false;
        }
        pending_.resize(size_t(n) * bytesPerFrame);
        if (n > 0) return true;
    }
}

OSStatus AudioFileDecoder::read(UInt32* ioFrames, AudioBufferList* list) {
    if (!ioFrames) return kAudio_ParamError;
    const UInt32 requested = *ioFrames;
    *ioFrames = 0;
    if (!list || list->mNumberBuffers != 1) return kAudio_ParamError;
    if (!clientSet_) return kExtAudioFileError_InvalidOperationOrder;
    AudioBuffer& buffer = list->mBuffers[0];
    if (buffer.mNumberChannels != clientFormat_.mChannelsPerFrame || (!buffer.mData && requested > 0))
        return kAudio_ParamError;
    const size_t bytesPerFrame = clientFormat_.mBytesPerFrame;
    const size_t wanted = std::min<size_t>(requested, buffer.mDataByteSize / bytesPerFrame);
    auto* out = static_cast<uint8_t*>(buffer.mData);
    size_t delivered = 0;
    OSStatus status = noErr;
    while (delivered < wanted) {
        if (pendingPos_ >= pending_.size()) {
            if (!refill(&status)) break;
        }
        const size_t frames = std::min(wanted - delivered, (pending_.size() - pendingPos_) / bytesPerFrame);
        std::memcpy(out + delivered * bytesPerFrame, pending_.data() + pendingPos_, frames * bytesPerFrame);
        pendingPos_ += frames * bytesPerFrame;
        delivered += frames;
    }
    if (status != noErr) {
        // A stream that turns unreadable ends here; what was decoded is kept.
        decoderEnded_ = resamplerFlushed_ = true;
        if (delivered == 0) return status;
    }
    *ioFrames = UInt32(delivered);
    buffer.mDataByteSize = UInt32(delivered * bytesPerFrame);
    return noErr;
}

OSStatus AudioFileDecoder::lengthFrames(SInt64* frames) {
    if (!frames) return kAudio_ParamError;
    if (lengthFrames_ < 0) {
        OSStatus status = noErr;
        std::unique_ptr<AudioFileDecoder> counter = open(path_, &status);
        if (!counter) return status;
        SInt64 total = 0;
        while (const AVFrame* f = counter->nextFrame()) total += f->nb_samples;
        lengthFrames_ = total;
    }
    *frames = lengthFrames_;
    return noErr;
}

} // namespace quorvel
