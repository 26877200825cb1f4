#include "RingtoneCopyWriter.h"

#include "FFmpegHandles.h"

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
    auto fail = [error](const QString& what, int rc) {
        *error = rc < 0 ? QStringLiteral("%1: %2.").arg(what, ff::errorString(rc)) : what + QLatin1Char('.');
        return false;
    };
    int rc = 0;
    ff::InputFormat in = ff::openInput(source, &rc);
    const int index = in ? ff::bestAudioStream(in.get()) : rc;
    if (!in || index < 0) return fail(QStringLiteral("The ringtone cannot be read"), in ? index : rc);
    ff::CodecContext decoder = ff::openDecoder(in->streams[index], &rc);
    if (!decoder) return fail(QStringLiteral("The ringtone cannot be decoded"), rc);

    const QString encoderName = oggEncoderName();
    const AVCodec* codec = encoderName.isEmpty() ? nullptr : avcodec_find_encoder_by_name(encoderName.toLatin1().constData());
    if (!codec) return fail(QStringLiteral("This FFmpeg has neither an Opus nor a Vorbis encoder"), 0);
    const bool opus = codec->id == AV_CODEC_ID_OPUS;
    ff::CodecContext encoder(avcodec_alloc_context3(codec));
    if (!encoder) return fail(QStringLiteral("Cannot make the encoder"), AVERROR(ENOMEM));
    const int channels = std::clamp(decoder->ch_layout.nb_channels, 1, 2);
    av_channel_layout_default(&encoder->ch_layout, channels);
    encoder->sample_rate = opus ? 48000 : decoder->sample_rate;
    encoder->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLT || *f == AV_SAMPLE_FMT_FLTP) encoder->sample_fmt = *f;
    encoder->time_base = AVRational{1, encoder->sample_rate};
    if (opus) {
        encoder->bit_rate = kOpusBitRate;
    } else {
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = FF_QP2LAMBDA * kVorbisQuality;
    }

    AVFormatContext* rawOut = nullptr;
    const QByteArray outPath = QFile::encodeName(workPath);
    rc = avformat_alloc_output_context2(&rawOut, nullptr, "ogg", outPath.constData());
    ff::OutputFormat out(rawOut);
    if (!out) return fail(QStringLiteral("Cannot make the Ogg file"), rc);
    if (out->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((rc = avcodec_open2(encoder.get(), codec, nullptr)) < 0) return fail(QStringLiteral("Cannot open the encoder"), rc);
    AVStream* stream = avformat_new_stream(out.get(), nullptr);
    if (!stream) return fail(QStringLiteral("Cannot make the Ogg stream"), AVERROR(ENOMEM));
    stream->time_base = encoder->time_base;
    if ((rc = avcodec_parameters_from_context(stream->codecpar, encoder.get())) < 0)
        return fail(QStringLiteral("Cannot set up the Ogg stream"), rc);
    setTags(&stream->metadata, tags);
    if ((rc = avio_open(&out->pb, outPath.constData(), AVIO_FLAG_WRITE)) < 0)
        return fail(QStringLiteral("%1 cannot be written").arg(QFileInfo(workPath).dir().path()), rc);
    if ((rc = avformat_write_header(out.get(), nullptr)) < 0) return fail(QStringLiteral("Cannot write the Ogg header"), rc);

    SwrContext* rawSwr = nullptr;
    rc = swr_alloc_set_opts2(&rawSwr, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate,
                             &decoder->ch_layout, decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
    ff::Resampler swr(rawSwr);
    if (rc < 0 || !swr || (rc = swr_init(swr.get())) < 0) return fail(QStringLiteral("Cannot convert the audio"), rc);
    ff::AudioFifo fifo(av_audio_fifo_alloc(encoder->sample_fmt, channels, 4096));
    ff::Packet packet = ff::makePacket();
    ff::Frame decoded = ff::makeFrame();
    ff::Frame converted = ff::makeFrame();
    ff::Frame chunk = ff::makeFrame();
    const int frameSize = encoder->frame_size > 0 ? encoder->frame_size : 1024;
    int64_t pts = 0;

    // Converts `count` samples (none: the resampler's rest) into the FIFO.
    auto convert = [&](const uint8_t** planes, int count) {
        converted->nb_samples = swr_get_out_samples(swr.get(), count);
        if (converted->nb_samples <= 0) return 0;
        converted->format = encoder->sample_fmt;
        av_channel_layout_copy(&converted->ch_layout, &encoder->ch_layout);
        int r = av_frame_get_buffer(converted.get(), 0);
        if (r < 0) return r;
        r = swr_convert(swr.get(), converted->data, converted->nb_samples, planes, count);
        if (r > 0 && av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(converted->data), r) < r) r = AVERROR(ENOMEM);
        av_frame_unref(converted.get());
        return r < 0 ? r : 0;
    };
    // Encodes whole frames from the FIFO (and the rest when `all`).
    auto drain = [&](bool all) {
        while (av_audio_fifo_size(fifo.get()) >= frameSize || (all && av_audio_fifo_size(fifo.get()) > 0)) {
            chunk->nb_samples = std::min(frameSize, av_audio_fifo_size(fifo.get()));
            chunk->format = encoder->sample_fmt;
            chunk->sample_rate = encoder->sample_rate;
            av_channel_layout_copy(&chunk->ch_layout, &encoder->ch_layout);
            int r = av_frame_get_buffer(chunk.get(), 0);
            if (r < 0) return r;
            av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(chunk->data), chunk->nb_samples);
            chunk->pts = pts;
            pts += chunk->nb_samples;
            r = encodeAndWrite(encoder.get(), out.get(), stream, chunk.get(), packet.get());
            av_frame_unref(chunk.get());
            if (r < 0) return r;
        }
        return 0;
    };
    auto takeFrames = [&]() {
        int r;
        while ((r = avcodec_receive_frame(decoder.get(), decoded.get())) >= 0) {
            r = convert(const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
            av_frame_unref(decoded.get());
            if (r < 0 || (r = drain(false)) < 0) return r;
        }
        return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? 0 : r;
    };

    while ((rc = av_read_frame(in.get(), packet.get())) >= 0) {
        if (packet->stream_index == index) rc = avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        if (rc < 0 && rc != AVERROR_INVALIDDATA) return fail(QStringLiteral("The ringtone cannot be decoded"), rc);
        if ((rc = takeFrames()) < 0) return fail(QStringLiteral("Cannot encode the copy"), rc);
    }
    if (rc != AVERROR_EOF) return fail(QStringLiteral("The ringtone cannot be read"), rc);
    avcodec_send_packet(decoder.get(), nullptr);
    if ((rc = takeFrames()) < 0 || (rc = convert(nullptr, 0)) < 0 || (rc = drain(true)) < 0 ||
        (rc = encodeAndWrite(encoder.get(), out.get(), stream, nullptr, packet.get())) < 0)
        return fail(QStringLiteral("Cannot encode the copy"), rc);
    if ((rc = av_write_trailer(out.get())) < 0) return fail(QStringLiteral("Cannot finish the Ogg file"), rc);
    if ((rc = avio_closep(&out->pb)) < 0) return fail(QStringLiteral("Cannot finish the Ogg file"), rc);
    return true;
}

} // namespace quorvel
