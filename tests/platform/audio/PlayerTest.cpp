#include "AudioTestSupport.h"
#include "platform/audio/AVPlayer.h"
#include "platform/core/MainThread.h"
#include "platform/core/NotificationCenter.h"
#include "platform/media/AVAudioMix.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct EndCounter {
    explicit EndCounter(const AVPlayerItem* item) {
        token = NotificationCenter::defaultCenter().addObserver(
            AVPlayerItemDidPlayToEndTimeNotification, item, [this](const QString&, const void*) { ++count; });
    }
    ~EndCounter() { NotificationCenter::defaultCenter().removeObserver(token); }
    int count = 0;
    NotificationCenter::Token token;
};

std::shared_ptr<AVPlayerItem> itemFor(const QString& path) {
    return AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path)));
}

// Pumps the event loop for `ms` (so that late notifications would arrive).
void settle(int ms) {
    test::waitUntil([] { return false; }, ms);
}

} // namespace

TEST(AVPlayer, PlaysFromTheSeekPointToTheEndTimeWithTheFadeEnvelopeAndPostsTheEndOnce) {
    test::AudioDriver driver;
    const QString path = driver.documents() + QStringLiteral("/source.wav");
    const std::vector<int16_t> source = test::liftedTone(3.0);
    ASSERT_TRUE(test::writeWav16(path, source, 44100, 1));

    auto item = itemFor(path);
    auto params = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(0);
    params->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMake(5, 10), CMTimeMake(5, 10)));
    params->setVolumeRamp(1.0f, 0.5f, CMTimeRangeMake(CMTimeMake(12, 10), CMTimeMake(4, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({params});

    AVPlayer player(item);
    ASSERT_EQ(player.status(), AVPlayerStatusReadyToPlay);
    EXPECT_EQ(player.rate(), 0.0f);
    item->setAudioMix(mix);
    item->seekToTime(CMTimeMake(5, 10));
    item->setForwardPlaybackEndTime(CMTimeMake(20, 10));
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(player.currentTime()), 0.5);
    EndCounter ends(item.get());
    player.play();
    EXPECT_EQ(player.rate(), 1.0f);
    ASSERT_TRUE(test::waitUntil([&] { return ends.count > 0; }, 20000));
    EXPECT_EQ(player.rate(), 0.0f);
    EXPECT_EQ(CMTimeCompare(player.currentTime(), CMTimeMake(88200, 44100)), 0);
    settle(300);
    EXPECT_EQ(ends.count, 1);

    const std::vector<float> out = driver.takeOutput();
    const size_t spanFrames = 66150; // 0.5 s to 2.0 s
    std::vector<float> expected(spanFrames);
    for (size_t k = 0; k < spanFrames; ++k)
        expected[k] = test::asFloat(source[22050 + k]) * mix->gainAt(0.5 + double(k) / 44100);
    size_t e = 0;
    while (std::fabs(expected[e]) <= 1e-3f) ++e;
    const long o = test::firstAbove(out, 1e-3f);
    ASSERT_GE(o, long(e));
    const size_t start = size_t(o) - e;
    ASSERT_LE((start + spanFrames) * 2, out.size());
    for (size_t i = 0; i < start * 2; ++i) ASSERT_EQ(out[i], 0.0f) << "sound before the span at " << i / 2;
    for (size_t k = 0; k < spanFrames; ++k) {
        ASSERT_NEAR(out[(start + k) * 2], expected[k], 1e-5) << "frame " << k;
        ASSERT_EQ(out[(start + k) * 2 + 1], out[(start + k) * 2]) << "frame " << k;
    }
    for (size_t i = (start + spanFrames) * 2; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f) << "sound after the span at " << i / 2 - start;
}

TEST(AVPlayer, PauseAndPlayResumeWhereTheyStoppedWithRateAndStatusAtEachStep) {
    test::AudioDriver driver;
    const QString path = driver.documents() + QStringLiteral("/source.wav");
    const std::vector<int16_t> source = test::liftedTone(1.2);
    ASSERT_TRUE(test::writeWav16(path, source, 44100, 1));

    AVPlayer player;
    EXPECT_EQ(player.status(), AVPlayerStatusUnknown);
    auto item = itemFor(path);
    player.replaceCurrentItemWithPlayerItem(item);
    EXPECT_EQ(player.status(), AVPlayerStatusReadyToPlay);
    EndCounter ends(item.get());

    player.play();
    EXPECT_EQ(player.rate(), 1.0f);
    ASSERT_TRUE(test::waitUntil([&] { return CMTimeGetSeconds(player.currentTime()) >= 0.4; }, 10000));
    player.pause();
    EXPECT_EQ(player.rate(), 0.0f);
    const CMTime stoppedAt = player.currentTime();
    settle(200);
    EXPECT_EQ(CMTimeCompare(player.currentTime(), stoppedAt), 0);
    EXPECT_EQ(CMTimeCompare(item->currentTime(), stoppedAt), 0);
    EXPECT_EQ(ends.count, 0);
    EXPECT_EQ(player.status(), AVPlayerStatusReadyToPlay);

    player.play();
    EXPECT_EQ(player.rate(), 1.0f);
    ASSERT_TRUE(test::waitUntil([&] { return ends.count > 0; }, 10000));
    EXPECT_EQ(player.rate(), 0.0f);

    // Every sample once, in order: nothing lost or repeated across the pause.
    const std::vector<float> out = driver.takeOutput();
    std::vector<float> heard;
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        if (out[i] != 0.0f) heard.push_back(out[i]);
    ASSERT_EQ(heard.size(), source.size());
    for (size_t n = 0; n < source.size(); ++n) ASSERT_NEAR(heard[n], test::asFloat(source[n]), 1e-6) << n;
}

TEST(AVPlayer, PeriodicObserverFiresAboutFiveTimesASecondOnTheMainThreadAndNotAfterRemoval) {
    test::AudioDriver driver("dummy");
    const QString path = driver.documents() + QStringLiteral("/source.wav");
    ASSERT_TRUE(test::writeWav16(path, test::liftedTone(2.0), 44100, 1));
    auto item = itemFor(path);
    AVPlayer player(item);
    EndCounter ends(item.get());

    std::vector<double> kept;
    bool allOnMain = true;
    player.addPeriodicTimeObserverForInterval(CMTimeMake(1, 5), [&](const CMTime& t) {
        kept.push_back(CMTimeGetSeconds(t));
        allOnMain = allOnMain && isMainThread();
    });
    int removedTicks = 0, ticksAfterRemoval = 0;
    bool removed = false;
    AVPlayer::TimeObserver second = 0;
    second = player.addPeriodicTimeObserverForInterval(CMTimeMake(1, 5), [&](const CMTime&) {
        if (removed) {
            ++ticksAfterRemoval;
            return;
        }
        if (++removedTicks == 2) {
            player.removeTimeObserver(second);
            removed = true;
        }
    });

    settle(300);
    EXPECT_TRUE(kept.empty()) << "time does not move before play";
    player.play();
    ASSERT_TRUE(test::waitUntil([&] { return ends.count > 0; }, 10000));
    const size_t atEnd = kept.size();
    settle(500);
    EXPECT_EQ(kept.size(), atEnd) << "no ticks once time stands still";

    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(removed);
    EXPECT_EQ(ticksAfterRemoval, 0);
    ASSERT_GE(kept.size(), 5u);
    std::vector<double> steps;
    for (size_t i = 1; i < kept.size(); ++i) {
        EXPECT_GE(kept[i], kept[i - 1]);
        steps.push_back(kept[i] - kept[i - 1]);
    }
    std::sort(steps.begin(), steps.end());
    const double median = steps[steps.size() / 2];
    EXPECT_GT(median, 0.15);
    EXPECT_LT(median, 0.3);
}

TEST(AVPlayer, AnItemWithoutReadableAudioFailsAndPlayDoesNothing) {
    test::AudioDriver driver("dummy");
    const QString text = driver.documents() + QStringLiteral("/notes.wav");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is no sound");
    f.close();
    AVPlayer player(itemFor(text));
    EXPECT_EQ(player.status(), AVPlayerStatusFailed);
    EXPECT_FALSE(player.error().localizedDescription.isEmpty());
    player.play();
    EXPECT_EQ(player.rate(), 0.0f);

    player.replaceCurrentItemWithPlayerItem(itemFor(driver.documents() + QStringLiteral("/missing.m4a")));
    EXPECT_EQ(player.status(), AVPlayerStatusFailed);
    player.replaceCurrentItemWithPlayerItem(nullptr);
    EXPECT_EQ(player.status(), AVPlayerStatusUnknown);
    player.play();
    EXPECT_EQ(player.rate(), 0.0f);
}

TEST(AVPlayer, PlayingAgainAtTheEndPostsTheEndAgainAndASeekPlaysFromThere) {
    test::AudioDriver driver("dummy");
    const QString path = driver.documents() + QStringLiteral("/source.wav");
    ASSERT_TRUE(test::writeWav16(path, test::liftedTone(0.6), 44100, 1));
    auto item = itemFor(path);
    AVPlayer player(item);
    EndCounter ends(item.get());
    item->setForwardPlaybackEndTime(CMTimeMake(3, 10));
    player.play();
    ASSERT_TRUE(test::waitUntil([&] { return ends.count == 1; }, 10000));
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(player.currentTime()), 0.3);

    // At the end: nothing more to play, and the end is told again.
    player.play();
    ASSERT_TRUE(test::waitUntil([&] { return ends.count == 2; }, 10000));
    EXPECT_EQ(player.rate(), 0.0f);

    // Without an end time the item plays to the end of the file.
    player.seekToTime(CMTimeMake(4, 10));
    item->setForwardPlaybackEndTime(kCMTimeInvalid);
    player.play();
    ASSERT_TRUE(test::waitUntil([&] { return ends.count == 3; }, 10000));
    EXPECT_NEAR(CMTimeGetSeconds(player.currentTime()), 0.6, 1e-4);
}

TEST(AVPlayer, AReplacedItemPlaysOnWhenThePlayerWasPlayingAndTheOldOneIsLeftWhereItStopped) {
    test::AudioDriver driver("dummy");
    const QString path = driver.documents() + QStringLiteral("/source.wav");
    ASSERT_TRUE(test::writeWav16(path, test::liftedTone(1.0), 44100, 1));
    auto first = itemFor(path);
    auto second = itemFor(path);
    second->seekToTime(CMTimeMake(7, 10));
    AVPlayer player(first);
    EndCounter firstEnds(first.get()), secondEnds(second.get());
    player.play();
    ASSERT_TRUE(test::waitUntil([&] { return CMTimeGetSeconds(player.currentTime()) >= 0.2; }, 10000));
    player.replaceCurrentItemWithPlayerItem(second);
    EXPECT_EQ(player.rate(), 1.0f);
    EXPECT_EQ(player.currentItem(), second);
    const double left = CMTimeGetSeconds(first->currentTime());
    EXPECT_GE(left, 0.2);
    EXPECT_LT(left, 1.0);
    ASSERT_TRUE(test::waitUntil([&] { return secondEnds.count == 1; }, 10000));
    EXPECT_EQ(firstEnds.count, 0);
    EXPECT_EQ(CMTimeGetSeconds(first->currentTime()), left);
}
