// The editor's presenter beyond the Part's controls: typed times, steps that
// land on tenths, the notice for sources shorter than a ringtone, and the
// song's own waveform readied off the main thread and cached.
#include "EditorFixture.h"
#include "editor/GenericHelper.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/media/WaveformCache.h"

#include <QDir>
#include <QFileInfo>

using namespace quorvel;
using namespace quorvel::test;

class SegmentEntry : public EditorFixture {};

TEST_F(SegmentEntry, ThirtyStepsFromZeroShowAndCutThreeSeconds) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    for (int i = 0; i < 30; ++i) presenter->startForward();
    EXPECT_EQ(presenter->controls().start(), 3.0f);
    EXPECT_EQ(presenter->controls().startText(), QStringLiteral("00:03.0"));
    EXPECT_EQ(GenericHelper::playerItemTimeRange(presenter->controls().start(), 3.0f).start.value, 3000);
}

TEST_F(SegmentEntry, TypedTimesApplyThroughTheControlsRulesAndSayWhenALimitTookOver) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav"))); // 180 s
    const EditorControls& c = presenter->controls();

    auto outcome = presenter->startTyped(QStringLiteral("1:23.4"));
    EXPECT_TRUE(outcome.accepted);
    EXPECT_TRUE(outcome.note.isEmpty());
    EXPECT_EQ(c.start(), 83.4f);
    EXPECT_EQ(c.startText(), QStringLiteral("01:23.4"));
    EXPECT_EQ(presenter->rangeFrame(), GenericHelper::slideRangeOnWave(83.4f, 3.0f).rangeFrame);

    outcome = presenter->startTyped(QStringLiteral("2:59"));
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(c.start(), 177.0f); // 180 - 3
    EXPECT_EQ(outcome.note, NSLocalizedString(QStringLiteral("typed_latest_start")));

    outcome = presenter->lengthTyped(QStringLiteral("20"));
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(c.length(), 20.0f);
    EXPECT_EQ(c.start(), 160.0f); // the start follows the new maximum
    outcome = presenter->lengthTyped(QStringLiteral("55"));
    EXPECT_EQ(c.length(), 40.0f);
    EXPECT_EQ(outcome.note, NSLocalizedString(QStringLiteral("typed_longest")));
    outcome = presenter->lengthTyped(QStringLiteral("1.2"));
    EXPECT_EQ(c.length(), 3.0f);
    EXPECT_EQ(outcome.note, NSLocalizedString(QStringLiteral("typed_shortest")));

    // Refused: nothing changes, and the message says why.
    presenter->startTyped(QStringLiteral("10"));
    outcome = presenter->startTyped(QStringLiteral("2:99"));
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.note, NSLocalizedString(QStringLiteral("typed_time_seconds")));
    EXPECT_NE(outcome.note, QStringLiteral("typed_time_seconds")); // the table has a text for it
    EXPECT_EQ(c.start(), 10.0f);
    outcome = presenter->lengthTyped(QStringLiteral("ten"));
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.note, NSLocalizedString(QStringLiteral("typed_time_unreadable")));
    EXPECT_EQ(c.length(), 3.0f);
}

TEST_F(SegmentEntry, ASourceShorterThanARingtoneIsSaidToBeExportedWhole) {
    writeWav16(songPath(QStringLiteral("blip.wav")), sine(440, 2.5), 44100, 1);
    ASSERT_TRUE(pickAndLoad(QStringLiteral("blip.wav")));
    const QString notice = presenter->shortSourceNotice();
    EXPECT_TRUE(notice.contains(QStringLiteral("2.5"))) << notice.toStdString();
    EXPECT_EQ(notice, NSLocalizedString(QStringLiteral("short_song")).arg(QStringLiteral("2.5")));
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    EXPECT_TRUE(presenter->shortSourceNotice().isEmpty());

    const QString path = home.documents() + QStringLiteral("/.tmpRecorded.wav");
    writeWav16(path, sine(440, 0.04), 44100, 1);
    presenter->recorderViewControllerDidFinish(QUrl::fromLocalFile(path));
    ASSERT_TRUE(loaded());
    EXPECT_EQ(presenter->shortSourceNotice(), NSLocalizedString(QStringLiteral("short_recording")).arg(QStringLiteral("0.04")));
}

TEST_F(SegmentEntry, TheSongsWaveformIsReadiedOnAWorkerCachedAndDroppedWhenTurnedOff) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav"))); // 12 s
    EXPECT_EQ(presenter->songWaveform(), nullptr); // off by default: nothing is computed
    EXPECT_FALSE(presenter->waveform().isComputing());
    const QSizeF partSize = presenter->waveContentSize();

    presenter->setSongWaveformShown(true);
    EXPECT_TRUE(presenter->waveform().isComputing());
    EXPECT_EQ(presenter->songWaveform(), nullptr); // the tiles show until it is there
    ASSERT_TRUE(waitUntil([&] { return presenter->songWaveform() != nullptr; }));
    const auto peaks = presenter->songWaveform();
    EXPECT_EQ(peaks->columnCount(), 162); // 12 s at 13.5 columns a second
    EXPECT_NEAR(peaks->peakDecibels(80), 20 * std::log10(0.5), 0.5);
    // Room to scroll the song's end under the marker.
    EXPECT_EQ(presenter->waveContentSize(), partSize + QSizeF(20, 0));

    const QStringList cached = QDir(WaveformCache::directory()).entryList({QStringLiteral("*.peaks")}, QDir::Files);
    ASSERT_EQ(cached.size(), 1);
    EXPECT_LT(QFileInfo(QDir(WaveformCache::directory()).filePath(cached.front())).size(), 400);

    // Off: the peaks go, the Part's strip comes back.
    presenter->setSongWaveformShown(false);
    EXPECT_EQ(presenter->songWaveform(), nullptr);
    EXPECT_EQ(presenter->waveContentSize(), partSize);
    // On again: from the cache, and the same.
    presenter->setSongWaveformShown(true);
    ASSERT_TRUE(waitUntil([&] { return presenter->songWaveform() != nullptr; }));
    EXPECT_EQ(presenter->songWaveform()->toBytes(), peaks->toBytes());
}

TEST_F(SegmentEntry, ANewPickCancelsTheWaveformOfTheSongBefore) {
    presenter->setSongWaveformShown(true);
    presenter->mediaPickerDidPickMediaItems({song(QStringLiteral("long.wav"))});
    ASSERT_TRUE(loaded());
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    ASSERT_TRUE(waitUntil([&] { return presenter->songWaveform() != nullptr; }));
    // The peaks are the new song's, and stay so once the old job has ended.
    EXPECT_EQ(presenter->songWaveform()->columnCount(), 162);
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(presenter->songWaveform()->columnCount(), 162);
}

// Over the waveform the marker sits on the audio it selects, the scroll is the Part's.
TEST_F(SegmentEntry, OverTheWaveformTheMarkerIsOverItsAudio) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    presenter->setSongWaveformShown(true);
    presenter->startValueChanged(20.0f);
    presenter->rangeValueChanged(20.0f);
    presenter->rangeValueChanged(25.0f);
    EXPECT_NEAR(presenter->visibleRect().x() + presenter->rangeFrame().x(), 20.0 * 6.75, 1e-3);
    EXPECT_NEAR(presenter->rangeFrame().right(), 270.0, 1e-3);
    presenter->startValueChanged(177.0f);
    presenter->rangeValueChanged(3.0f);
    EXPECT_NEAR(presenter->visibleRect().x() + presenter->rangeFrame().x(), presenter->controls().start() * 6.75, 1e-3);
    EXPECT_LE(presenter->visibleRect().right(), presenter->waveContentSize().width() + 1e-3);
}
