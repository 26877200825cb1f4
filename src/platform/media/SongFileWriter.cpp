#include "platform/media/SongFileWriter.h"

#include "platform/ffmpeg/FFmpegHandles.h"

#include <vector>

namespace quorvel {

struct SongFileWriter::Impl {
    ff::OutputFormat format;
    ff::CodecContext codec;
    ff::Resampler swr;
    ff::AudioFifo fifo;
    ff::Frame frame;
    ff::Packet packet;
    AVStream* stream = nullptr;
    int channels = 0;
    int64_t pts = 0;
    bool closed = false;
    QString error;

    bool fail(const QString& why) {
        if (error.isEmpty()) error = why;
        return false;
    }
    bool fail(int rc) { return fail(ff::errorString(rc)); }
    bool drain() {
        while (true) {
            int rc = avcodec_receive_packet(codec.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return fail(rc);
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            rc = av_interleaved_write_frame(format.get(), packet.get());
            if (rc < 0) return fail(rc);
        }
    }
    // Encodes whole frames from the FIFO; with `all`, the rest too.
    bool encodeFifo(bool all) {
        const int size = codec->frame_size > 0 ? codec->frame_size : 1024;
        while (av_audio_fifo_size(fifo.get()) >= size || (all && av_audio_fifo_size(fifo.get()) > 0)) {
            const int n = std::min(size, av_audio_fifo_size(fifo.get()));
            av_frame_unref(frame.get());
            frame->nb_samples = n;
            frame->format = codec->sample_fmt;
            frame->sample_rate = codec->sample_rate;
            av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
            int rc = av_frame_get_buffer(frame.get(), 0);
            if (rc < 0) return fail(rc);
            av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->extended_data), n);
            frame->pts = pts;
            pts += n;
            rc = avcodec_send_frame(codec.get(), frame.get());
            if (rc < 0 || !drain()) return rc < 0 ? fail(rc) : false;
        }
        return true;
    }
};

SongFileWriter::SongFileWriter() : d(std::make_unique<Impl>()) {}
SongFileWriter::~SongFileWriter() = default;

std::unique_ptr<SongFileWriter> SongFileWriter::create(const QString& path, const Settings& settings,
                                                           QString* error) {
    std::unique_ptr<SongFileWriter> e(new SongFileWriter());
    Impl& d = *e->d;
    auto failed = [&](const QString& why) {
        if (error) *error = why;
        return nullptr;
    };
    const QByteArray local = path.toUtf8();
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, nullptr, local.constData());
    d.format.reset(raw);
    if (rc < 0 || !raw) return failed(QStringLiteral("no container for %1").arg(path));
    const AVCodec* codec = avcodec_find_encoder_by_name(settings.codec.toUtf8().constData());
    if (!codec) return failed(QStringLiteral("no encoder %1").arg(settings.codec));
    d.codec.reset(avcodec_alloc_context3(codec));
    d.channels = settings.channels;
    av_channel_layout_default(&d.codec->ch_layout, settings.channels);
    d.codec->sample_rate = settings.sampleRate;
    d.codec->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    d.codec->time_base = AVRational{1, settings.sampleRate};
    if (settings.bitRate > 0) d.codec->bit_rate = settings.bitRate;
    if (d.format->oformat->flags & AVFMT_GLOBALHEADER) d.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((rc = avcodec_open2(d.codec.get(), codec, nullptr)) < 0) return failed(ff::errorString(rc));
    d.stream = avformat_new_stream(d.format.get(), nullptr);
    if (!d.stream) return failed(QStringLiteral("out of memory"));
    avcodec_parameters_from_context(d.stream->codecpar, d.codec.get());
    d.stream->time_base = d.codec->time_base;

    SwrContext* swr = nullptr;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, settings.channels);
    rc = swr_alloc_set_opts2(&swr, &d.codec->ch_layout, d.codec->sample_fmt, settings.sampleRate, &layout,
                             AV_SAMPLE_FMT_FLT, settings.sampleRate, 0, nullptr);
    d.swr.reset(swr);
    if (rc < 0 || (rc = swr_init(swr)) < 0) return failed(ff::errorString(rc));
    d.fifo.reset(av_audio_fifo_alloc(d.codec->sample_fmt, settings.channels, 4096));
    d.frame = ff::makeFrame();
    d.packet = ff::makePacket();
    if (!d.fifo || !d.frame || !d.packet) return failed(QStringLiteral("out of memory"));
    if ((rc = avio_open(&d.format->pb, local.constData(), AVIO_FLAG_WRITE)) < 0 ||
        (rc = avformat_write_header(d.format.get(), nullptr)) < 0)
        return failed(ff::errorString(rc));
    return e;
}

bool SongFileWriter::write(const float* samples, int frames) {
    if (d->closed) return d->fail(QStringLiteral("closed"));
    if (frames <= 0) return true;
    // Convert into the encoder's sample format, then queue for whole frames.
    uint8_t** converted = nullptr;
    int rc = av_samples_alloc_array_and_samples(&converted, nullptr, d->channels, frames, d->codec->sample_fmt, 0);
    if (rc < 0) return d->fail(rc);
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
    const int got = swr_convert(d->swr.get(), converted, frames, in, frames);
    if (got > 0) av_audio_fifo_write(d->fifo.get(), reinterpret_cast<void**>(converted), got);
    av_freep(&converted[0]);
    av_freep(&converted);
    if (got < 0) return d->fail(got);
    return d->encodeFifo(false);
}

bool SongFileWriter::close() {
    if (d->closed) return d->error.isEmpty();
    d->closed = true;
    bool ok = d->encodeFifo(true);
    if (ok) {
        avcodec_send_frame(d->codec.get(), nullptr);
        ok = d->drain();
    }
    if (ok) {
        int rc = av_write_trailer(d->format.get());
        if (rc < 0) ok = d->fail(rc);
    }
    int rc = avio_closep(&d->format->pb);
    if (rc < 0 && ok) ok = d->fail(rc);
    return ok;
}

const QString& SongFileWriter::lastError() const { return d->error; }

} // namespace quorvel
