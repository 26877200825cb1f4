// Every reader of an outside file refuses playlist-type inputs, which would
// make FFmpeg open the other local files they name.
#include "MediaTestSongs.h"
#include "TestSupport.h"
#include "platform/media/AVAssetExportSession.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

TEST(OutsideFiles, APlaylistNeverOpensTheFilesItNames) {
    TempHome home;
    const QString dir = home.documents();
    ASSERT_TRUE(writeWav16(dir + QStringLiteral("/secret.wav"), sine(440, 1.0), 44100, 1));
    // Song-named files whose bytes are an FFmpeg concatenation list and an HLS playlist.
    const struct {
        const char* name;
        QByteArray bytes;
    } playlists[] = {
        {"/concat.wav", "ffconcat version 1.0\nfile secret.wav\n"},
        {"/concat.m4a", "ffconcat version 1.0\nfile secret.wav\n"},
        {"/list.mp3", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nsecret.wav\n#EXT-X-ENDLIST\n"},
    };
    for (const auto& p : playlists) {
        SCOPED_TRACE(p.name);
        const QString path = dir + QLatin1String(p.name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(p.bytes);
        f.close();

        // The asset loader.
        auto asset = AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path));
        EXPECT_TRUE(asset->tracks().empty());
        EXPECT_EQ(asset->statusOfValueForKey(QStringLiteral("tracks")), AVKeyValueStatusFailed);

        // The passthrough exporter and the segment decoder of the AAC export.
        for (const QString& preset : {AVAssetExportPresetPassthrough, AVAssetExportPresetAppleM4A}) {
            SCOPED_TRACE(preset.toStdString());
            const QString out = dir + QStringLiteral("/out.m4a");
            auto session = AVAssetExportSession::exportSessionWithAsset(asset, preset);
            ASSERT_NE(session, nullptr);
            session->setOutputURL(QUrl::fromLocalFile(out));
            session->setOutputFileType(AVFileTypeAppleM4A);
            std::atomic<bool> done{false};
            session->exportAsynchronouslyWithCompletionHandler([&] { done = true; });
            ASSERT_TRUE(waitFor([&] { return done.load(); }));
            EXPECT_EQ(session->status(), AVAssetExportSessionStatusFailed);
            EXPECT_FALSE(QFileInfo::exists(out));
        }
    }
}
