// The editor's presenter: picks and recordings make the working ringtone,
// the song loads off the main thread, a preview plays exactly what an export
// writes, and every closed screen reloads the song.
#include "EditorFixture.h"
#include "editor/GenericHelper.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/media/AVAudioMix.h"
#include "platform/store/PersistentStack.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QString rampsOf(const std::shared_ptr<AVAudioMix>& mix) { return mix ? describe(*mix) : QStringLiteral("none"); }

} // namespace

class EditorPresenter : public EditorFixture {
protected:
    void TearDown() override {
        Appirater::waitForPendingCounts();
        UserDefaults::standardUserDefaults().reload();
    }
    void openStore() {
        UserDefaults::standardUserDefaults().reload();
        stack = std::make_unique<PersistentStack>(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
        DBHelper::dbHelper().setManagedObjectContext(stack->managedObjectContext());
    }
    QUrl recording() {
        const QString path = home.documents() + QStringLiteral("/.tmpRecorded.wav");
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(songPath(QStringLiteral("tune.wav")), path));
        return QUrl::fromLocalFile(path);
    }
    // Presses play and waits until the player starts.
    void preview() {
        const int plays = player->plays;
        presenter->playOrPauseMusic();
        ASSERT_TRUE(waitUntil([&] { return player->plays > plays; }));
    }

    std::unique_ptr<PersistentStack> stack;
};

TEST_F(EditorPresenter, APickMakesTheWorkingRingtoneWithTheSlidersPositionsAndLoadsItOffTheMainThread) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    EXPECT_FALSE(presenter->ringtune()->isMP4());
    EXPECT_EQ(presenter->nowPlayingTitle(), QStringLiteral("tune"));
    EXPECT_FALSE(presenter->artwork().isNull());
    EXPECT_EQ(presenter->artwork(), presenter->noArtworkImage());
    presenter->speedValueChanged(1.0f);
    presenter->pitchValueChanged(6.0f);
    presenter->startValueChanged(5.0f);
    const int dismissals = view.dismissals;

    presenter->mediaPickerDidPickMediaItems({song(QStringLiteral("tune.m4a"))});
    EXPECT_EQ(view.dismissals, dismissals + 1);
    const auto& r = presenter->ringtune();
    EXPECT_TRUE(r->isMP4());
    EXPECT_FALSE(r->isRecorded());
    EXPECT_FALSE(r->isProcessed());
    EXPECT_EQ(r->speed(), 1.4142135f);
    EXPECT_EQ(r->speedPosition(), 1.0f);
    EXPECT_EQ(r->pitch(), 1.4142135f);
    // Nothing was read yet: the load completes on a later turn of the event loop.
    EXPECT_TRUE(presenter->isLoading());
    EXPECT_EQ(presenter->controls().start(), 5.0f);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(presenter->controls().start(), 0.0f);
    EXPECT_EQ(presenter->controls().length(), 3.0f);
    EXPECT_EQ(presenter->controls().lengthSlider().maximum, 12.0f);
    ASSERT_NE(player->current, nullptr);
    EXPECT_EQ(player->current->asset()->URL(), r->assetURL());
    EXPECT_FALSE(player->playing);
    // Fades, pitch and speed keep their positions across songs.
    EXPECT_EQ(presenter->controls().speed(), 1.0f);
    EXPECT_EQ(presenter->controls().pitch(), 6.0f);
}

TEST_F(EditorPresenter, AProtectedSongIsRefusedAndThePreviousRingtoneStays) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    const std::shared_ptr<Ringtune> before = presenter->ringtune();
    for (const MPMediaItem& item : {song(QStringLiteral("locked.m4p")), MPMediaItem()}) {
        view.alerts.clear();
        presenter->mediaPickerDidPickMediaItems({item});
        ASSERT_EQ(view.alerts.size(), 1u);
        EXPECT_EQ(view.alerts.front().first, QStringLiteral("DRM"));
        EXPECT_EQ(view.alerts.front().second, NSLocalizedString(QStringLiteral("drm_protected")));
        EXPECT_EQ(presenter->ringtune(), before);
        ASSERT_TRUE(loaded());
    }
    // An empty pick changes nothing but still closes the picker.
    const int dismissals = view.dismissals;
    view.alerts.clear();
    presenter->mediaPickerDidPickMediaItems({});
    EXPECT_EQ(view.dismissals, dismissals + 1);
    EXPECT_TRUE(view.alerts.empty());
    EXPECT_EQ(presenter->ringtune(), before);
}

TEST_F(EditorPresenter, ARecordingIsTitledRecordedAndDatedByItsMoment) {
    presenter->viewDidAppear();
    EXPECT_TRUE(presenter->isStartScreenShown());
    presenter->setClock([] { return QDateTime(QDate(2012, 5, 1), QTime(10, 20, 30), Qt::UTC); });
    // Nothing recorded: the start screen stays.
    presenter->recorderViewControllerDidFinish(QUrl());
    EXPECT_EQ(view.dismissals, 1);
    EXPECT_EQ(presenter->ringtune(), nullptr);
    EXPECT_TRUE(presenter->isStartScreenShown());

    presenter->startViewControllerDidFinish({});
    presenter->recorderViewControllerDidFinish(recording());
    const auto& r = presenter->ringtune();
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(presenter->isStartScreenShown());
    EXPECT_EQ(r->title(), NSLocalizedString(QStringLiteral("recorded")));
    EXPECT_EQ(r->artist(), QStringLiteral("2012-05-01 10:20:30 +0000"));
    EXPECT_EQ(r->fileName(), r->title() + QStringLiteral("-2012-05-01 10_20_30.m4r"));
    EXPECT_TRUE(r->isRecorded());
    EXPECT_FALSE(r->isMP4());
    EXPECT_EQ(r->artwork(), presenter->noArtworkImage());
    EXPECT_EQ(presenter->nowPlayingArtist(), r->artist());
    ASSERT_TRUE(loaded());
    EXPECT_EQ(presenter->controls().lengthSlider().maximum, 12.0f);
}

TEST_F(EditorPresenter, ASongThatCannotBeReadIsToldAndTheEditorStaysUsable) {
    const MPMediaItem words = song(QStringLiteral("words.mp3"));
    ASSERT_FALSE(words.isNull());
    presenter->mediaPickerDidPickMediaItems({words});
    EXPECT_FALSE(loaded());
    ASSERT_EQ(view.alerts.size(), 1u);
    EXPECT_EQ(view.alerts.front().second, NSLocalizedString(QStringLiteral("song_unreadable")));
    EXPECT_TRUE(presenter->areControlsEnabled());
    // A readable pick recovers.
    EXPECT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
}

TEST_F(EditorPresenter, APreviewPlaysWhatTheExportWrites) {
    openStore();
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    presenter->rangeValueChanged(5.0f);
    presenter->startValueChanged(2.0f);
    presenter->fadeInValueChanged(1.5f);
    presenter->fadeOutValueChanged(3.0f);
    presenter->speedValueChanged(1.0f);
    bool noticeShown = false;
    QObject::connect(presenter.get(), &MainViewController::changed,
                     [&] { noticeShown = noticeShown || presenter->isProcessingNoticeShown(); });

    presenter->playOrPauseMusic();
    EXPECT_FALSE(presenter->areControlsEnabled());
    ASSERT_TRUE(waitUntil([&] { return player->plays == 1; }));
    EXPECT_TRUE(noticeShown);
    EXPECT_FALSE(presenter->isProcessingNoticeShown());
    EXPECT_TRUE(presenter->areControlsEnabled());
    const auto& r = presenter->ringtune();
    EXPECT_TRUE(r->isProcessed());
    EXPECT_EQ(QFileInfo(r->exportURL().toLocalFile()).fileName(), QStringLiteral(".processedEffect.wav"));
    const CMTimeRange R = r->realTimeRange();
    EXPECT_EQ(CMTimeCompare(R.start, kCMTimeZero), 0);
    // 5 s x sqrt(2) is 7.1 in tenths; the processed file holds 7.071 s, and so does R.
    EXPECT_EQ(GenericHelper::timeRangeForSpeed(1.0f, kCMTimeRangeInvalid, 5.0f).duration.value, 71);
    EXPECT_NEAR(CMTimeGetSeconds(R.duration), 5.0 * std::sqrt(2.0), 0.001);
    // The player: the processed item with the envelope, from R's start to its end, ticking five times a second.
    ASSERT_NE(player->current, nullptr);
    EXPECT_EQ(player->current, presenter->lastPlayback().item);
    EXPECT_EQ(player->current->asset()->URL(), r->exportURL());
    EXPECT_EQ(player->current->audioMix(), r->audioMixer());
    ASSERT_EQ(player->seeks.size(), 1u);
    EXPECT_EQ(CMTimeCompare(player->seeks.back(), R.start), 0);
    EXPECT_EQ(CMTimeCompare(player->forwardEnd, R.duration), 0);
    EXPECT_EQ(CMTimeCompare(player->periodicInterval, CMTimeMake(1, 5)), 0);
    EXPECT_TRUE(presenter->isPlaying());
    EXPECT_EQ(presenter->playStopButtonImage(), QStringLiteral("stop.png"));
    const QString previewRamps = rampsOf(r->audioMixer());
    EXPECT_FLOAT_EQ(r->audioMixer()->gainAt(0.75), 0.5f);
    EXPECT_NEAR(r->audioMixer()->gainAt(CMTimeGetSeconds(R.duration) - 1.5), 0.5f, 1e-3);

    // The cursor of a song counts from the cut segment: x0 + t x 6.75 / speed.
    player->tick(1.0);
    EXPECT_EQ(presenter->playCurrentTimeText(), QStringLiteral("00:01.0"));
    EXPECT_FLOAT_EQ(float(presenter->cursorFrame().x()), 13.5f + 6.75f / 1.4142135f);
    player->reachEnd();
    EXPECT_FALSE(presenter->isPlaying());
    EXPECT_EQ(presenter->playStopButtonImage(), QStringLiteral("play.png"));
    EXPECT_EQ(presenter->cursorFrame().x(), 13.5);

    // Unchanged: the second press plays at once, without the notice.
    noticeShown = false;
    preview();
    EXPECT_FALSE(noticeShown);
    EXPECT_EQ(CMTimeCompare(player->seeks.back(), kCMTimeZero), 0);
    // Play again stops and puts the cursor back.
    presenter->playOrPauseMusic();
    EXPECT_FALSE(player->playing);
    EXPECT_EQ(presenter->cursorFrame().x(), 13.5);

    // The export cuts and processes again and lands on the same range and envelope.
    presenter->preProcessRingtoneForExport();
    EXPECT_FALSE(r->isProcessed());
    ASSERT_TRUE(waitUntil([&] { return view.exportScreen != nullptr; }));
    EXPECT_TRUE(noticeShown);
    EXPECT_EQ(describe(r->realTimeRange()), describe(R));
    EXPECT_EQ(rampsOf(r->audioMixer()), previewRamps);
    EXPECT_EQ(describe(presenter->lastPlayback().range), describe(R));
    EXPECT_FALSE(presenter->areControlsEnabled());
    ExportViewController& screen = *view.exportScreen;
    ASSERT_TRUE(waitUntil([&] { return screen.outcome() != ExportViewController::Outcome::Running; }, 120000));
    ASSERT_EQ(screen.outcome(), ExportViewController::Outcome::Done) << screen.failureDescription().toStdString();
    EXPECT_NEAR(probeDuration(r->storedFilePath().toLocalFile()), 7.1, 0.06);

    // Leaving the export screen closes it and reloads the song: start 0, length 3.0.
    const int dismissals = view.dismissals;
    screen.cancelFinish();
    EXPECT_EQ(view.dismissals, dismissals + 1);
    EXPECT_TRUE(presenter->isLoading());
    ASSERT_TRUE(loaded());
    EXPECT_EQ(presenter->controls().start(), 0.0f);
    EXPECT_EQ(presenter->controls().length(), 3.0f);
    EXPECT_EQ(presenter->controls().fadeOut(), 3.0f);
    EXPECT_EQ(presenter->controls().speed(), 1.0f);
    EXPECT_TRUE(presenter->areControlsEnabled());
}

TEST_F(EditorPresenter, ARecordingsPreviewAndExportStartAtTheSegmentsStart) {
    openStore();
    presenter->recorderViewControllerDidFinish(recording());
    ASSERT_TRUE(loaded());
    presenter->rangeValueChanged(4.0f);
    presenter->startValueChanged(2.0f);
    preview();
    const auto& r = presenter->ringtune();
    // Unchanged speed and pitch: the preview plays the recording itself.
    EXPECT_EQ(r->exportURL(), r->assetURL());
    const CMTimeRange R = r->realTimeRange();
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(R.start), 2.0);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(R.duration), 4.0);
    EXPECT_EQ(CMTimeCompare(player->seeks.back(), R.start), 0);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(player->forwardEnd), 6.0);
    // The cursor of a recording counts from the whole recording's start.
    player->tick(3.0);
    EXPECT_FLOAT_EQ(float(presenter->cursorFrame().x()), 13.5f + 6.75f);
    EXPECT_EQ(presenter->playCurrentTimeText(), QStringLiteral("00:03.0"));

    presenter->preProcessRingtoneForExport();
    EXPECT_TRUE(r->isProcessed());
    ASSERT_TRUE(waitUntil([&] { return view.exportScreen != nullptr; }));
    EXPECT_EQ(describe(r->realTimeRange()), describe(R));
    EXPECT_EQ(describe(presenter->lastPlayback().range), describe(R));
    ExportViewController& screen = *view.exportScreen;
    ASSERT_TRUE(waitUntil([&] { return screen.outcome() != ExportViewController::Outcome::Running; }, 120000));
    ASSERT_EQ(screen.outcome(), ExportViewController::Outcome::Done) << screen.failureDescription().toStdString();
    EXPECT_NEAR(probeDuration(r->storedFilePath().toLocalFile()), 4.0, 0.06);
}

TEST_F(EditorPresenter, APlayerThatIsNotReadyDoesNotStart) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    player->readiness = PreviewPlayer::Status::Unknown;
    presenter->playOrPauseMusic();
    ASSERT_TRUE(waitUntil([&] { return presenter->lastPlayback().item != nullptr; }));
    EXPECT_EQ(player->plays, 0);
    EXPECT_FALSE(presenter->isPlaying());
    EXPECT_EQ(presenter->playStopButtonImage(), QStringLiteral("play.png"));
    EXPECT_TRUE(presenter->areControlsEnabled());
    // A later press tries again, without processing again.
    player->readiness = PreviewPlayer::Status::ReadyToPlay;
    preview();
    EXPECT_EQ(player->ends.size(), 1u);
    EXPECT_EQ(player->periodic.size(), 1u);
}

// Coming back from help, the list, a cancelled picker or a cancelled recorder
// keeps the segment the user chose (the Part reloaded the song and reset it to
// 0 / 3 s, losing that work); a new song, a recording and a finished export
// still start again at 0 / 3 s.
TEST_F(EditorPresenter, AClosedScreenKeepsTheSegmentAndOnlyANewSourceOrAnExportResetsIt) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    const std::pair<EditorScreen, std::function<void()>> screens[] = {
        {EditorScreen::FileManager, [&] { presenter->fileManagerControllerDidFinish(); }},
        {EditorScreen::Help, [&] { presenter->helpWebViewControllerDidFinish(); }},
        {EditorScreen::MediaPicker, [&] { presenter->mediaPickerDidCancel(); }},
        {EditorScreen::Recorder, [&] { presenter->recorderViewControllerDidFinish(QUrl()); }},
    };
    presenter->rangeValueChanged(10.0f);
    presenter->startValueChanged(50.0f);
    for (const auto& [screen, finish] : screens) {
        SCOPED_TRACE(int(screen));
        switch (screen) {
        case EditorScreen::FileManager: presenter->showFileManager(); break;
        case EditorScreen::Help: presenter->showHelp(); break;
        case EditorScreen::MediaPicker: presenter->showMediaPicker(); break;
        case EditorScreen::Recorder: presenter->startRecorder(); break;
        }
        ASSERT_FALSE(view.presented.empty());
        EXPECT_EQ(view.presented.back(), screen);
        const int dismissals = view.dismissals;
        finish();
        EXPECT_EQ(view.dismissals, dismissals + 1);
        EXPECT_FALSE(presenter->isLoading());
        EXPECT_TRUE(presenter->areControlsEnabled());
        EXPECT_EQ(presenter->controls().start(), 50.0f);
        EXPECT_EQ(presenter->controls().length(), 10.0f);
        EXPECT_EQ(presenter->controls().startText(), QStringLiteral("00:50.0"));
    }

    // A finished export loads the song again from 0 / 3 s.
    presenter->exportViewControllerDidFinish(nullptr);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(presenter->controls().start(), 0.0f);
    EXPECT_EQ(presenter->controls().length(), 3.0f);

    // So does the same song picked again, and a recording.
    presenter->startValueChanged(50.0f);
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    EXPECT_EQ(presenter->controls().start(), 0.0f);
    presenter->startValueChanged(5.0f);
    const QString path = home.documents() + QStringLiteral("/.tmpRecorded.wav");
    ASSERT_TRUE(QFile::copy(songPath(QStringLiteral("tune.wav")), path));
    presenter->recorderViewControllerDidFinish(QUrl::fromLocalFile(path));
    ASSERT_TRUE(loaded());
    EXPECT_EQ(presenter->controls().start(), 0.0f);
    EXPECT_EQ(presenter->controls().length(), 3.0f);
}

// A song that could not be loaded is tried again when the editor reappears.
TEST_F(EditorPresenter, AClosedScreenLoadsASongWhoseLoadFailedAgain) {
    presenter->mediaPickerDidPickMediaItems({song(QStringLiteral("words.mp3"))});
    ASSERT_FALSE(loaded());
    presenter->showHelp();
    presenter->helpWebViewControllerDidFinish();
    EXPECT_TRUE(presenter->isLoading());
    EXPECT_FALSE(loaded());
}

// Moving the start or the length while a preview plays stops it: the old
// segment went on playing under the moved marker.
TEST_F(EditorPresenter, ChangingTheSegmentStopsAPlayingPreview) {
    ASSERT_TRUE(pickAndLoad(QStringLiteral("tune.wav")));
    const std::function<void()> segmentChanges[] = {
        [&] { presenter->startValueChanged(2.0f); }, [&] { presenter->rangeValueChanged(4.0f); },
        [&] { presenter->startForward(); },          [&] { presenter->rangeBackward(); },
        [&] { presenter->startTyped(QStringLiteral("1.5")); },
    };
    for (const auto& change : segmentChanges) {
        preview();
        ASSERT_TRUE(presenter->isPlaying());
        change();
        EXPECT_FALSE(presenter->isPlaying());
        EXPECT_FALSE(player->playing);
        EXPECT_EQ(presenter->playStopButtonImage(), QStringLiteral("play.png"));
        EXPECT_FALSE(presenter->ringtune()->isProcessed());
        EXPECT_EQ(presenter->cursorFrame().x(), presenter->rangeFrame().x());
    }
    // Play then prepares the new segment.
    preview();
    EXPECT_EQ(presenter->ringtune()->realTimeRange().duration.value, 39);
}

TEST_F(EditorPresenter, APresenterGoneBeforeItsSongLoadedIgnoresTheLoad) {
    presenter->mediaPickerDidPickMediaItems({song(QStringLiteral("long.wav"))});
    ASSERT_TRUE(presenter->isLoading());
    const std::weak_ptr<Ringtune> ringtune = presenter->ringtune();
    const QUrl url = presenter->ringtune()->assetURL();
    presenter.reset();
    // The pending load holds nothing of the editor.
    EXPECT_TRUE(ringtune.expired());
    // Another load of the same file: once it has completed, the first one has
    // had its turn on the event loop too (and must not reach the gone presenter).
    auto asset = AVURLAsset::URLAssetWithURL(url);
    bool done = false;
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    QCoreApplication::processEvents();
}

// The export follows the engine's file while the engine writes it; it may end
// first (cancelled, or done with the 39.9 s it needs), and the work files stay
// locked until the engine has finished writing: no other export may take them
// from under it.
TEST_F(EditorPresenter, AnExportEndedBeforeTheEngineKeepsTheWorkFilesUntilTheEngineHasEnded) {
    openStore();
    ASSERT_TRUE(pickAndLoad(QStringLiteral("long.wav")));
    presenter->rangeValueChanged(39.9f);
    presenter->speedValueChanged(2.0f); // 79.8 s to write: the engine runs for a while
    presenter->preProcessRingtoneForExport();
    ASSERT_TRUE(waitUntil([&] { return view.exportScreen != nullptr; }, 60000));
    ExportViewController& screen = *view.exportScreen;
    // The export needs the first 39.9 s only: it may be done before the cancel lands.
    ASSERT_TRUE(waitUntil([&] { return screen.progress() > 0; }, 60000));
    screen.cancelFinish();
    ASSERT_TRUE(waitUntil([&] { return screen.outcome() != ExportViewController::Outcome::Running; }, 60000));
    EXPECT_TRUE(screen.outcome() == ExportViewController::Outcome::Cancelled ||
                screen.outcome() == ExportViewController::Outcome::Done)
        << screen.failureDescription().toStdString();
    // Time for the lock's watch to look (it looks every 200 ms).
    waitUntil([] { return false; }, 250);
    // The WAV writer leaves the data length open until it closes the file.
    const QString processed = Paths::documentPath(QStringLiteral(".processedEffect.wav"));
    auto stillWriting = [&] {
        QFile wav(processed);
        return wav.open(QIODevice::ReadOnly) && wav.read(44).mid(40, 4) == QByteArray(4, char(0xFF));
    };
    if (!stillWriting()) GTEST_SKIP() << "the engine ended before the check";
    EXPECT_TRUE(presenter->flows().holdsWorkFiles());
    // Released once the engine's file is whole.
    ASSERT_TRUE(waitUntil([&] { return !presenter->flows().holdsWorkFiles(); }, 120000));
    EXPECT_FALSE(stillWriting());
    EXPECT_NEAR(probeDuration(processed), 79.8, 0.05);
}
