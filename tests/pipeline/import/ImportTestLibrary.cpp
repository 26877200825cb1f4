#include "ImportTestLibrary.h"

#include "../../platform/media/MediaTestSongs.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace quorvel::test {

MPMediaLibrary& library() {
    static QTemporaryDir emptyDemo;
    static bool scanned = [] {
        for (const char* ext : {"mp3", "m4a", "wav", "aif"}) MediaTestSongs::shared().song(QLatin1String(ext));
        qputenv("QUORVEL_MUSIC", MediaTestSongs::shared().folder().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", emptyDemo.path().toUtf8());
        MPMediaLibrary::defaultMediaLibrary().scanNow();
        return true;
    }();
    (void)scanned;
    return MPMediaLibrary::defaultMediaLibrary();
}

QUrl libraryURL(const QString& ext) {
    const QString path = QFileInfo(MediaTestSongs::shared().song(ext)).canonicalFilePath();
    for (const auto& item : library().items())
        if (item.filePath() == path) return item.assetURL();
    return {};
}

std::shared_ptr<Ringtune> ringtuneFor(const QUrl& url, double start, double length) {
    auto r = std::make_shared<Ringtune>(url, QStringLiteral("Song"), QStringLiteral("Artist"), QImage());
    if (length > 0)
        r->setTimeRange(CMTimeRangeMake(CMTimeMakeWithSeconds(start, 1000), CMTimeMakeWithSeconds(length, 1000)));
    return r;
}

} // namespace quorvel::test
