#include "screens/ExportViewController.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExportHelper.h"
#include "pipeline/AudioExporterFor3G.h"
#include "pipeline/ProgressValueArray.h"
#include "platform/core/NSTimer.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/store/PersistentStack.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"

#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <thread>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class Finished : public ExportViewControllerFinishDelegate {
public:
    void exportViewControllerDidFinish(ExportViewController*) override { ++calls; }
    int calls = 0;
};

class Cancelled : public ExportViewControllerCancelDelegate {
public:
    void exportWasCancelled(const void*) override { ++calls; }
    int calls = 0;
};

class ExportScreen : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().reload();
        stack = std::make_unique<PersistentStack>(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
        DBHelper::dbHelper().setManagedObjectContext(stack->managedObjectContext());
        ringtune = std::make_shared<Ringtune>(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=7")),
                                              QStringLiteral("Bells"), QStringLiteral("Band"), QImage(8, 8, QImage::Format_RGB32));
        ringtune->setTimeRange(CMTimeRange{kCMTimeZero, CMTimeMakeWithSeconds(1.0, 10)});
        screen = std::make_shared<ExportViewController>();
        screen->setRingtune(ringtune);
        screen->setFinishDelegate(&finished);
        screen->setCanPromptForRating(false);
    }
    void TearDown() override {
        Appirater::waitForPendingCounts();
        UserDefaults::standardUserDefaults().reload();
    }
    // A real ringtone file at the working ringtone's filePath.
    void writeRingtoneFile() {
        const QString wav = home.path() + QStringLiteral("/in.wav");
        ASSERT_TRUE(test::writeWav16(wav, test::sine(440, 1.0), 44100, 1));
        AudioExporterFor3G::sharedInstance().doIt(wav, Ringtune::workFilePath());
        ASSERT_TRUE(QFileInfo(Ringtune::workFilePath()).isFile());
    }
    std::shared_ptr<NSTimer> timerWith(std::any info) {
        return NSTimer::scheduledTimerWithTimeInterval(
            3600, [this](NSTimer* t) { screen->progressTimer(t); }, std::move(info), true);
    }

    test::TempHome home;
    std::unique_ptr<PersistentStack> stack;
    std::shared_ptr<Ringtune> ringtune;
    std::shared_ptr<ExportViewController> screen;
    Finished finished;
};

} // namespace

TEST_F(ExportScreen, TheWritersProgressMovesTheBarAndOnlyOneFinalises) {
    writeRingtoneFile();
    auto values = std::make_shared<ProgressValueArray>();
    auto timer = timerWith(values);
    values->replaceElementZero(0.99f);
    timer->fire();
    EXPECT_FLOAT_EQ(screen->progress(), 0.99f);
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Running);
    EXPECT_TRUE(timer->isValid());

    values->replaceElementZero(1.0f);
    timer->fire();
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Done);
    EXPECT_EQ(screen->labelKey(), QStringLiteral("done"));
    EXPECT_TRUE(screen->isHelpVisible());
    EXPECT_EQ(screen->cancelButtonImage(), QStringLiteral("exit.png"));
    const QString stored = ringtune->storedFilePath().toLocalFile();
    EXPECT_EQ(QFileInfo(stored).fileName(), QStringLiteral("Bells-1.m4r"));
    auto tags = test::runTool(QStringLiteral("exiftool"), {QStringLiteral("-s"), QStringLiteral("-s"), QStringLiteral("-MediaType"), stored});
    EXPECT_TRUE(tags.out.contains(QStringLiteral("MediaType: Ringtone"))) << tags.out.toStdString();
    auto row = test::runTool(QStringLiteral("sqlite3"), {home.documents() + QStringLiteral("/.Quorvel.sqlite"),
                                                        QStringLiteral("SELECT file, title, artist, counter, duration FROM Ringtone;")});
    EXPECT_EQ(row.out.trimmed(), QStringLiteral("Bells-1.m4r|Bells|Band|1|1.0"));
    auto stored_row = DBHelper::dbHelper().loadRingtoneWithNameFromDB(QStringLiteral("Bells-1.m4r"));
    ASSERT_NE(stored_row, nullptr);
    EXPECT_EQ(QImage::fromData(stored_row->image(), "PNG").size(), QSize(8, 8));
    Appirater::waitForPendingCounts();
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(QStringLiteral("kAppiraterSignificantEventCount")), 1);

    // After "done" the cancel button closes at once.
    screen->cancelFinish();
    EXPECT_EQ(finished.calls, 1);
}

TEST_F(ExportScreen, AWriterThatEndsWithoutAFileShowsFailedAndStopsPolling) {
    auto values = std::make_shared<ProgressValueArray>();
    auto timer = timerWith(values);
    values->replaceElementZero(ProgressValueArray::kFailed);
    timer->fire();
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Failed);
    EXPECT_EQ(screen->labelKey(), QStringLiteral("failed"));
    EXPECT_TRUE(ringtune->storedFilePath().isEmpty());
}

// The AAC writer's road as the editor starts it: the writer schedules the
// screen's timer and is its cancel delegate.
TEST_F(ExportScreen, CancellingTheAacWriterSaysCancelledAndItsFailuresSayWhy) {
    const QString wav = home.path() + QStringLiteral("/long.wav");
    ASSERT_TRUE(test::writeWav16(wav, test::sine(440, 120.0), 44100, 1));
    ringtune->setExportURL(QUrl::fromLocalFile(wav));
    ringtune->setTimeRange(kCMTimeRangeInvalid);
    AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
    writer.exportRingtune(ringtune, screen);
    screen->setCancelDelegate(&writer);
    ASSERT_TRUE(test::waitUntil([&] { return screen->progress() > 0.0f; }));
    screen->cancelFinish();
    ASSERT_TRUE(test::waitUntil([&] { return screen->outcome() != ExportViewController::Outcome::Running; }));
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Cancelled);
    EXPECT_EQ(screen->labelKey(), QStringLiteral("cancelled"));
    EXPECT_FALSE(QFileInfo::exists(ringtune->filePath()));

    // A WAV the writer cannot take: the screen gives the writer's own reason.
    const QString stereo = home.path() + QStringLiteral("/stereo.wav");
    ASSERT_TRUE(test::writeWav16(stereo, test::sine(440, 1.0, 48000), 48000, 2));
    ringtune->setExportURL(QUrl::fromLocalFile(stereo));
    auto second = std::make_shared<ExportViewController>();
    second->setRingtune(ringtune);
    writer.exportRingtune(ringtune, second);
    ASSERT_TRUE(test::waitUntil([&] { return second->outcome() != ExportViewController::Outcome::Running; }));
    EXPECT_EQ(second->outcome(), ExportViewController::Outcome::Failed);
    EXPECT_TRUE(second->failureDescription().contains(QStringLiteral("not mono at 44100 Hz"))) << second->failureDescription().toStdString();
    EXPECT_TRUE(second->failureDescription().contains(stereo));
}

TEST_F(ExportScreen, AnExportWhoseFileIsGoneEndsInErrorNotDone) {
    // An earlier export's stored path must not pass for this one's.
    ringtune->setStoredFilePath(QUrl::fromLocalFile(home.documents() + QStringLiteral("/.Quorvel.sqlite")));
    auto values = std::make_shared<ProgressValueArray>();
    auto timer = timerWith(values);
    values->replaceElementZero(1.0f); // the writer says it is done, but no file is there
    timer->fire();
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Error);
    EXPECT_EQ(screen->labelKey(), QStringLiteral("error"));
    EXPECT_TRUE(ringtune->storedFilePath().isEmpty());
    EXPECT_EQ(screen->failureDescription(), Ringtune::workFilePath() + QStringLiteral(" was gone when the ringtone was to be stored"));
}

TEST_F(ExportScreen, AnExportThatCannotStartShowsFailed) {
    // The processed file is gone, and with it any way to make a session.
    ringtune->setExportURL(QUrl());
    int changes = 0;
    QObject::connect(screen.get(), &ExportViewController::changed, [&] { ++changes; });
    AudioExportHelper::sharedInstance().exportRingtune(ringtune, screen);
    ASSERT_TRUE(test::waitUntil([&] { return screen->outcome() != ExportViewController::Outcome::Running; }, 5000))
        << "the screen waits forever";
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Failed);
    EXPECT_EQ(screen->labelKey(), QStringLiteral("failed"));
    EXPECT_FALSE(screen->failureDescription().isEmpty());
    EXPECT_GE(changes, 1);
    EXPECT_TRUE(ringtune->storedFilePath().isEmpty());
}

TEST_F(ExportScreen, CancellingTheWriterFinishesAfterTheDelay) {
    Cancelled cancel;
    screen->setCancelDelegate(&cancel);
    QElapsedTimer clock;
    clock.start();
    screen->cancelFinish();
    EXPECT_EQ(cancel.calls, 1);
    EXPECT_EQ(finished.calls, 0);
    ASSERT_TRUE(test::waitUntil([&] { return finished.calls == 1; }, 5000));
    EXPECT_GE(clock.elapsed(), ExportViewController::kCancelFinishDelayMs - 50);
}

TEST_F(ExportScreen, ThePlatformSessionIsFollowedByObservationAndByTheTimer) {
    // A real export of a short tone, observed as the export screen observes it.
    const QString wav = home.documents() + QStringLiteral("/.processedEffect.wav");
    ASSERT_TRUE(test::writeWav16(wav, test::sine(440, 1.0), 44100, 1));
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(wav)),
                                                                AVAssetExportPresetAppleM4A);
    ASSERT_NE(session, nullptr);
    session->setOutputURL(QUrl::fromLocalFile(Ringtune::workFilePath()));
    session->setOutputFileType(AVFileTypeAppleM4A);
    QStringList labels;
    QObject::connect(screen.get(), &ExportViewController::changed, [&] { labels << screen->labelKey(); });
    session->addStatusObserver([this](AVAssetExportSession* s) { screen->observeValueForKeyPath(QStringLiteral("status"), s); });
    bool done = false;
    session->exportAsynchronouslyWithCompletionHandler([&] { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    test::waitUntil([] { return false; }, 100); // let the handed-over observations run
    EXPECT_TRUE(labels.contains(QStringLiteral("exporting")));
    EXPECT_EQ(screen->exporter(), nullptr); // status 3 seen by observation clears it

    auto timer = timerWith(session);
    timer->fire();
    EXPECT_FLOAT_EQ(screen->progress(), 1.0f);
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Done);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(QFileInfo(ringtune->storedFilePath().toLocalFile()).fileName(), QStringLiteral("Bells-1.m4r"));
}

TEST_F(ExportScreen, LateStatusesNeverLeaveAFinalState) {
    const QString wav = home.documents() + QStringLiteral("/.processedEffect.wav");
    ASSERT_TRUE(test::writeWav16(wav, test::sine(440, 1.0), 44100, 1));
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(wav)),
                                                                AVAssetExportPresetAppleM4A);
    session->setOutputURL(QUrl::fromLocalFile(Ringtune::workFilePath()));
    session->setOutputFileType(AVFileTypeAppleM4A);
    QStringList labels;
    QObject::connect(screen.get(), &ExportViewController::changed, [&] { labels << screen->labelKey(); });
    session->addStatusObserver([this](AVAssetExportSession* s) { screen->observeValueForKeyPath(QStringLiteral("status"), s); });
    std::atomic<bool> done{false};
    session->exportAsynchronouslyWithCompletionHandler([&] { done = true; });
    // The main thread is busy while the whole export runs: the observations
    // wait in its queue, and the timer sees the final status first.
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto timer = timerWith(session);
    timer->fire();
    ASSERT_EQ(screen->outcome(), ExportViewController::Outcome::Done);
    ASSERT_EQ(screen->labelKey(), QStringLiteral("done"));
    labels.clear();
    test::waitUntil([] { return false; }, 200); // now the queued "waiting" and "exporting" arrive
    EXPECT_EQ(screen->labelKey(), QStringLiteral("done"));
    EXPECT_EQ(screen->exporter(), nullptr) << "a finished export is not set as the running one again";
    EXPECT_FALSE(labels.contains(QStringLiteral("exporting"))) << labels.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(labels.contains(QStringLiteral("waiting"))) << labels.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(screen->outcome(), ExportViewController::Outcome::Done);
}

TEST_F(ExportScreen, ACancelledSessionShowsBothSpellingsInTurn) {
    const QString wav = home.documents() + QStringLiteral("/.processedEffect.wav");
    ASSERT_TRUE(test::writeWav16(wav, test::sine(440, 30.0), 44100, 1));
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(wav)),
                                                                AVAssetExportPresetAppleM4A);
    session->setOutputURL(QUrl::fromLocalFile(Ringtune::workFilePath()));
    session->setOutputFileType(AVFileTypeAppleM4A);
    session->addStatusObserver([this](AVAssetExportSession* s) { screen->observeValueForKeyPath(QStringLiteral("status"), s); });
    bool done = false;
    session->exportAsynchronouslyWithCompletionHandler([&] { done = true; });
    session->cancelExport();
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
    test::waitUntil([] { return false; }, 100);
    ASSERT_EQ(session->status(), AVAssetExportSessionStatusCancelled);
    EXPECT_EQ(screen->labelKey(), QStringLiteral("canceled"));
    auto timer = timerWith(session);
    timer->fire();
    EXPECT_EQ(screen->labelKey(), QStringLiteral("cancelled"));
    EXPECT_FALSE(timer->isValid());
    EXPECT_FALSE(QFileInfo::exists(Ringtune::workFilePath()));
}
