#include "platform/musiclibrary/MPMediaLibrary.h"

#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/Paths.h"
#include "platform/core/WorkerGroup.h"
#include "platform/media/AVURLAsset.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSet>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>
#include <thread>

namespace quorvel {

namespace {

QString userMusicFolder() {
    // The XDG user-dirs music folder; one equal to home means "not set" there,
    // and scanning all of home is not what anyone asked for.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QDir(music) != QDir::home()) return music;
    return QDir::homePath() + QStringLiteral("/Music");
}

bool lessByTitle(const MPMediaItem& a, const MPMediaItem& b) {
    int c = a.title().compare(b.title(), Qt::CaseInsensitive);
    if (c == 0) c = a.artist().compare(b.artist(), Qt::CaseInsensitive);
    if (c == 0) return a.persistentID() < b.persistentID();
    return c < 0;
}

} // namespace

MPMediaLibrary& MPMediaLibrary::defaultMediaLibrary() {
    static MPMediaLibrary library;
    return library;
}

MPMediaLibrary::MPMediaLibrary() {
    AVURLAsset::setURLResolver(QStringLiteral("ipod-library"),
                               [this](const QUrl& url) { return pathForURL(url); });
}

MPMediaLibrary::~MPMediaLibrary() {
    // Before the members go: a scan uses the cache.
    scans_.join();
}

QStringList MPMediaLibrary::libraryFolders() {
    const QString music = qEnvironmentVariable("QUORVEL_MUSIC");
    if (!music.isEmpty()) return music.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return {userMusicFolder()};
}

QString MPMediaLibrary::demoFolder() {
    const QString env = qEnvironmentVariable("QUORVEL_DEMO_DIR");
    if (!env.isEmpty()) return env;
    return Paths::resourcePath(QStringLiteral("demo"));
}

std::vector<MPMediaItem> MPMediaLibrary::scanFolders(const QStringList& folders) {
    QStringList files;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext()) {
            const QString path = it.next();
            if (MPMediaItem::libraryExtensionForFile(path).isEmpty() && MPMediaItem::decodedFormatForFile(path).isEmpty())
                continue;
            const QString canonical = QFileInfo(path).canonicalFilePath();
            if (canonical.isEmpty() || seen.contains(canonical)) continue;
            seen.insert(canonical);
            files.push_back(canonical);
        }
    }
    // Reading tags is the slow part: share it among a few threads.
    std::vector<MPMediaItem> items(size_t(files.size()));
    std::atomic<qsizetype> next{0};
    auto work = [&] {
        for (qsizetype i = next++; i < files.size(); i = next++) items[size_t(i)] = MPMediaItem::itemWithFile(files[i]);
    };
    const unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    WorkerGroup helpers;
    for (unsigned i = 1; i < n && files.size() > 64; ++i) helpers.start(work);
    work();
    helpers.join();
    std::erase_if(items, [](const MPMediaItem& i) { return i.isNull(); });
    return items;
}

void MPMediaLibrary::runScan() {
    QStringList folders = libraryFolders();
    folders.push_back(demoFolder());
    const std::vector<MPMediaItem> found = scanFolders(folders);
    NSLog("library: %d songs scanned", int(found.size()));
    QHash<uint64_t, MPMediaItem> table;
    table.reserve(qsizetype(found.size()));
    for (const auto& item : found) table.insert(item.persistentID(), item);
    QSet<uint64_t> decoded;
    {
        std::lock_guard lock(mutex_);
        items_ = std::move(table);
        // Files added for the run stay until they are gone from the disk.
        added_.removeIf([](const auto& entry) { return !QFileInfo::exists(entry.value().filePath()); });
        scanned_ = true;
        for (const auto* songs : {&items_, &added_})
            for (const auto& item : *songs)
                if (item.isOfferedAsWav()) decoded.insert(item.persistentID());
    }
    // Decodes of songs that left the library go with them.
    cache_.dropSongsOtherThan(decoded);
}

void MPMediaLibrary::scanNow() {
    runScan();
}

void MPMediaLibrary::beginScan(std::function<void()> completion) {
    {
        std::lock_guard lock(mutex_);
        if (completion) pending_.push_back(std::move(completion));
        if (scanning_) return;
        scanning_ = true;
    }
    scans_.start([this] {
        runScan();
        std::vector<std::function<void()>> done;
        {
            std::lock_guard lock(mutex_);
            done.swap(pending_);
            scanning_ = false;
        }
        scanDone_.notify_all();
        for (auto& f : done) {
            if (QCoreApplication::instance())
                performOnMainThread(std::move(f));
            else
                f();
        }
    });
}

void MPMediaLibrary::waitForScan() {
    std::unique_lock lock(mutex_);
    scanDone_.wait(lock, [this] { return !scanning_; });
}

bool MPMediaLibrary::isScanning() const {
    std::lock_guard lock(mutex_);
    return scanning_;
}

bool MPMediaLibrary::hasScanned() const {
    std::lock_guard lock(mutex_);
    return scanned_;
}

std::vector<MPMediaItem> MPMediaLibrary::items() const {
    std::vector<MPMediaItem> all;
    {
        std::lock_guard lock(mutex_);
        all.reserve(size_t(items_.size() + added_.size()));
        for (const auto& item : items_) all.push_back(item);
        for (const auto& item : added_)
            if (!items_.contains(item.persistentID())) all.push_back(item);
    }
    std::sort(all.begin(), all.end(), lessByTitle);
    return all;
}

std::vector<MPMediaItem> MPMediaLibrary::itemsMatching(const QString& text) const {
    std::vector<MPMediaItem> all = items();
    const QString needle = text.trimmed();
    if (needle.isEmpty()) return all;
    std::erase_if(all, [&](const MPMediaItem& i) {
        return !i.title().contains(needle, Qt::CaseInsensitive) && !i.artist().contains(needle, Qt::CaseInsensitive);
    });
    return all;
}

std::optional<MPMediaItem> MPMediaLibrary::itemForURL(const QUrl& url) const {
    if (url.scheme() != QLatin1String("ipod-library")) return std::nullopt;
    bool ok = false;
    const uint64_t id = QUrlQuery(url).queryItemValue(QStringLiteral("id")).toULongLong(&ok);
    if (!ok) return std::nullopt;
    std::lock_guard lock(mutex_);
    const MPMediaItem* item = nullptr;
    if (auto it = items_.constFind(id); it != items_.constEnd())
        item = &*it;
    else if (auto added = added_.constFind(id); added != added_.constEnd())
        item = &*added;
    // The URL's extension must be the song's own.
    if (!item || QFileInfo(url.path()).suffix() != item->libraryExtension()) return std::nullopt;
    return *item;
}

std::optional<MPMediaItem> MPMediaLibrary::addFile(const QString& path) {
    MPMediaItem item = MPMediaItem::itemWithFile(path);
    if (item.isNull()) return std::nullopt;
    std::lock_guard lock(mutex_);
    added_.insert(item.persistentID(), item);
    return item;
}

QString MPMediaLibrary::pathForURL(const QUrl& url) {
    // A song known already (a file added for the run) needs no scan: a large
    // library would cost its whole scan before the song opens.
    auto item = itemForURL(url);
    if (!item && !hasScanned()) {
        if (!isScanning()) scanNow();
        waitForScan();
        item = itemForURL(url);
    }
    if (!item) return {};
    if (!item->isOfferedAsWav()) return item->filePath();
    QString error;
    const QString wav = cache_.fileForItem(*item, &error);
    if (wav.isEmpty()) NSLog("Cannot decode %@: %@", describe(*item), error);
    return wav;
}

bool MPMediaLibrary::isItemReady(const MPMediaItem& item) const {
    return !item.isOfferedAsWav() || !cache_.cachedFileForItem(item).isEmpty();
}

bool MPMediaLibrary::prepareItemNow(const MPMediaItem& item, QString* error) {
    QString why;
    if (!cache_.fileForItem(item, &why).isEmpty()) return true;
    NSLog("Cannot decode %@: %@", describe(item), why);
    if (error) *error = why;
    return false;
}

void MPMediaLibrary::prepareItem(const MPMediaItem& item, std::function<void(float)> progress,
                                 std::function<void(const QString& error)> completion) {
    if (!item.isOfferedAsWav()) {
        if (completion) performOnMainThread([completion] { completion(QString()); });
        return;
    }
    cache_.beginFileForItem(item, std::move(progress),
                            [completion](const QString&, const QString& error) {
                                if (completion) completion(error);
                            });
}

} // namespace quorvel
