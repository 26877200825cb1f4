#include "TestSupport.h"
#include "platform/core/MainThread.h"
#include "platform/media/AVURLAsset.h"

#include <QThread>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(AVURLAsset, TracksLoadOffTheMainThreadAndTheCompletionRunsOnIt) {
    test::TempHome home;
    const QString path = home.documents() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(test::writeWav16(path, test::sine(440, 1.5, 44100), 44100, 1));
    auto asset = AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path));
    bool done = false, onMain = false;
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [&] {
        done = true;
        onMain = isMainThread();
    });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(asset->statusOfValueForKey(QStringLiteral("tracks")), AVKeyValueStatusLoaded);
    const auto tracks = asset->tracksWithMediaType(AVMediaTypeAudio);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks.front().sampleRate, 44100);
    EXPECT_NEAR(CMTimeGetSeconds(asset->duration()), 1.5, 0.001);
}

TEST(AVURLAsset, AMissingFileFailsWithAnErrorAndUnknownSchemesResolveToNothing) {
    test::TempHome home;
    auto asset = AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(home.documents() + QStringLiteral("/none.mp3")));
    bool done = false;
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [&] { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    NSError error;
    EXPECT_EQ(asset->statusOfValueForKey(QStringLiteral("tracks"), &error), AVKeyValueStatusFailed);
    EXPECT_FALSE(error.localizedDescription.isEmpty());
    EXPECT_FALSE(asset->duration().isValid());
    EXPECT_TRUE(asset->tracks().empty());

    auto unknown = AVURLAsset::URLAssetWithURL(QUrl(QStringLiteral("nowhere://item/item.mp3?id=1")));
    EXPECT_TRUE(unknown->filePath().isEmpty());
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(QUrl()), nullptr);
}

TEST(AVPlayerItem, WithoutAPlayerItKeepsItsSeekPositionAndEndTime) {
    auto item = AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(QStringLiteral("/x.wav"))));
    EXPECT_EQ(CMTimeCompare(item->currentTime(), kCMTimeZero), 0);
    EXPECT_FALSE(item->forwardPlaybackEndTime().isValid());
    item->seekToTime(CMTimeMake(25, 10));
    EXPECT_EQ(CMTimeCompare(item->currentTime(), CMTimeMake(25, 10)), 0);
    item->seekToTime(CMTimeMake(-1, 10));
    EXPECT_EQ(CMTimeCompare(item->currentTime(), kCMTimeZero), 0);
    item->seekToTime(kCMTimeInvalid);
    EXPECT_EQ(CMTimeCompare(item->currentTime(), kCMTimeZero), 0);
    item->setForwardPlaybackEndTime(CMTimeMake(399, 10));
    EXPECT_EQ(CMTimeCompare(item->forwardPlaybackEndTime(), CMTimeMake(399, 10)), 0);
}
