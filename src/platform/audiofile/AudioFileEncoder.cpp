#include "platform/audiofile/AudioFileEncoder.h"

#include "platform/audiofile/AudioStatus.h"

#include <QFile>
#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

struct Target {
    const char* muxer = nullptr;
    AVCodecID codec = AV_CODEC_ID_NONE;
};

AVCodecID pcmCodec(const AudioStreamBasicDescription& f, bool bigEndian) {
    const bool isFloat = f.mFormatFlags & kAudioFormatFlagIsFloat;
    if (isFloat) {
        if (f.mBitsPerChannel == 32) return bigEndian ? AV_CODEC_ID_PCM_F32BE : AV_CODEC_ID_PCM_F32LE;
        if (f.mBitsPerChannel == 64) return bigEndian ? AV_CODEC_ID_PCM_F64BE : AV_CODEC_ID_PCM_F64LE;
        return AV_CODEC_ID_NONE;
    }
    switch (f.mBitsPerChannel) {
    case 8: return AV_CODEC_ID_NONE; // chosen per container: WAVE stores 8-bit unsigned
    case 16: return bigEndian ? AV_CODEC_ID_PCM_S16BE : AV_CODEC_ID_PCM_S16LE;
    case 24: return bigEndian ? AV_CODEC_ID_PCM_S24BE : AV_CODEC_ID_PCM_S24LE;
    case 32: return bigEndian ? AV_CODEC_ID_PCM_S32BE : AV_CODEC_ID_PCM_S32LE;
    default: return AV_CODEC_ID_NONE;
    }
}

// The muxer and codec for a file type and data format; a status on mismatch.
OSStatus chooseTarget(AudioFileTypeID type, const AudioStreamBasicDescription& f, Target* t) {
    const bool bigEndian = f.mFormatFlags & kAudioFormatFlagIsBigEndian;
    const bool isPCM = f.mFormatID == kAudioFormatLinearPCM;
    const bool isFloat = f.mFormatFlags & kAudioFormatFlagIsFloat;
    if (isPCM) {
        const bool validLayout = !(f.mFormatFlags & kAudioFormatFlagIsNonInterleaved) && f.mFramesPerPacket == 1 &&
                                 f.mBytesPerFrame == f.mBitsPerChannel / 8 * f.mChannelsPerFrame &&
                                 f.mBytesPerPacket == f.mBytesPerFrame;
        if (!validLayout) return kAudioFileUnsupportedDataFormatError;
    }
    const bool eightBit = isPCM && !isFloat && f.mBitsPerChannel == 8;
    switch (type) {
    case kAudioFileWAVEType:
        if (!isPCM || bigEndian) return kAudioFileUnsupportedDataFormatError;
        *t = {"wav", eightBit ? AV_CODEC_ID_PCM_U8 : pcmCodec(f, false)};
        break;
    case kAudioFileAIFFType:
        if (!isPCM || !bigEndian || isFloat) return kAudioFileUnsupportedDataFormatError;
        *t = {"aiff", eightBit ? AV_CODEC_ID_PCM_S8 : pcmCodec(f, true)};
        break;
    case kAudioFileAIFCType:
        if (f.mFormatID == kAudioFormatAppleIMA4) *t = {"aiff", AV_CODEC_ID_ADPCM_IMA_QT};
        else if (isPCM && bigEndian) *t = {"aiff", eightBit ? AV_CODEC_ID_PCM_S8 : pcmCodec(f, true)};
        else return kAudioFileUnsupportedDataFormatError;
        break;
    case kAudioFileCAFType:
        if (!isPCM) return kAudioFileUnsupportedDataFormatError;
        *t = {"caf", eightBit ? AV_CODEC_ID_PCM_S8 : pcmCodec(f, bigEndian)};
        break;
    case kAudioFileNextType:
        if (!isPCM || !bigEndian) return kAudioFileUnsupportedDataFormatError;
        *t = {"au", eightBit ? AV_CODEC_ID_PCM_S8 : pcmCodec(f, true)};
        break;
    case kAudioFileM4AType:
        if (f.mFormatID != kAudioFormatMPEG4AAC) return kAudioFileUnsupportedDataFormatError;
        *t = {"ipod", AV_CODEC_ID_AAC};
        break;
    default:
        return kAudioFileUnsupportedFileTypeError;
    }
    return t->codec == AV_CODEC_ID_NONE ? kAudioFileUnsupportedDataFormatError : noErr;
}

} // namespace

std::unique_ptr<AudioFileEncoder> AudioFileEncoder::create(const QString& path, AudioFileTypeID type,
                                                           const AudioStreamBasicDescription& format,
                                                           AudioFileFlags flags, OSStatus* status) {
    auto fail = [&](OSStatus s) {
        if (status) *status = s;
        return std::unique_ptr<AudioFileEncoder>();
    };
    if (path.isEmpty()) return fail(kAudio_ParamError);
    Target target;
    if (OSStatus s = chooseTarget(type, format, &target); s != noErr) return fail(s);
    if (!std::isfinite(format.mSampleRate) || format.mSampleRate < 1000 || format.mSampleRate > 768000 ||
        format.mChannelsPerFrame < 1 || format.mChannelsPerFrame > 16)
        return fail(kAudioFileUnsupportedDataFormatError);
    if (QFile::exists(path)) {
        if (!(flags & kAudioFileFlags_EraseFile)) return fail(kAudioFilePermissionsError);
        // A replaced file is deleted first; if that fails, opening truncates it.
        QFile::remove(path);
    }

    std::unique_ptr<AudioFileEncoder> e(new AudioFileEncoder);
    e->format_ = format;
    const QByteArray url = QStringLiteral("file:").toUtf8() + path.toUtf8();
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, target.muxer, url.constData());
    e->muxer_.reset(raw);
    if (rc < 0 || !raw) return fail(statusFromAVError(rc));
    // No encoder name or version in the files: they stay byte-for-byte reproducible.
    e->muxer_->flags |= AVFMT_FLAG_BITEXACT;

    const AVCodec* codec = avcodec_find_encoder(target.codec);
    if (!codec) return fail(kAudioFileUnsupportedDataFormatError);
    e->codec_.reset(avcodec_alloc_context3(codec));
    if (!e->codec_) return fail(kAudio_MemFullError);
    AVCodecContext* c = e->codec_.get();
    const int rate = int(std::lround(format.mSampleRate));
    c->sample_rate = rate;
    av_channel_layout_default(&c->ch_layout, int(format.mChannelsPerFrame));
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->time_base = AVRational{1, rate};
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (target.codec == AV_CODEC_ID_AAC) {
        c->profile = FF_PROFILE_AAC_LOW;
        c->bit_rate = std::max<int64_t>(128000, 64000 * int64_t(format.mChannelsPerFrame));
    }
    if (e->muxer_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) return fail(statusFromAVError(rc, kAudioFileUnsupportedDataFormatError));

    e->stream_ = avformat_new_stream(e->muxer_.get(), nullptr);
    if (!e->stream_) return fail(kAudio_MemFullError);
    rc = avcodec_parameters_from_context(e->stream_->codecpar, c);
    if (rc < 0) return fail(statusFromAVError(rc));
    e->stream_->time_base = c->time_base;
    e->packet_ = ff::makePacket();
    if (!e->packet_) return fail(kAudio_MemFullError);

    rc = avio_open(&e->muxer_->pb, url.constData(), AVIO_FLAG_WRITE);
    if (rc < 0) return fail(statusFromAVError(rc));
    rc = avformat_write_header(e->muxer_.get(), nullptr);
    if (rc < 0) {
        e->muxer_.reset();
        QFile::remove(path);
        return fail(statusFromAVError(rc, kAudioFileUnsupportedDataFormatError));
    }
    // The header is on the disk at once, so that a reader can follow the file as it grows.
    avio_flush(e->muxer_->pb);
    e->closed_ = false;
    if (status) *status = noErr;
    return e;
}

AudioFileEncoder::~AudioFileEncoder() { close(); }

int AudioFileEncoder::frameSize() const {
    if (codec_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) return 0;
    return std::max(0, codec_->frame_size);
}

OSStatus AudioFileEncoder::encode(AVFrame* frame) {
    if (closed_) return kAudioFileNotOpenError;
    if (drained_) return frame ? kExtAudioFileError_InvalidOperationOrder : noErr;
    if (frame) {
        frame->pts = nextPts_;
        nextPts_ += frame->nb_samples;
    } else {
        drained_ = true;
    }
    int rc = avcodec_send_frame(codec_.get(), frame);
    if (rc < 0) return statusFromAVError(rc);
    for (;;) {
        rc = avcodec_receive_packet(codec_.get(), packet_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return noErr;
        if (rc < 0) return statusFromAVError(rc);
        av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        // Takes the packet's data and leaves the packet blank.
        rc = av_interleaved_write_frame(muxer_.get(), packet_.get());
        if (rc < 0) return statusFromAVError(rc);
    }
}

OSStatus AudioFileEncoder::close() {
    if (closed_) return noErr;
    OSStatus status = encode(nullptr);
    closed_ = true;
    int rc = av_write_trailer(muxer_.get());
    if (status == noErr && rc < 0) status = statusFromAVError(rc);
    if (muxer_->pb) {
        avio_flush(muxer_->pb);
        // A failed write (a full disk) is remembered by the I/O context.
        if (status == noErr && muxer_->pb->error < 0) status = statusFromAVError(muxer_->pb->error);
    }
    rc = avio_closep(&muxer_->pb);
    if (status == noErr && rc < 0) status = statusFromAVError(rc);
    muxer_.reset();
    return status;
}

} // namespace quorvel
