#include "editor/GenericHelper.h"
#include "TestSupport.h"
#include "platform/media/AVURLAsset.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(GenericHelper, RangeStartPointAnchorsTheSegmentEndAndRemembersItsResult) {
    struct Case {
        float last, start, length, expected;
    } cases[] = {
        {0.0f, 0.0f, 3.0f, 0.0f},
        {0.0f, 30.0f, 10.0f, 202.5f},    // ends exactly at 270: not scrolled
        {202.5f, 30.5f, 10.0f, 202.5f},  // anchored at 270 - 67.5
        {135.0f, 20.0f, 25.0f, 135.0f},  // X not beyond the last result: unscrolled
        {100.0f, 20.0f, 25.0f, 101.25f}, // X beyond the last result: anchored (270 - 168.75)
    };
    for (const Case& c : cases) {
        GenericHelper::setLastStartPoint(c.last);
        EXPECT_EQ(GenericHelper::rangeStartPoint(c.start, c.length), c.expected) << c.start << " " << c.length;
        EXPECT_EQ(GenericHelper::lastStartPoint(), c.expected);
    }
}

TEST(GenericHelper, PlayingCursorCountsFromTheSegmentForSongsAndFromTheRecordingStart) {
    GenericHelper::setLastStartPoint(0);
    // Song: x0 + t * 6.75 / speed.
    EXPECT_FLOAT_EQ(GenericHelper::playingCursorPoint(2.0f, 4.0f, 3.0f, 2.0f, false), 27.0f + 6.75f);
    // Recording: x0 + (t - start) * 6.75 / speed.
    EXPECT_FLOAT_EQ(GenericHelper::playingCursorPoint(6.0f, 4.0f, 3.0f, 1.0f, true), 27.0f + 13.5f);
}

// Times are rounded to the tenth the controls step in: a float sum of thirty
// steps of 0.1 is 2.9999993, which truncating showed as "00:02.9" and cut at
// 2999 ms.
TEST(GenericHelper, TimeStringsRoundToTheNearestTenth) {
    struct Case {
        float t;
        bool minutes;
        const char* text;
    } cases[] = {
        {3.0f, true, "00:03.0"},       {3.0f, false, "03.0"},   {75.3f, true, "01:15.3"}, {75.3f, false, "15.3"},
        {60.0f, false, "00.0"},        {3.1f, true, "00:03.1"}, {12.5f, true, "00:12.5"}, {0.0f, true, "00:00.0"},
        {2.9999993f, true, "00:03.0"}, {59.96f, true, "01:00.0"}, {12.34f, true, "00:12.3"}, {-0.04f, true, "00:00.0"},
        {840.0f, true, "14:00.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GenericHelper::timeToString(c.t, c.minutes), QString::fromLatin1(c.text)) << c.t;
}

TEST(GenericHelper, SegmentRangeIsInMillisecondsOfWholeTenthsAndNeverLongerThan39900) {
    struct Case {
        float start, length;
        int64_t startMs, durationMs;
    } cases[] = {{0, 40.0f, 0, 39900},        {0, 45.0f, 0, 39900},     {30, 12.3f, 30000, 12300},
                 {0, 3.1f, 0, 3100},          {0, 39.9f, 0, 39900},     {12.5f, 3.0f, 12500, 3000},
                 {2.9999993f, 3.0f, 3000, 3000}, {0, 39.95f, 0, 39900}, {12.37f, 3.04f, 12400, 3000}};
    for (const Case& c : cases) {
        CMTimeRange r = GenericHelper::playerItemTimeRange(c.start, c.length);
        EXPECT_EQ(r.start.value, c.startMs) << c.start;
        EXPECT_EQ(r.duration.value, c.durationMs) << c.length;
        EXPECT_EQ(r.duration.timescale, 1000);
        EXPECT_TRUE(r.isValid());
    }
}

TEST(GenericHelper, ProcessedRangeFollowsTheSpeedAndIsCappedAt39_9) {
    const CMTimeRange stored{CMTimeMake(5000, 1000), CMTimeMake(30000, 1000)};
    CMTimeRange r = GenericHelper::timeRangeForSpeed(2, stored, 30.0f);
    EXPECT_EQ(r.duration.value, 399);
    EXPECT_EQ(r.duration.timescale, 10);
    EXPECT_EQ(r.start.value, 5000);
    r = GenericHelper::timeRangeForSpeed(-2, stored, 30.0f);
    EXPECT_EQ(r.duration.value, 150);
    r = GenericHelper::timeRangeForSpeed(1, kCMTimeRangeInvalid, 10.0f);
    EXPECT_EQ(CMTimeCompare(r.start, kCMTimeZero), 0);
    EXPECT_EQ(r.duration.value, 141); // 14.142135 s to the nearest tenth
    r = GenericHelper::timeRangeForSpeed(0, kCMTimeRangeInvalid, 40.0f);
    EXPECT_EQ(r.duration.value, 399);
    // Just under 40 s rounds to 40.0 s: still capped.
    r = GenericHelper::timeRangeForSpeed(0, kCMTimeRangeInvalid, 39.95f);
    EXPECT_EQ(r.duration.value, 399);
    r = GenericHelper::timeRangeForSpeed(1, kCMTimeRangeInvalid, 28.25f); // 39.95 s
    EXPECT_EQ(r.duration.value, 399);
}

class FadeEnvelope : public ::testing::Test {
protected:
    void SetUp() override {
        path = home.documents() + QStringLiteral("/tone.wav");
        ASSERT_TRUE(test::writeWav16(path, test::sine(440, 1.0), 44100, 1));
        item = AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path)));
    }
    test::TempHome home;
    QString path;
    std::shared_ptr<AVPlayerItem> item;
};

TEST_F(FadeEnvelope, RampsUpOverTheFadeInAndDownOverTheFadeOut) {
    const CMTimeRange range{kCMTimeZero, CMTimeMakeWithSeconds(20.0, 10)};
    auto mix = GenericHelper::fadeInAndOut(item, 3.0f, 3.0f, range, 0);
    ASSERT_NE(mix, nullptr);
    EXPECT_EQ(item->audioMix(), mix);
    EXPECT_FLOAT_EQ(mix->gainAt(0.0), 0.0f);
    EXPECT_FLOAT_EQ(mix->gainAt(1.5), 0.5f);
    EXPECT_FLOAT_EQ(mix->gainAt(3.0), 1.0f);
    EXPECT_FLOAT_EQ(mix->gainAt(10.0), 1.0f);
    EXPECT_FLOAT_EQ(mix->gainAt(18.5), 0.5f);
    EXPECT_FLOAT_EQ(mix->gainAt(20.0), 0.0f);
}

TEST_F(FadeEnvelope, FadesThatDoNotFitBecomeHalvesOfTheDurationLessOneSecond) {
    for (auto [seconds, expected] : {std::pair{5.0, 2.0}, std::pair{3.0, 1.0}}) {
        const CMTimeRange range{CMTimeMake(100, 10), CMTimeMakeWithSeconds(seconds, 10)};
        auto mix = GenericHelper::fadeInAndOut(item, 3.0f, 3.0f, range, 0);
        ASSERT_NE(mix, nullptr);
        const auto& ramps = mix->inputParameters().front()->ramps();
        ASSERT_EQ(ramps.size(), 3u);
        EXPECT_DOUBLE_EQ(ramps[1].start, 10.0);
        EXPECT_DOUBLE_EQ(ramps[1].duration, expected);
        EXPECT_DOUBLE_EQ(ramps[2].start, 10.0 + seconds - expected);
        EXPECT_DOUBLE_EQ(ramps[2].duration, expected);
    }
}

TEST_F(FadeEnvelope, ASegmentShorterThanASecondGetsNoFades) {
    const CMTimeRange range{kCMTimeZero, CMTimeMakeWithSeconds(0.04, 1000)};
    auto mix = GenericHelper::fadeInAndOut(item, 1.5f, 1.5f, range, 0);
    ASSERT_NE(mix, nullptr);
    for (const auto& ramp : mix->inputParameters().front()->ramps()) EXPECT_GE(ramp.duration, 0.0);
    EXPECT_FLOAT_EQ(mix->gainAt(0.02), 1.0f);
}

TEST_F(FadeEnvelope, NoItemOrNoTracksGivesNoMix) {
    const CMTimeRange range{kCMTimeZero, CMTimeMakeWithSeconds(20.0, 10)};
    EXPECT_EQ(GenericHelper::fadeInAndOut(nullptr, 3, 3, range, 0), nullptr);
    auto missing = AVPlayerItem::playerItemWithAsset(
        AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(home.documents() + QStringLiteral("/none.wav"))));
    EXPECT_EQ(GenericHelper::fadeInAndOut(missing, 3, 3, range, 0), nullptr);
}

TEST(WaveLayout, TheStripScrollsToAnchorTheSegmentsEnd) {
    GenericHelper::setLastStartPoint(135.0f);
    WaveLayout layout = GenericHelper::slideRangeOnWave(20.0f, 25.0f);
    EXPECT_FLOAT_EQ(float(layout.visibleRect.x()), 33.75f);
    EXPECT_EQ(layout.visibleRect.size(), QSizeF(290, 79));
    EXPECT_EQ(layout.rangeFrame, QRectF(135, 0, 168.75, 81));
    EXPECT_EQ(layout.cursorFrame, QRectF(135, 0, 3, 81));
    layout = GenericHelper::slideRangeOnWave(0.0f, 3.0f);
    EXPECT_EQ(layout.visibleRect.x(), 0.0);
    EXPECT_EQ(layout.rangeFrame, QRectF(0, 0, 20.25, 81));
    EXPECT_EQ(GenericHelper::cursorPoint(0.0f, 3.0f), QRectF(0, 0, 3, 81));
}

// Over the song's own waveform the marker sits on the audio it selects: the
// content under its start (scroll offset + x) is the start at 6.75 points a
// second, also where the Part's layout keeps a grown segment unscrolled.
TEST(WaveLayout, OverTheSongTheMarkerIsOverItsAudioAndItsEndNeverPastTheAnchor) {
    struct Case {
        float last, start, length;
    } cases[] = {{135.0f, 20.0f, 25.0f}, {0.0f, 0.0f, 3.0f}, {202.5f, 30.0f, 10.0f}, {0.0f, 177.0f, 3.0f},
                 {50.0f, 600.25f, 39.9f}};
    for (const Case& c : cases) {
        GenericHelper::setLastStartPoint(c.last);
        const WaveLayout layout = GenericHelper::slideRangeOverSong(c.start, c.length);
        EXPECT_NEAR(layout.visibleRect.x() + layout.rangeFrame.x(), c.start * 6.75, 1e-3) << c.start;
        EXPECT_LE(layout.rangeFrame.right(), 270.0 + 1e-3);
        EXPECT_EQ(layout.cursorFrame.x(), layout.rangeFrame.x());
        // The scroll is the Part's; the cursor operations agree with the marker.
        GenericHelper::setLastStartPoint(c.last);
        EXPECT_EQ(layout.visibleRect, GenericHelper::slideRangeOnWave(c.start, c.length).visibleRect);
        GenericHelper::slideRangeOverSong(c.start, c.length);
        EXPECT_EQ(GenericHelper::cursorPoint(c.start, c.length).x(), layout.rangeFrame.x());
    }
}
