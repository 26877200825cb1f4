// The helper's final-ringtone export, followed by an observer as the export
// screen follows it.
#include "../../platform/media/MediaTestSongs.h"
#include "ImportTestLibrary.h"
#include "TestSupport.h"
#include "pipeline/AudioExportHelper.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"
#include "platform/core/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class RecordingObserver : public ExportObserver {
public:
    std::mutex mutex;
    std::vector<int> observed;
    std::atomic<int> ticks{0};
    std::atomic<bool> tickedOffMain{false};
    std::atomic<int> finalStatus{-1};

    void progressTimer(NSTimer* timer) override {
        if (!isMainThread()) tickedOffMain = true;
        ++ticks;
        auto session = std::any_cast<std::shared_ptr<AVAssetExportSession>>(timer->userInfo());
        const int status = session->status();
        if (status >= AVAssetExportSessionStatusCompleted) {
            finalStatus = status;
            timer->invalidate();
        }
    }
    void observeValueForKeyPath(const QString& keyPath, AVAssetExportSession* session) override {
        if (keyPath != QLatin1String("status")) return;
        std::lock_guard lock(mutex);
        observed.push_back(session->status());
    }
    std::atomic<int> notStarted{0};
    std::atomic<bool> notStartedOnMain{false};
    QString reason;
    void exportCouldNotStart(const QString& r) override {
        notStartedOnMain = isMainThread();
        reason = r;
        ++notStarted;
    }
};

std::shared_ptr<AVAudioMix> fades(double start, double length) {
    auto p = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(0);
    p->setVolume(0.0f, kCMTimeZero);
    p->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMakeWithSeconds(start, 10), CMTimeMakeWithSeconds(1.5, 10)));
    p->setVolumeRamp(1.0f, 0.0f,
                     CMTimeRangeMake(CMTimeMakeWithSeconds(start + length - 3.0, 10), CMTimeMakeWithSeconds(3.0, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({p});
    return mix;
}

} // namespace

TEST(FinalExport, WritesTheRingtoneAndReportsToTheObserver) {
    TempHome home;
    // A processed library song: its effective range is invalid, so the stored one is cut.
    auto ringtune = ringtuneFor(QUrl(QStringLiteral("ipod-library://item/item.m4a?id=1")), 30.0, 12.3);
    ringtune->setProcessed(true);
    ASSERT_FALSE(ringtune->timeRange().isValid());
    ringtune->setExportURL(QUrl::fromLocalFile(MediaTestSongs::shared().song(QStringLiteral("m4a"))));
    ringtune->setAudioMixer(fades(30.0, 12.3));
    // A file from an earlier export is replaced.
    QFile old(Ringtune::workFilePath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    auto shared = std::make_shared<RecordingObserver>();
    RecordingObserver& observer = *shared;
    AudioExportHelper::sharedInstance().exportRingtune(ringtune, shared);
    ASSERT_TRUE(waitUntil([&] { return observer.finalStatus.load() >= 0; }));
    EXPECT_EQ(observer.finalStatus.load(), AVAssetExportSessionStatusCompleted);
    EXPECT_FALSE(observer.tickedOffMain.load());
    EXPECT_GE(observer.ticks.load(), 1);
    {
        std::lock_guard lock(observer.mutex);
        ASSERT_FALSE(observer.observed.empty());
        EXPECT_EQ(observer.observed.back(), AVAssetExportSessionStatusCompleted);
    }
    const QString path = Ringtune::workFilePath();
    // Under the hidden work name: "Song.m4r" is never written (the store names the file).
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QLatin1Char('.')));
    EXPECT_FALSE(QFileInfo::exists(Paths::documentPath(QStringLiteral("Song.m4r"))));
    EXPECT_NEAR(probeDuration(path), 12.3, 0.001);
    EXPECT_EQ(probeStreamField(path, QStringLiteral("codec_name")), QStringLiteral("aac"));
}

TEST(FinalExport, WithoutMixOrRangeExportsTheWholeFileUnchanged) {
    TempHome home;
    auto ringtune = ringtuneFor(QUrl(QStringLiteral("ipod-library://item/item.wav?id=1")), 0, 0);
    ringtune->setTitle(QStringLiteral("Whole"));
    ringtune->setExportURL(QUrl::fromLocalFile(MediaTestSongs::shared().tone()));
    auto shared = std::make_shared<RecordingObserver>();
    RecordingObserver& observer = *shared;
    AudioExportHelper::sharedInstance().exportRingtune(ringtune, shared);
    ASSERT_TRUE(waitUntil([&] { return observer.finalStatus.load() >= 0; }));
    EXPECT_EQ(observer.finalStatus.load(), AVAssetExportSessionStatusCompleted);
    EXPECT_NEAR(probeDuration(Ringtune::workFilePath()), 20.0, 0.001);
}

TEST(FinalExport, AFailedExportReachesTheObserver) {
    TempHome home;
    auto ringtune = ringtuneFor(QUrl(QStringLiteral("ipod-library://item/item.wav?id=1")), 0, 3);
    ringtune->setExportURL(QUrl::fromLocalFile(home.path() + QStringLiteral("/gone.wav")));
    auto shared = std::make_shared<RecordingObserver>();
    RecordingObserver& observer = *shared;
    AudioExportHelper::sharedInstance().exportRingtune(ringtune, shared);
    ASSERT_TRUE(waitUntil([&] { return observer.finalStatus.load() >= 0; }));
    EXPECT_EQ(observer.finalStatus.load(), AVAssetExportSessionStatusFailed);
    EXPECT_FALSE(QFileInfo::exists(Ringtune::workFilePath()));
}

TEST(FinalExport, AnExportThatCannotStartTellsTheObserver) {
    TempHome home;
    auto ringtune = ringtuneFor(QUrl(QStringLiteral("ipod-library://item/item.wav?id=1")), 0, 3);
    ASSERT_TRUE(ringtune->exportURL().isEmpty()); // no source: no session can be made
    auto observer = std::make_shared<RecordingObserver>();
    AudioExportHelper::sharedInstance().exportRingtune(ringtune, observer);
    EXPECT_EQ(observer->notStarted.load(), 0) << "told later, once the caller has shown its screen";
    ASSERT_TRUE(waitUntil([&] { return observer->notStarted.load() > 0; }, 5000));
    EXPECT_TRUE(observer->notStartedOnMain.load());
    EXPECT_TRUE(observer->reason.contains(QStringLiteral("AVAssetExportSession"))) << observer->reason.toStdString();
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(observer->notStarted.load(), 1);
    EXPECT_EQ(observer->ticks.load(), 0);
    EXPECT_FALSE(QFileInfo::exists(Ringtune::workFilePath()));
}

TEST(FinalExport, AnObserverThatGoesMidExportIsLeftAlone) {
    TempHome home;
    auto ringtune = ringtuneFor(QUrl(QStringLiteral("ipod-library://item/item.wav?id=1")), 0, 0);
    ringtune->setExportURL(QUrl::fromLocalFile(MediaTestSongs::shared().tone()));
    auto observer = std::make_shared<RecordingObserver>();
    AudioExportHelper::sharedInstance().exportRingtune(ringtune, observer);
    observer.reset(); // the screen is closed while the export runs
    // The export still ends; its file is complete and nothing calls the gone observer.
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(Ringtune::workFilePath()) && probeDuration(Ringtune::workFilePath()) > 19.9; },
                          60000));
    waitUntil([] { return false; }, 500); // timer ticks and status changes would arrive here
}
