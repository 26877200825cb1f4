// Importing library songs through the export service, end to end.
#include "../../platform/media/MediaTestSongs.h"
#include "ImportTestLibrary.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/TSLibraryImport.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

template <class F> QString raisedName(F f, QString* reason = nullptr) {
    try {
        f();
    } catch (const NSException& e) {
        if (reason) *reason = e.reason();
        return e.name();
    }
    return {};
}

} // namespace

TEST(LibraryImport, ValidatesLibraryURLs) {
    EXPECT_TRUE(TSLibraryImport::validIpodLibraryURL(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=1"))));
    EXPECT_TRUE(TSLibraryImport::validIpodLibraryURL(QUrl(QStringLiteral("ipod-library://item/item.aiff?id=1"))));
    EXPECT_FALSE(TSLibraryImport::validIpodLibraryURL(QUrl(QStringLiteral("ipod-library://item/item.MP3?id=1"))));
    EXPECT_FALSE(TSLibraryImport::validIpodLibraryURL(QUrl(QStringLiteral("ipod-library://item/item.m4p?id=1"))));
    EXPECT_FALSE(TSLibraryImport::validIpodLibraryURL(QUrl::fromLocalFile(QStringLiteral("/tmp/song.mp3"))));
    EXPECT_FALSE(TSLibraryImport::validIpodLibraryURL(QUrl()));

    QString reason;
    EXPECT_EQ(raisedName([] { TSLibraryImport::extensionForAssetURL(QUrl()); }, &reason), NSInvalidArgumentException);
    EXPECT_EQ(reason, QStringLiteral("nil assetURL"));
    EXPECT_EQ(raisedName([] { TSLibraryImport::extensionForAssetURL(QUrl(QStringLiteral("file:///a.mp3"))); }, &reason),
              NSInvalidArgumentException);
    EXPECT_EQ(reason, QStringLiteral("Invalid iPod Library URL: file:///a.mp3"));
    EXPECT_EQ(TSLibraryImport::extensionForAssetURL(QUrl(QStringLiteral("ipod-library://item/item.m4v?id=9"))),
              QStringLiteral("m4v"));
}

TEST(LibraryImport, BadArgumentsRaiseBeforeAnythingIsExported) {
    TempHome home;
    const QUrl dest = QUrl::fromLocalFile(home.documents() + QStringLiteral("/.tmpExport.m4a"));
    std::atomic<int> completions{0};
    auto count = [&](TSLibraryImport*) { ++completions; };
    auto importer = TSLibraryImport::create();
    QString reason;

    EXPECT_EQ(raisedName([&] { importer->importRingtune(ringtuneFor(QUrl(), 0, 0), dest, count); }, &reason),
              NSInvalidArgumentException);
    EXPECT_EQ(reason, QStringLiteral("nil url"));
    EXPECT_EQ(raisedName([&] { importer->importRingtune(ringtuneFor(libraryURL("m4a"), 0, 0), QUrl(), count); }, &reason),
              NSInvalidArgumentException);
    EXPECT_EQ(reason, QStringLiteral("nil url"));
    const QUrl fileURL = QUrl::fromLocalFile(MediaTestSongs::shared().song(QStringLiteral("m4a")));
    EXPECT_EQ(raisedName([&] { importer->importRingtune(ringtuneFor(fileURL, 0, 0), dest, count); }, &reason),
              NSInvalidArgumentException);
    EXPECT_EQ(reason, QStringLiteral("Invalid iPod Library URL: %1").arg(fileURL.toString()));

    // An existing destination is never touched.
    QFile existing(dest.toLocalFile());
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    EXPECT_EQ(raisedName([&] { importer->importRingtune(ringtuneFor(libraryURL("m4a"), 30, 12.3), dest, count); }, &reason),
              TSFileExistsError);
    EXPECT_EQ(reason, QStringLiteral("File already exists at url: %1").arg(dest.toString()));
    EXPECT_EQ(QFileInfo(dest.toLocalFile()).size(), 4);
    EXPECT_EQ(importer->status(), AVAssetExportSessionStatusUnknown);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(completions.load(), 0);
}

TEST(LibraryImport, CutsEachKindOfSongAndExtractsTheMp3) {
    TempHome home;
    struct Case {
        const char* ext;
        double frame;
    };
    for (const Case& c : {Case{"mp3", 1152.0 / 44100}, Case{"m4a", 1024.0 / 44100}, Case{"wav", 1.0 / 44100},
                          Case{"aif", 1.0 / 44100}}) {
        SCOPED_TRACE(c.ext);
        const QString dest = home.documents() + QStringLiteral("/.tmpExport.") + QLatin1String(c.ext);
        auto importer = TSLibraryImport::create();
        std::atomic<bool> done{false};
        std::atomic<int> completions{0};
        AVAssetExportSessionStatus seen = AVAssetExportSessionStatusUnknown;
        NSError seenError;
        importer->importRingtune(ringtuneFor(libraryURL(QLatin1String(c.ext)), 30.0, 12.3), QUrl::fromLocalFile(dest),
                                 [&](TSLibraryImport* i) {
                                     seen = i->status();
                                     seenError = i->error();
                                     ++completions;
                                 });
        // Reads from another thread race with the completion releasing the exporter.
        std::thread reader([&, importer] {
            while (!done.load()) {
                (void)importer->status();
                (void)importer->error();
                (void)importer->progress();
            }
        });
        std::weak_ptr<TSLibraryImport> weak = importer;
        importer.reset(); // the pending completion keeps it alive
        EXPECT_TRUE(waitFor([&] { return completions.load() > 0 && weak.use_count() <= 1; }));
        done = true;
        reader.join();
        ASSERT_EQ(seen, AVAssetExportSessionStatusCompleted) << seenError.localizedDescription.toStdString();
        EXPECT_TRUE(waitFor([&] { return weak.expired(); }));
        EXPECT_FALSE(QFileInfo::exists(home.documents() + QStringLiteral("/.tmpExport.mov")));

        const double d = probeDuration(dest);
        EXPECT_GE(d, 12.3 - 0.0005);
        // Whole frames: less than one frame past the range at either end. (The
        // movie itself trims the head with an edit list; the platform tests hold
        // it to one frame.)
        EXPECT_LE(d, 12.3 + 2 * c.frame + 0.0005);
        if (QLatin1String(c.ext) == QLatin1String("mp3")) {
            EXPECT_EQ(probeStreamField(dest, QStringLiteral("codec_name")), QStringLiteral("mp3"));
            ToolResult decode = runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                                   QStringLiteral("-i"), dest, QStringLiteral("-f"),
                                                                   QStringLiteral("null"), QStringLiteral("-")});
            EXPECT_EQ(decode.exitCode, 0);
            EXPECT_EQ(decode.err.trimmed(), QString());
            QFile f(dest);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QByteArray head = f.read(2);
            EXPECT_EQ(uint8_t(head[0]), 0xff); // starts with a frame sync, nothing of the movie
            EXPECT_EQ(uint8_t(head[1]) & 0xe0, 0xe0);
        }
    }
}

TEST(LibraryImport, AnUnknownSongFailsThroughTheCompletion) {
    TempHome home;
    library();
    const QString dest = home.documents() + QStringLiteral("/.tmpExport.wav");
    auto importer = TSLibraryImport::create();
    std::atomic<int> completions{0};
    std::atomic<int> status{-1};
    importer->importRingtune(ringtuneFor(QUrl(QStringLiteral("ipod-library://item/item.wav?id=12345")), 0, 0),
                             QUrl::fromLocalFile(dest), [&](TSLibraryImport* i) {
                                 status = i->status();
                                 ++completions;
                             });
    EXPECT_TRUE(waitFor([&] { return completions.load() > 0; }));
    EXPECT_EQ(status.load(), AVAssetExportSessionStatusFailed);
    EXPECT_FALSE(QFileInfo::exists(dest));
    EXPECT_TRUE(waitFor([&] { return importer->status() == AVAssetExportSessionStatusUnknown; }));
    EXPECT_EQ(importer->progress(), 0.0f);
    EXPECT_EQ(completions.load(), 1);
}
