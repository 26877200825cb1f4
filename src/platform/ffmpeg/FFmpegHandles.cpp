#include "platform/ffmpeg/FFmpegHandles.h"

#include "platform/core/GrowingFile.h"
#include "platform/core/Log.h"

#include <QFile>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::ff {

void OutputFormatDeleter::operator()(AVFormatContext* c) const {
    if (!c) return;
    if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
    avformat_free_context(c);
}

namespace {

// The reader behind a followed file's I/O context.
struct FollowedFile {
    QString path;
    int fd = -1;
    std::function<bool()> stop;
    ~FollowedFile() {
        if (fd >= 0) ::close(fd);
    }
};

constexpr std::chrono::milliseconds kFollowWait{20};
constexpr int kFollowBufferBytes = 64 * 1024;

int readFollowed(void* opaque, uint8_t* buffer, int size) {
    auto* file = static_cast<FollowedFile*>(opaque);
    for (;;) {
        const ssize_t got = ::read(file->fd, buffer, size_t(size));
        if (got > 0) return int(got);
        if (got < 0) {
            if (errno == EINTR) continue;
            return AVERROR(errno);
        }
        switch (GrowingFile::state(file->path)) {
        case GrowingFile::State::Growing:
            if (file->stop && file->stop()) return AVERROR_EXIT;
            GrowingFile::waitForMore(file->path, kFollowWait);
            continue;
        case GrowingFile::State::Failed:
            return AVERROR(EIO);
        case GrowingFile::State::NotGrowing: {
            // Bytes written between the last read and the writer's end.
            const ssize_t last = ::read(file->fd, buffer, size_t(size));
            if (last > 0) return int(last);
            return last < 0 ? AVERROR(errno) : AVERROR_EOF;
        }
        }
    }
}

int64_t seekFollowed(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<FollowedFile*>(opaque);
    if (whence & AVSEEK_SIZE) {
        // Unknown while it grows.
        if (GrowingFile::state(file->path) == GrowingFile::State::Growing) return AVERROR(ENOSYS);
        struct stat info {};
        return ::fstat(file->fd, &info) == 0 ? int64_t(info.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(file->fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

} // namespace

void InputFormatDeleter::operator()(AVFormatContext* c) const {
    if (!c) return;
    AVIOContext* followed = (c->flags & AVFMT_FLAG_CUSTOM_IO) ? c->pb : nullptr;
    avformat_close_input(&c);
    if (followed) {
        delete static_cast<FollowedFile*>(followed->opaque);
        av_freep(&followed->buffer);
        avio_context_free(&followed);
    }
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

// Allocates the context with the program's limits on protocols and demuxers.
AVFormatContext* allocateInput(int* error) {
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
    return raw;
}

// Opens `raw` and reads its stream information. On failure FFmpeg frees
// `raw`, and `dropIO` frees a custom I/O context that nothing owns yet.
InputFormat openAllocated(AVFormatContext* raw, const QString& path, int* error,
                          const std::function<void()>& dropIO = {}) {
    // The "file:" prefix keeps a colon in the name from being read as a protocol.
    QByteArray utf8 = QStringLiteral("file:").toUtf8() + path.toUtf8();
    int rc = avformat_open_input(&raw, utf8.constData(), nullptr, nullptr);
    if (rc < 0) {
        if (dropIO) dropIO();
        if (error) *error = rc;
        return nullptr;
    }
    InputFormat format(raw); // from here its deleter frees the I/O too
    rc = avformat_find_stream_info(format.get(), nullptr);
    if (rc < 0) {
        if (error) *error = rc;
        return nullptr;
    }
    if (error) *error = 0;
    return format;
}

} // namespace

InputFormat openFollowingInput(const QString& path, std::function<bool()> stop, int* error) {
    if (GrowingFile::state(path) == GrowingFile::State::NotGrowing) return openInput(path, error);
    quietLogging();
    auto file = std::make_unique<FollowedFile>();
    file->path = path;
    file->stop = std::move(stop);
    file->fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file->fd < 0) {
        if (error) *error = AVERROR(errno);
        return nullptr;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(kFollowBufferBytes));
    AVIOContext* io = buffer ? avio_alloc_context(buffer, kFollowBufferBytes, 0, file.get(), readFollowed, nullptr,
                                                  seekFollowed)
                             : nullptr;
    if (!io) av_free(buffer);
    AVFormatContext* raw = io ? allocateInput(error) : nullptr;
    auto dropIO = [&io] {
        delete static_cast<FollowedFile*>(io->opaque);
        av_freep(&io->buffer);
        avio_context_free(&io);
    };
    if (!raw) {
        if (io) dropIO();
        else if (error) *error = AVERROR(ENOMEM);
        return nullptr;
    }
    raw->pb = io;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    file.release(); // io->opaque: freed with the context's I/O
    return openAllocated(raw, path, error, dropIO);
}

InputFormat openInput(const QString& path, int* error) {
    quietLogging();
    AVFormatContext* raw = allocateInput(error);
    return raw ? openAllocated(raw, path, error) : nullptr;
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
