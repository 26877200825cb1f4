#pragma once
// The music library: every song under the library folders plus the demo
// songs that ship with the program, and files added for the run. Songs are
// reached through "ipod-library://item/item.<ext>?id=<n>" URLs; the library
// registers itself as the resolver of that scheme for AVURLAsset.
//
// Library folders: $QUORVEL_MUSIC (colon-separated) when set, else the
// user's music folder (XDG_MUSIC_DIR of the XDG user-dirs file, else ~/Music).
// Demo songs: $QUORVEL_DEMO_DIR, else "demo" in the resource folder (the
// install's share/quorvel/demo, or the build's, which links to build/demo).
//
// Songs in formats outside the importer's table (FLAC, Ogg, Opus ...) carry
// "wav" URLs: the URL opens a 16-bit WAV decoded from the song into the song
// cache on first use (see SongWavCache). Opening such a URL before the song
// is prepared decodes it on the spot, so a program with a user interface
// prepares the picked song first with prepareItem() and opens its URL when
// that completes.
//
// Thread safety: every method may be called from any thread. Scans run on
// workers of the library's, joined before it is destroyed.
#include "platform/core/WorkerGroup.h"
#include "platform/musiclibrary/MPMediaItem.h"
#include "platform/musiclibrary/SongWavCache.h"

#include <QHash>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace quorvel {

class MPMediaLibrary {
public:
    static MPMediaLibrary& defaultMediaLibrary();

    static QStringList libraryFolders();
    static QString demoFolder();

    // Starts a scan on the worker thread and returns at once. The completion
    // runs on the main thread when there is a Qt application, else on the
    // worker. A scan asked for while one runs joins that scan.
    void beginScan(std::function<void()> completion = {});
    // Scans on the calling thread (command line, benchmarks).
    void scanNow();
    void waitForScan();
    bool isScanning() const;
    bool hasScanned() const;

    // All songs sorted by title (then artist), case-insensitively.
    std::vector<MPMediaItem> items() const;
    // Songs whose title or artist contains `text`, case-insensitively, sorted as items().
    std::vector<MPMediaItem> itemsMatching(const QString& text) const;
    std::optional<MPMediaItem> itemForURL(const QUrl& url) const;
    // Adds a song file for this run (it stays through rescans); nullopt when
    // the file is no song.
    std::optional<MPMediaItem> addFile(const QString& path);

    // The file behind a library URL; scans once first when the URL is not
    // known and nothing was scanned yet. For a song offered as a WAV, its decoded WAV (decoded here when needed).
    QString pathForURL(const QUrl& url);

    // Whether the item's URL opens without decoding first.
    bool isItemReady(const MPMediaItem& item) const;
    // Decodes the item on the calling thread when it needs it (the command
    // line). False and *error when the song cannot be decoded.
    bool prepareItemNow(const MPMediaItem& item, QString* error = nullptr);
    // Readies the item on a worker thread and returns at once; `progress`
    // (0 to 1) and `completion` (an empty error on success) run on the main
    // thread. A song that needs no decoding completes at once, still through
    // the main thread's event loop.
    void prepareItem(const MPMediaItem& item, std::function<void(float)> progress,
                     std::function<void(const QString& error)> completion);
    SongWavCache& songCache() { return cache_; }

    ~MPMediaLibrary();
    MPMediaLibrary(const MPMediaLibrary&) = delete;
    MPMediaLibrary& operator=(const MPMediaLibrary&) = delete;

private:
    MPMediaLibrary();
    void runScan();
    static std::vector<MPMediaItem> scanFolders(const QStringList& folders);

    mutable std::mutex mutex_;
    std::condition_variable scanDone_;
    QHash<uint64_t, MPMediaItem> items_;
    QHash<uint64_t, MPMediaItem> added_;
    std::vector<std::function<void()>> pending_;
    bool scanning_ = false;
    bool scanned_ = false;
    WorkerGroup scans_;
    // Declared last: destroyed (its workers joined) before the rest.
    SongWavCache cache_;
};

} // namespace quorvel
