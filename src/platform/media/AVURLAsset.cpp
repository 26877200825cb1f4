#include "platform/media/AVURLAsset.h"

#include "platform/core/GrowingFile.h"
#include "platform/core/MainThread.h"
#include "platform/core/WorkerThreads.h"
#include "platform/ffmpeg/FFmpegHandles.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/media/AVAudioMix.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <sys/stat.h>

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace quorvel {

const QString AVMediaTypeAudio = QStringLiteral("soun");

namespace {
std::mutex resolverMutex;

// Fewer bits a second than any audio codec spends: a length that would need
// fewer comes from a header that does not describe the file.
constexpr double kLeastBitsPerSecond = 1500;

// The length of the stream's audio, counted from its packets (what the
// decoder would deliver, less the samples their side data says to skip).
// Reads the file to its end, without decoding.
double countedSeconds(AVFormatContext* format, int index) {
    AVStream* stream = format->streams[index];
    const int rate = stream->codecpar->sample_rate;
    ff::Packet packet = ff::makePacket();
    int64_t ticks = 0;
    int64_t skipped = 0; // samples
    while (av_read_frame(format, packet.get()) >= 0) {
        if (packet->stream_index == index) {
            if (packet->duration > 0) ticks += packet->duration;
            size_t size = 0;
            if (const uint8_t* skip = av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &size);
                skip && size >= 8)
                skipped += int64_t(AV_RL32(skip)) + int64_t(AV_RL32(skip + 4));
        }
        av_packet_unref(packet.get());
    }
    double seconds = double(ticks) * av_q2d(stream->time_base);
    if (rate > 0) seconds -= double(skipped) / rate;
    return std::max(0.0, seconds);
}

// The length of the best audio stream: the container's own figure where it
// has one that fits the file, else counted. A length guessed from the bit
// rate, or a header announcing far more frames than the file holds, is not
// the song's length.
double audioSeconds(AVFormatContext* format, const QString& path) {
    const int index = ff::bestAudioStream(format);
    if (index < 0) return format->duration != AV_NOPTS_VALUE ? double(format->duration) / AV_TIME_BASE : NAN;
    const AVStream* stream = format->streams[index];
    double stated = NAN;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        stated = double(stream->duration) * av_q2d(stream->time_base);
    else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        stated = double(format->duration) / AV_TIME_BASE;
    const double bytes = double(QFileInfo(path).size());
    const bool guessed = format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    const bool fits = std::isfinite(stated) && bytes * 8 / stated >= kLeastBitsPerSecond;
    if (!guessed && fits) return stated;
    return countedSeconds(format, index);
}
// What tells one version of a file from another: its inode, size and times,
// and (as a file's times tick coarsely, and a file rewritten in place within
// one tick keeps them) a digest of its head and tail, where every container
// keeps what it says about its length.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    QByteArray ends;
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
               changed.tv_nsec == o.changed.tv_nsec && ends == o.ends;
    }
};

std::optional<FileStamp> stampOf(const QString& path) {
    constexpr qint64 kEndBytes = 8192;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    QCryptographicHash digest(QCryptographicHash::Sha1);
    digest.addData(file.read(kEndBytes));
    if (st.st_size > kEndBytes && file.seek(std::max<qint64>(kEndBytes, st.st_size - kEndBytes)))
        digest.addData(file.read(kEndBytes));
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, digest.result()};
}

// The tracks and length of files loaded lately. One export loads the same
// song and the same cut several times (the library, the editor, the export
// session); a headerless MP3 is read to its end each time to be measured.
class LoadedFiles {
public:
    struct Facts {
        std::vector<AVAssetTrack> tracks;
        CMTime duration = kCMTimeInvalid;
    };
    std::optional<Facts> find(const QString& path, const FileStamp& stamp) {
        std::lock_guard lock(mutex_);
        for (const Entry& e : entries_)
            if (e.path == path && e.stamp == stamp) return e.facts;
        return std::nullopt;
    }
    void remember(const QString& path, const FileStamp& stamp, Facts facts) {
        std::lock_guard lock(mutex_);
        std::erase_if(entries_, [&](const Entry& e) { return e.path == path; });
        entries_.push_front({path, stamp, std::move(facts)});
        if (entries_.size() > kKept) entries_.pop_back();
    }

private:
    static constexpr size_t kKept = 16;
    struct Entry {
        QString path;
        FileStamp stamp;
        Facts facts;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;
};

LoadedFiles& loadedFiles() {
    static LoadedFiles files;
    return files;
}

QHash<QString, AVURLAsset::URLResolver>& resolvers() {
    static QHash<QString, AVURLAsset::URLResolver> table;
    return table;
}
} // namespace

void AVURLAsset::setURLResolver(const QString& scheme, URLResolver resolver) {
    std::lock_guard lock(resolverMutex);
    resolvers().insert(scheme, std::move(resolver));
}

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const QUrl& url) {
    if (url.isEmpty()) return nullptr;
    return std::shared_ptr<AVURLAsset>(new AVURLAsset(url));
}

AVURLAsset::AVURLAsset(const QUrl& url) : url_(url) {
    if (url.isLocalFile()) {
        path_ = url.toLocalFile();
    } else {
        URLResolver resolver;
        {
            std::lock_guard lock(resolverMutex);
            resolver = resolvers().value(url.scheme());
        }
        if (resolver) path_ = resolver(url);
    }
}

void AVURLAsset::loadNow() {
    {
        std::lock_guard lock(mutex_);
        if (status_ == AVKeyValueStatusLoaded || status_ == AVKeyValueStatusFailed) return;
        status_ = AVKeyValueStatusLoading;
    }
    // A file still being written is measured afresh every time.
    const std::optional<FileStamp> stamp =
        path_.isEmpty() || GrowingFile::state(path_) != GrowingFile::State::NotGrowing ? std::nullopt : stampOf(path_);
    if (stamp) {
        if (std::optional<LoadedFiles::Facts> known = loadedFiles().find(path_, *stamp)) {
            std::lock_guard lock(mutex_);
            status_ = AVKeyValueStatusLoaded;
            tracks_ = std::move(known->tracks);
            duration_ = known->duration;
            return;
        }
    }
    std::vector<AVAssetTrack> tracks;
    CMTime duration = kCMTimeInvalid;
    int rc = 0;
    ff::InputFormat format;
    if (path_.isEmpty() || !QFileInfo(path_).isFile()) {
        rc = AVERROR(ENOENT);
    } else {
        format = ff::openInput(path_, &rc);
    }
    if (format) {
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            AVStream* s = format->streams[i];
            if (s->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
            AVAssetTrack t;
            t.trackID = int(i);
            t.mediaType = AVMediaTypeAudio;
            t.codecName = QString::fromUtf8(avcodec_get_name(s->codecpar->codec_id));
            t.sampleRate = s->codecpar->sample_rate;
            t.channelCount = s->codecpar->ch_layout.nb_channels;
            if (s->duration != AV_NOPTS_VALUE)
                t.duration = CMTimeMakeWithSeconds(double(s->duration) * av_q2d(s->time_base), 44100);
            tracks.push_back(t);
        }
        const double seconds = audioSeconds(format.get(), path_);
        if (std::isfinite(seconds)) duration = CMTimeMakeWithSeconds(seconds, 44100);
    }
    std::lock_guard lock(mutex_);
    if (!format) {
        status_ = AVKeyValueStatusFailed;
        error_ = NSError{AVFoundationErrorDomain, rc,
                         QStringLiteral("Cannot open %1: %2").arg(url_.toString(), ff::errorString(rc)),
                         {}};
        return;
    }
    status_ = AVKeyValueStatusLoaded;
    // Remembered only when the file is still the one that was opened.
    if (stamp && stampOf(path_) == stamp) loadedFiles().remember(path_, *stamp, {tracks, duration});
    tracks_ = std::move(tracks);
    duration_ = duration;
}

void AVURLAsset::loadValuesAsynchronouslyForKeys(const QStringList&, std::function<void()> completion) {
    auto self = shared_from_this();
    WorkerThreads::start([self, completion = std::move(completion)]() mutable {
        self->loadNow();
        if (completion) performOnMainThread(std::move(completion));
    });
}

AVKeyValueStatus AVURLAsset::statusOfValueForKey(const QString&, NSError* error) const {
    std::lock_guard lock(mutex_);
    if (error && status_ == AVKeyValueStatusFailed) *error = error_;
    return status_;
}

CMTime AVURLAsset::duration() {
    loadNow();
    std::lock_guard lock(mutex_);
    return duration_;
}

std::vector<AVAssetTrack> AVURLAsset::tracks() {
    loadNow();
    std::lock_guard lock(mutex_);
    return tracks_;
}

std::vector<AVAssetTrack> AVURLAsset::tracksWithMediaType(const QString& mediaType) {
    std::vector<AVAssetTrack> result;
    for (const auto& t : tracks())
        if (t.mediaType == mediaType) result.push_back(t);
    return result;
}

std::shared_ptr<AVPlayerItem> AVPlayerItem::playerItemWithAsset(std::shared_ptr<AVURLAsset> asset) {
    return std::make_shared<AVPlayerItem>(std::move(asset));
}

void AVPlayerItem::setForwardPlaybackEndTime(const CMTime& time) {
    forwardPlaybackEndTime_ = time;
    if (host_) host_->playerItemEndTimeChanged(*this);
}

CMTime AVPlayerItem::currentTime() const { return host_ ? host_->playerItemCurrentTime(*this) : position_; }

void AVPlayerItem::seekToTime(const CMTime& time) {
    position_ = (time.isNumeric() && CMTimeCompare(time, kCMTimeZero) > 0) ? time : kCMTimeZero;
    if (host_) host_->playerItemDidSeek(*this);
}

void AVPlayerItem::hostDidLeave(const Host* host, const CMTime& position) {
    if (!host || host != host_) return;
    host_ = nullptr;
    position_ = position;
}

} // namespace quorvel
