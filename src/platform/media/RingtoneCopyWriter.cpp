#include "platform/media/RingtoneCopyWriter.h"

#include "platform/ffmpeg/FFmpegHandles.h"

extern "C" {
#include <libavutil/base64.h>
#include <libavutil/opt.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtEndian>
#include <cstdio>
#include <vector>

namespace quorvel {

namespace {

constexpr int kOpusBitRate = 96000;
constexpr int kVorbisQuality = 4; // about 128 kbit/s for stereo, 96 for mono

// The FLAC picture block that Vorbis comments carry as METADATA_BLOCK_PICTURE.
QByteArray pictureBlock(const QByteArray& png) {
    const QImage image = QImage::fromData(png);
    if (image.isNull()) return {};
    QByteArray block;
    auto put32 = [&block](quint32 v) {
        char b[4];
        qToBigEndian(v, b);
        block.append(b, 4);
    };
    const QByteArray mime = QByteArrayLiteral("image/png");
    put32(3); // front cover
    put32(quint32(mime.size()));
    block.append(mime);
    put32(0); // no description
    put32(quint32(image.width()));
    put32(quint32(image.height()));
    put32(quint32(image.depth()));
    put32(0);
    put32(quint32(png.size()));
    block.append(png);
    return block;
}

QString base64(const QByteArray& data) { return QString::fromLatin1(data.toBase64()); }

// Sets the comments on the stream, where the Ogg muxer reads them.
void setTags(AVDictionary** dict, const RingtoneCopyTags& tags) {
    if (!tags.title.isEmpty()) av_dict_set(dict, "title", tags.title.toUtf8().constData(), 0);
    if (!tags.artist.isEmpty()) av_dict_set(dict, "artist", tags.artist.toUtf8().constData(), 0);
    const QByteArray picture = pictureBlock(tags.artworkPng);
    if (!picture.isEmpty()) av_dict_set(dict, "METADATA_BLOCK_PICTURE", base64(picture).toLatin1().constData(), 0);
}

QString hiddenWorkPath(const QString& destination) {
    const QFileInfo info(destination);
    return info.dir().filePath(QStringLiteral(".%1.part").arg(info.fileName()));
}

// Feeds one frame (or the flush, without one) and writes what comes out.
int encodeAndWrite(AVCodecContext* encoder, AVFormatContext* out, AVStream* stream, AVFrame* frame, AVPacket* packet) {
    int rc = avcodec_send_frame(encoder, frame);
    if (rc < 0) return rc;
    while ((rc = avcodec_receive_packet(encoder, packet)) >= 0) {
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        rc = av_interleaved_write_frame(out, packet);
        if (rc < 0) return rc;
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ? 0 : rc;
}

// One transcode of a ringtone into an Ogg work file. run() takes the steps in
// order; the first that fails puts its sentence in `error` and stops.
class OggTranscode {
public:
    OggTranscode(const QString& workPath, QString* error)
        : workPath_(workPath), outPath_(QFile::encodeName(workPath)), error_(error) {}

    bool run(const QString& source, const RingtoneCopyTags& tags) {
        return openSource(source) && openEncoder() && openOutput(tags) && openResampler() && transcodePackets() &&
               flushAndFinish();
    }

private:
    bool fail(const QString& what, int rc) {
        *error_ = rc < 0 ? QStringLiteral("%1: %2.").arg(what, ff::errorString(rc)) : what + QLatin1Char('.');
        return false;
    }

    bool openSource(const QString& source) {
        int rc = 0;
        in_ = ff::openInput(source, &rc);
        index_ = in_ ? ff::bestAudioStream(in_.get()) : rc;
        if (!in_ || index_ < 0) return fail(QStringLiteral("The ringtone cannot be read"), in_ ? index_ : rc);
        decoder_ = ff::openDecoder(in_->streams[index_], &rc);
        if (!decoder_) return fail(QStringLiteral("The ringtone cannot be decoded"), rc);
        return true;
    }

    // Opus at 48 kHz and a fixed bit rate, or Vorbis at the source's rate and
    // a fixed quality; float samples where the encoder takes them.
    bool openEncoder() {
        const QString encoderName = RingtoneCopyWriter::oggEncoderName();
        codec_ = encoderName.isEmpty() ? nullptr : avcodec_find_encoder_by_name(encoderName.toLatin1().constData());
        if (!codec_) return fail(QStringLiteral("This FFmpeg has neither an Opus nor a Vorbis encoder"), 0);
        const bool opus = codec_->id == AV_CODEC_ID_OPUS;
        encoder_.reset(avcodec_alloc_context3(codec_));
        if (!encoder_) return fail(QStringLiteral("Cannot make the encoder"), AVERROR(ENOMEM));
        channels_ = std::clamp(decoder_->ch_layout.nb_channels, 1, 2);
        av_channel_layout_default(&encoder_->ch_layout, channels_);
        encoder_->sample_rate = opus ? 48000 : decoder_->sample_rate;
        encoder_->sample_fmt = codec_->sample_fmts ? codec_->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        for (const AVSampleFormat* f = codec_->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == AV_SAMPLE_FMT_FLT || *f == AV_SAMPLE_FMT_FLTP) encoder_->sample_fmt = *f;
        encoder_->time_base = AVRational{1, encoder_->sample_rate};
        if (opus) {
            encoder_->bit_rate = kOpusBitRate;
        } else {
            encoder_->flags |= AV_CODEC_FLAG_QSCALE;
            encoder_->global_quality = FF_QP2LAMBDA * kVorbisQuality;
        }
        return true;
    }

    // The Ogg file with its one stream, the comments and the header written.
    bool openOutput(const RingtoneCopyTags& tags) {
        AVFormatContext* rawOut = nullptr;
        int rc = avformat_alloc_output_context2(&rawOut, nullptr, "ogg", outPath_.constData());
        out_.reset(rawOut);
        if (!out_) return fail(QStringLiteral("Cannot make the Ogg file"), rc);
        if (out_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((rc = avcodec_open2(encoder_.get(), codec_, nullptr)) < 0)
            return fail(QStringLiteral("Cannot open the encoder"), rc);
        stream_ = avformat_new_stream(out_.get(), nullptr);
        if (!stream_) return fail(QStringLiteral("Cannot make the Ogg stream"), AVERROR(ENOMEM));
        stream_->time_base = encoder_->time_base;
        if ((rc = avcodec_parameters_from_context(stream_->codecpar, encoder_.get())) < 0)
            return fail(QStringLiteral("Cannot set up the Ogg stream"), rc);
        setTags(&stream_->metadata, tags);
        if ((rc = avio_open(&out_->pb, outPath_.constData(), AVIO_FLAG_WRITE)) < 0)
            return fail(QStringLiteral("%1 cannot be written").arg(QFileInfo(workPath_).dir().path()), rc);
        if ((rc = avformat_write_header(out_.get(), nullptr)) < 0)
            return fail(QStringLiteral("Cannot write the Ogg header"), rc);
        return true;
    }

    // The resampler to the encoder's layout, rate and format, and the FIFO
    // that cuts its output into the encoder's frame size.
    bool openResampler() {
        SwrContext* rawSwr = nullptr;
        int rc = swr_alloc_set_opts2(&rawSwr, &encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate,
                                     &decoder_->ch_layout, decoder_->sample_fmt, decoder_->sample_rate, 0, nullptr);
        swr_.reset(rawSwr);
        if (rc < 0 || !swr_ || (rc = swr_init(swr_.get())) < 0) return fail(QStringLiteral("Cannot convert the audio"), rc);
        fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, channels_, 4096));
        if (!fifo_) return fail(QStringLiteral("Cannot convert the audio"), AVERROR(ENOMEM));
        frameSize_ = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
        return true;
    }

    // Every packet of the source's audio stream, decoded, converted and encoded.
    bool transcodePackets() {
        int rc = 0;
        while ((rc = av_read_frame(in_.get(), packet_.get())) >= 0) {
            if (packet_->stream_index == index_) rc = avcodec_send_packet(decoder_.get(), packet_.get());
            av_packet_unref(packet_.get());
            if (rc < 0 && rc != AVERROR_INVALIDDATA) return fail(QStringLiteral("The ringtone cannot be decoded"), rc);
            if ((rc = takeFrames()) < 0) return fail(QStringLiteral("Cannot encode the copy"), rc);
        }
        if (rc != AVERROR_EOF) return fail(QStringLiteral("The ringtone cannot be read"), rc);
        return true;
    }

    // What the decoder, the resampler, the FIFO and the encoder still hold,
    // then the Ogg trailer.
    bool flushAndFinish() {
        int rc = 0;
        avcodec_send_packet(decoder_.get(), nullptr);
        if ((rc = takeFrames()) < 0 || (rc = convert(nullptr, 0)) < 0 || (rc = drain(true)) < 0 ||
            (rc = encodeAndWrite(encoder_.get(), out_.get(), stream_, nullptr, packet_.get())) < 0)
            return fail(QStringLiteral("Cannot encode the copy"), rc);
        if ((rc = av_write_trailer(out_.get())) < 0) return fail(QStringLiteral("Cannot finish the Ogg file"), rc);
        if ((rc = avio_closep(&out_->pb)) < 0) return fail(QStringLiteral("Cannot finish the Ogg file"), rc);
        return true;
    }

    // Encodes what the decoder has ready.
    int takeFrames() {
        int rc;
        while ((rc = avcodec_receive_frame(decoder_.get(), decoded_.get())) >= 0) {
            rc = convert(const_cast<const uint8_t**>(decoded_->extended_data), decoded_->nb_samples);
            av_frame_unref(decoded_.get());
            if (rc < 0 || (rc = drain(false)) < 0) return rc;
        }
        return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ? 0 : rc;
    }

    // Converts `count` samples (none: the resampler's rest) into the FIFO.
    int convert(const uint8_t** planes, int count) {
        converted_->nb_samples = swr_get_out_samples(swr_.get(), count);
        if (converted_->nb_samples <= 0) return 0;
        converted_->format = encoder_->sample_fmt;
        av_channel_layout_copy(&converted_->ch_layout, &encoder_->ch_layout);
        int rc = av_frame_get_buffer(converted_.get(), 0);
        if (rc < 0) return rc;
        rc = swr_convert(swr_.get(), converted_->data, converted_->nb_samples, planes, count);
        if (rc > 0 && av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted_->data), rc) < rc)
            rc = AVERROR(ENOMEM);
        av_frame_unref(converted_.get());
        return rc < 0 ? rc : 0;
    }

    // Encodes whole frames from the FIFO (and the rest when `all`).
    int drain(bool all) {
        while (av_audio_fifo_size(fifo_.get()) >= frameSize_ || (all && av_audio_fifo_size(fifo_.get()) > 0)) {
            chunk_->nb_samples = std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
            chunk_->format = encoder_->sample_fmt;
            chunk_->sample_rate = encoder_->sample_rate;
            av_channel_layout_copy(&chunk_->ch_layout, &encoder_->ch_layout);
            int rc = av_frame_get_buffer(chunk_.get(), 0);
            if (rc < 0) return rc;
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(chunk_->data), chunk_->nb_samples);
            chunk_->pts = pts_;
            pts_ += chunk_->nb_samples;
            rc = encodeAndWrite(encoder_.get(), out_.get(), stream_, chunk_.get(), packet_.get());
            av_frame_unref(chunk_.get());
            if (rc < 0) return rc;
        }
        return 0;
    }

    const QString workPath_;
    const QByteArray outPath_;
    QString* error_;
    // Freed in the reverse order: the frames first, the source last.
    ff::InputFormat in_;
    int index_ = -1;
    ff::CodecContext decoder_;
    const AVCodec* codec_ = nullptr;
    ff::CodecContext encoder_;
    int channels_ = 0;
    ff::OutputFormat out_;
    AVStream* stream_ = nullptr;
    ff::Resampler swr_;
    ff::AudioFifo fifo_;
    ff::Packet packet_ = ff::makePacket();
    ff::Frame decoded_ = ff::makeFrame();
    ff::Frame converted_ = ff::makeFrame();
    ff::Frame chunk_ = ff::makeFrame();
    int frameSize_ = 1024;
    int64_t pts_ = 0;
};

} // namespace

QString RingtoneCopyWriter::extension(RingtoneCopyFormat format) {
    switch (format) {
    case RingtoneCopyFormat::M4r: return QStringLiteral("m4r");
    case RingtoneCopyFormat::M4a: return QStringLiteral("m4a");
    case RingtoneCopyFormat::Ogg: return QStringLiteral("ogg");
    }
    return {};
}

std::optional<RingtoneCopyFormat> RingtoneCopyWriter::formatForExtension(const QString& extension) {
    QString e = extension.toLower();
    if (e.startsWith(QLatin1Char('.'))) e.remove(0, 1);
    for (RingtoneCopyFormat f : {RingtoneCopyFormat::M4r, RingtoneCopyFormat::M4a, RingtoneCopyFormat::Ogg})
        if (e == RingtoneCopyWriter::extension(f)) return f;
    return std::nullopt;
}

QString RingtoneCopyWriter::oggEncoderName() {
    for (const char* name : {"libopus", "libvorbis"})
        if (avcodec_find_encoder_by_name(name)) return QString::fromLatin1(name);
    return {};
}

bool RingtoneCopyWriter::write(const QString& source, const QString& destination, RingtoneCopyFormat format,
                               const RingtoneCopyTags& tags, bool replace, QString* error) {
    const QFileInfo target(destination);
    if (!QFileInfo(source).isFile()) {
        *error = QStringLiteral("The ringtone %1 is not there.").arg(source);
        return false;
    }
    if (!target.dir().exists()) {
        *error = QStringLiteral("The folder %1 does not exist.").arg(target.dir().path());
        return false;
    }
    if (target.exists() && (!replace || target.isDir())) {
        *error = QStringLiteral("%1 is already there.").arg(destination);
        return false;
    }
    if (QFileInfo(source).canonicalFilePath() == target.canonicalFilePath()) {
        *error = QStringLiteral("%1 is the ringtone itself.").arg(destination);
        return false;
    }
    const QString work = hiddenWorkPath(destination);
    QFile::remove(work); // a work file of ours left by an earlier failure
    bool written = false;
    if (format == RingtoneCopyFormat::Ogg) {
        written = transcodeToOgg(source, work, tags, error);
    } else {
        written = QFile::copy(source, work);
        if (!written) *error = QStringLiteral("%1 cannot be written.").arg(destination);
    }
    if (!written) {
        QFile::remove(work);
        return false;
    }
    // QFile::rename never replaces a file; std::rename does, when the user chose to.
    const bool moved = replace ? std::rename(QFile::encodeName(work).constData(),
                                             QFile::encodeName(destination).constData()) == 0
                               : QFile::rename(work, destination);
    if (!moved) {
        QFile::remove(work);
        *error = QFileInfo::exists(destination) && !replace
                     ? QStringLiteral("%1 is already there.").arg(destination)
                     : QStringLiteral("%1 cannot be written.").arg(destination);
        return false;
    }
    return true;
}

bool RingtoneCopyWriter::transcodeToOgg(const QString& source, const QString& workPath, const RingtoneCopyTags& tags,
                                        QString* error) {
    return OggTranscode(workPath, error).run(source, tags);
}

} // namespace quorvel
