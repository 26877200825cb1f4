#include "TestSupport.h"
#include "platform/core/MainThread.h"
#include "platform/media/AVAudioMix.h"
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

// The export applies one gain to a block when the mix says it is steady there:
// every sample of such a block must have that gain, and no fade may pass as steady.
TEST(AVAudioMix, ASteadyGainIsTheGainOfEverySampleItCovers) {
    auto params = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(0);
    params->setVolumeRamp(0, 1, CMTimeRangeMake(CMTimeMakeWithSeconds(60, 44100), CMTimeMakeWithSeconds(1.5, 44100)));
    params->setVolume(0.5f, CMTimeMakeWithSeconds(80, 44100));
    params->setVolumeRamp(0.5f, 0, CMTimeRangeMake(CMTimeMakeWithSeconds(96.9, 44100), CMTimeMakeWithSeconds(3, 44100)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({params});

    int steady = 0, varying = 0;
    for (double from = 55; from < 105; from += 0.0131) {
        const double to = from + 1023.0 / 44100;
        const std::optional<float> gain = mix->steadyGainBetween(from, to);
        if (!gain) {
            ++varying;
            continue;
        }
        ++steady;
        for (int i = 0; i <= 64; ++i) ASSERT_FLOAT_EQ(mix->gainAt(from + (to - from) * i / 64), *gain) << from;
    }
    EXPECT_GT(steady, 3000);
    EXPECT_GT(varying, 300); // both fades and the volume step
    EXPECT_FALSE(mix->steadyGainBetween(79.99, 80.01));
    EXPECT_EQ(mix->steadyGainBetween(70, 71), std::optional<float>(1.0f));
    EXPECT_EQ(mix->steadyGainBetween(100, 101), std::optional<float>(0.0f));

    // A loudness gain that follows a limiter varies everywhere.
    mix->setLoudnessGain(std::make_shared<LoudnessGain>(60.0, 44100, 4410, std::vector<float>{1.0f, 0.8f, 0.9f}));
    EXPECT_FALSE(mix->steadyGainBetween(70, 71));
}

// Loads of one file share what the first found; a file rewritten since, even
// in place with the same size within one tick of the clock, is measured again.
TEST(AVURLAsset, AFileRewrittenAtTheSamePathIsMeasuredAgain) {
    test::TempHome home;
    const QString path = home.documents() + QStringLiteral("/tone.wav");
    const auto lengthOf = [&] { return CMTimeGetSeconds(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path))->duration()); };
    ASSERT_TRUE(test::writeWav16(path, test::sine(440, 2.0, 44100), 44100, 1));
    EXPECT_NEAR(lengthOf(), 2.0, 1e-3);
    EXPECT_NEAR(lengthOf(), 2.0, 1e-3);
    // The same bytes of samples at half the rate: the same size, twice as long.
    ASSERT_TRUE(test::writeWav16(path, test::sine(440, 4.0, 22050), 22050, 1));
    EXPECT_EQ(QFileInfo(path).size(), 44 + 2 * 88200);
    EXPECT_NEAR(lengthOf(), 4.0, 1e-3);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(std::isfinite(lengthOf()));
}
