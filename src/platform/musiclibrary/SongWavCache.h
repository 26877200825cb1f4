#pragma once
// Songs in formats the importer does not take (FLAC, Ogg Vorbis, Opus ...),
// decoded once, without resampling, to 16-bit WAV files at their own rate and
// channels. The files live in the cache folder, not in the documents folder:
// "<cache>/SongCache/<song id>-<modified ms>.wav" (Paths::songCacheDirectory()),
// so a changed song gets a new file and its old one goes. Beyond the byte
// limit (2 GB) the oldest decodes are dropped first.
//
// Thread safety: every method may be called from any thread. A song asked for
// while it is being decoded is decoded once; the later caller waits for it.
// Workers started by beginFileForItem() are cancelled and joined by the
// destructor.
#include "platform/core/WorkerGroup.h"
#include "platform/musiclibrary/MPMediaItem.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel {

class SongWavCache {
public:
    static constexpr qint64 kDefaultByteLimit = qint64(2) << 30;
    // Fraction decoded, 0 to 1.
    using Progress = std::function<void(float)>;
    // The WAV file, or an empty path and the reason.
    using Completion = std::function<void(const QString& wavPath, const QString& error)>;

    SongWavCache() = default;
    ~SongWavCache();
    SongWavCache(const SongWavCache&) = delete;
    SongWavCache& operator=(const SongWavCache&) = delete;

    static QString cacheDirectory();

    // The song's decoded WAV when it is there, complete and current; empty otherwise.
    QString cachedFileForItem(const MPMediaItem& item) const;
    // The song's decoded WAV, decoding it on the calling thread when needed
    // (`progress` runs on this thread). A song that is not offered as a WAV
    // is its own file. Empty and *error when the song cannot be decoded or is gone.
    QString fileForItem(const MPMediaItem& item, QString* error, const Progress& progress = {});
    // The same on a worker thread; returns at once. `progress` and
    // `completion` run on the main thread (in place when there is no Qt application).
    void beginFileForItem(const MPMediaItem& item, Progress progress, Completion completion);

    // Drops the decodes of every song whose id is not in `keep` (songs gone from the library).
    void dropSongsOtherThan(const QSet<uint64_t>& keep);
    void setByteLimit(qint64 bytes) { byteLimit_ = bytes; }

private:
    bool decode(const QString& source, const QString& dest, const Progress& progress, QString* error);
    // With mutex_ held: removes the song's other decodes, then the oldest
    // beyond the limit, never `keep` or a file being written.
    void trimLocked(uint64_t id, const QString& keep);

    mutable std::mutex mutex_;
    std::condition_variable decoded_;
    QSet<QString> inFlight_;
    std::atomic<bool> cancelled_{false};
    std::atomic<qint64> byteLimit_{kDefaultByteLimit};
    WorkerGroup workers_;
};

} // namespace quorvel
