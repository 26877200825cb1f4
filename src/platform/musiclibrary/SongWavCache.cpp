#include "platform/musiclibrary/SongWavCache.h"

#include "platform/audiofile/AudioFileDecoder.h"
#include "platform/core/MainThread.h"
#include "platform/core/Paths.h"
#include "platform/media/AVURLAsset.h"
#include "platform/musiclibrary/WavFileWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr UInt32 kChunkFrames = 32768;

const QRegularExpression& entryPattern() {
    static const QRegularExpression re(QStringLiteral("^(\\d+)-(-?\\d+)\\.wav$"));
    return re;
}

uint64_t idOfEntry(const QString& name) {
    const auto m = entryPattern().match(name);
    return m.hasMatch() ? m.captured(1).toULongLong() : 0;
}

// The decode of the song as its file is now; empty when the file is gone.
QString entryPathFor(const MPMediaItem& item) {
    const QFileInfo source(item.filePath());
    if (!source.isFile()) return {};
    const qint64 modified = source.lastModified().toMSecsSinceEpoch();
    return SongWavCache::cacheDirectory() +
           QStringLiteral("/%1-%2.wav").arg(item.persistentID()).arg(modified);
}

// Removes a half-written file on every way out of a decode.
class PartFile {
public:
    explicit PartFile(QString path) : path_(std::move(path)) {}
    ~PartFile() {
        if (!path_.isEmpty()) QFile::remove(path_);
    }
    const QString& path() const { return path_; }
    void release() { path_.clear(); }

private:
    QString path_;
};

} // namespace

SongWavCache::~SongWavCache() {
    cancelled_ = true;
    workers_.join();
}

QString SongWavCache::cacheDirectory() {
    return Paths::songCacheDirectory();
}

QString SongWavCache::cachedFileForItem(const MPMediaItem& item) const {
    if (!item.isOfferedAsWav()) return item.filePath();
    const QString path = entryPathFor(item);
    if (path.isEmpty()) return {};
    std::lock_guard lock(mutex_);
    return !inFlight_.contains(path) && WavFileWriter::isComplete(path) ? path : QString();
}

QString SongWavCache::fileForItem(const MPMediaItem& item, QString* error, const Progress& progress) {
    QString ignored;
    if (!error) error = &ignored;
    if (!item.isOfferedAsWav()) return item.filePath();
    const QString dest = entryPathFor(item);
    if (dest.isEmpty()) {
        // The song is gone: so is its decode.
        std::lock_guard lock(mutex_);
        trimLocked(item.persistentID(), QString());
        *error = QStringLiteral("the song's file %1 is gone").arg(item.filePath());
        return {};
    }
    {
        std::unique_lock lock(mutex_);
        decoded_.wait(lock, [&] { return !inFlight_.contains(dest); });
        if (WavFileWriter::isComplete(dest)) return dest;
        inFlight_.insert(dest);
    }
    const bool ok = decode(item.filePath(), dest, progress, error);
    {
        std::lock_guard lock(mutex_);
        inFlight_.remove(dest);
        if (ok) trimLocked(item.persistentID(), dest);
    }
    decoded_.notify_all();
    return ok ? dest : QString();
}

void SongWavCache::beginFileForItem(const MPMediaItem& item, Progress progress, Completion completion) {
    workers_.start([this, item, progress = std::move(progress), completion = std::move(completion)] {
        Progress relay;
        if (progress)
            relay = [progress](float fraction) { performOnMainThread([progress, fraction] { progress(fraction); }); };
        QString error;
        const QString path = fileForItem(item, &error, relay);
        if (completion) performOnMainThread([completion, path, error] { completion(path, error); });
    });
}

bool SongWavCache::decode(const QString& source, const QString& dest, const Progress& progress, QString* error) {
    OSStatus status = noErr;
    std::unique_ptr<AudioFileDecoder> decoder = AudioFileDecoder::open(source, &status);
    if (!decoder) {
        *error = QStringLiteral("%1 cannot be decoded (status %2)").arg(source).arg(status);
        return false;
    }
    // Its default client format: interleaved 16-bit at the song's own rate and channels.
    const AudioStreamBasicDescription format = decoder->clientFormat();
    const int rate = int(std::lround(format.mSampleRate));
    const int channels = int(format.mChannelsPerFrame);
    if (!QDir().mkpath(cacheDirectory())) {
        *error = QStringLiteral("cannot make the folder %1").arg(cacheDirectory());
        return false;
    }
    static std::atomic<int> serial{0};
    const QFileInfo target(dest);
    PartFile part(QStringLiteral("%1/.%2.part-%3-%4")
                      .arg(target.absolutePath(), target.fileName())
                      .arg(qint64(::getpid()))
                      .arg(++serial));
    WavFileWriter writer;
    if (!writer.open(part.path(), rate, channels, error)) return false;

    double expected = 0;
    if (progress) {
        const double seconds = CMTimeGetSeconds(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(source))->duration());
        if (std::isfinite(seconds) && seconds > 0) expected = seconds * rate;
    }
    float reported = 0;
    std::vector<int16_t> samples(size_t(kChunkFrames) * size_t(channels));
    for (;;) {
        if (cancelled_) {
            *error = QStringLiteral("decoding %1 was cancelled").arg(source);
            return false;
        }
        AudioBufferList list{1, {{UInt32(channels), UInt32(samples.size() * sizeof(int16_t)), samples.data()}}};
        UInt32 frames = kChunkFrames;
        status = decoder->read(&frames, &list);
        if (status != noErr) {
            *error = QStringLiteral("%1 cannot be decoded (status %2)").arg(source).arg(status);
            return false;
        }
        if (frames == 0) break;
        if (!writer.write(samples.data(), frames, error)) return false;
        if (expected > 0) {
            const float fraction = float(std::min(1.0, double(writer.frames()) / expected));
            if (fraction >= reported + 0.01f) progress(reported = fraction);
        }
    }
    if (writer.frames() == 0) {
        *error = QStringLiteral("%1 holds no audio").arg(source);
        return false;
    }
    if (!writer.finish(error)) return false;
    // The complete file appears under its name at once, never half-written.
    if (std::rename(QFile::encodeName(part.path()).constData(), QFile::encodeName(dest).constData()) != 0) {
        *error = QStringLiteral("cannot keep the decoded song at %1").arg(dest);
        return false;
    }
    part.release();
    if (progress && reported < 1.0f) progress(1.0f);
    return true;
}

void SongWavCache::trimLocked(uint64_t id, const QString& keep) {
    QDir dir(cacheDirectory());
    if (!dir.exists()) return;
    // Parts left by a program that stopped mid-decode.
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& f : dir.entryInfoList({QStringLiteral(".*.part-*")}, QDir::Files | QDir::Hidden))
        if (f.lastModified() < stale) QFile::remove(f.absoluteFilePath());

    QFileInfoList entries = dir.entryInfoList({QStringLiteral("*.wav")}, QDir::Files, QDir::Time | QDir::Reversed);
    qint64 total = 0;
    for (auto it = entries.begin(); it != entries.end();) {
        const bool mine = it->absoluteFilePath() == keep || inFlight_.contains(it->absoluteFilePath());
        if (!mine && idOfEntry(it->fileName()) == id && id != 0) {
            QFile::remove(it->absoluteFilePath());
            it = entries.erase(it);
            continue;
        }
        total += it->size();
        ++it;
    }
    // Oldest decode first.
    for (const QFileInfo& f : entries) {
        if (total <= byteLimit_) break;
        if (f.absoluteFilePath() == keep || inFlight_.contains(f.absoluteFilePath())) continue;
        if (QFile::remove(f.absoluteFilePath())) total -= f.size();
    }
}

void SongWavCache::dropSongsOtherThan(const QSet<uint64_t>& keep) {
    std::lock_guard lock(mutex_);
    QDir dir(cacheDirectory());
    if (!dir.exists()) return;
    for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("*.wav")}, QDir::Files)) {
        if (inFlight_.contains(f.absoluteFilePath())) continue;
        if (!keep.contains(idOfEntry(f.fileName()))) QFile::remove(f.absoluteFilePath());
    }
}

} // namespace quorvel
