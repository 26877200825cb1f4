#include "FFmpegHandles.h"

#include "Log.h"

#include <cstdarg>
#include <mutex>

namespace quorvel::ff {

void OutputFormatDeleter::operator()(AVFormatContext* c) const {
    if (!c) return;
    if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
    avformat_free_context(c);
}

QString errorString(int averror) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(averror, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

namespace {

// FFmpeg's messages join the program's log, a whole line at a time, so that
// whoever reads the log (or silences it) gets them too.
void logFromFFmpeg(void* context, int level, const char* format, va_list args) {
    if (level > av_log_get_level()) return;
    thread_local int printPrefix = 1;
    thread_local QByteArray pending;
    char piece[1024];
    av_log_format_line2(context, level, format, args, piece, sizeof piece, &printPrefix);
    pending += piece;
    while (true) {
        const qsizetype end = pending.indexOf('\n');
        if (end < 0) break;
        writeLogLine(QString::fromUtf8(pending.left(end)));
        pending.remove(0, end + 1);
    }
}

} // namespace

void quietLogging() {
    // FFmpeg's own warnings (estimated durations, container hints) are not
    // the program's log; errors still show. QUORVEL_FFMPEG_LOG=1 keeps them all.
    static std::once_flag once;
    std::call_once(once, [] {
        if (qEnvironmentVariable("QUORVEL_FFMPEG_LOG") != QLatin1String("1")) av_log_set_level(AV_LOG_ERROR);
        av_log_set_callback(logFromFFmpeg);
    });
}

namespace {

// Demuxers for audio and media files. Playlist and concatenation demuxers are
// left out on purpose: they would open further files named inside the input.
constexpr const char* kAudioDemuxers =
    "wav,w64,mp3,mov,aiff,caf,flac,ogg,aac,ac3,eac3,matroska,amr,au,wv,ape,asf,dts,tta,voc,"
    "mpc,mpc8,truehd,mlp,avi,mpeg,mpegts,flv,oma,gsm,nistsphere,ircam,sox,iff,xwma,dsf,aa";

} // namespace

InputFormat openInput(const QString& path, int* error) {
    quietLogging();
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        if (error) *error = AVERROR(ENOMEM);
        return nullptr;
    }
    raw->protocol_whitelist = av_strdup("file");
    raw->format_whitelist = av_strdup(kAudioDemuxers);
    if (!raw->protocol_whitelist || !raw->format_whitelist) {
        avformat_free_context(raw);
        if (error) *error = AVERROR(ENOMEM);
        return nullptr;
    }
    // The "file:" prefix keeps a colon in the name from being read as a protocol.
    QByteArray utf8 = QStringLiteral("file:").toUtf8() + path.toUtf8();
    // On failure avformat_open_input frees the context itself.
    int rc = avformat_open_input(&raw, utf8.constData(), nullptr, nullptr);
    if (rc < 0) {
        if (error) *error = rc;
        return nullptr;
    }
    InputFormat format(raw);
    rc = avformat_find_stream_info(format.get(), nullptr);
    if (rc < 0) {
        if (error) *error = rc;
        return nullptr;
    }
    if (error) *error = 0;
    return format;
}

int bestAudioStream(AVFormatContext* format) {
    return av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
}

CodecContext openDecoder(AVStream* stream, int* error) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        if (error) *error = AVERROR_DECODER_NOT_FOUND;
        return nullptr;
    }
    CodecContext ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        if (error) *error = AVERROR(ENOMEM);
        return nullptr;
    }
    int rc = avcodec_parameters_to_context(ctx.get(), stream->codecpar);
    if (rc >= 0) rc = avcodec_open2(ctx.get(), codec, nullptr);
    if (rc < 0) {
        if (error) *error = rc;
        return nullptr;
    }
    ctx->pkt_timebase = stream->time_base;
    if (error) *error = 0;
    return ctx;
}

} // namespace quorvel::ff
