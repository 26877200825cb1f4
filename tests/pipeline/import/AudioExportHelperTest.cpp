// The segment export helper's effects input: the work file, the notification
// and what an importer exception does.
#include "pipeline/AudioExportHelper.h"
#include "ImportTestLibrary.h"
#include "TestSupport.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"
#include "platform/core/NotificationCenter.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Counts "assetURLExported" from the helper and remembers whether one came
// from the main thread.
struct ExportedListener {
    std::atomic<int> count{0};
    std::atomic<bool> onMainThread{false};
    NotificationCenter::Token token;
    ExportedListener() {
        token = NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("assetURLExported"), &AudioExportHelper::sharedInstance(), [this](const QString&, const void*) {
                if (isMainThread()) onMainThread = true;
                ++count;
            });
    }
    ~ExportedListener() { NotificationCenter::defaultCenter().removeObserver(token); }
};

} // namespace

TEST(AudioExportHelper, OneInstanceForAllThreads) {
    std::set<const AudioExportHelper*> seen;
    std::mutex m;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            const AudioExportHelper* h = &AudioExportHelper::sharedInstance();
            std::lock_guard lock(m);
            seen.insert(h);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(seen.size(), 1u);
}

TEST(AudioExportHelper, EffectsInputCutsTheSegmentIntoTheWorkFile) {
    TempHome home;
    library();
    auto ringtune = ringtuneFor(libraryURL(QStringLiteral("mp3")), 30.0, 12.3);
    const QString expected = home.documents() + QStringLiteral("/.tmpExport.mp3");
    // A file left from an earlier run is replaced, not kept.
    QFile stale(expected);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("stale");
    stale.close();

    ExportedListener listener;
    AudioExportHelper::sharedInstance().exportRingtuneForEffects(ringtune, QStringLiteral(".tmpExport"));
    EXPECT_EQ(ringtune->effectURL(), QUrl::fromLocalFile(expected));
    EXPECT_EQ(AudioExportHelper::sharedInstance().urlDictionary().value(QStringLiteral("effectsUrl")),
              QUrl::fromLocalFile(expected));
    ASSERT_TRUE(waitUntil([&] { return listener.count.load() > 0; }));
    EXPECT_FALSE(listener.onMainThread.load());
    EXPECT_EQ(listener.count.load(), 1);
    const double d = probeDuration(expected);
    EXPECT_GE(d, 12.3 - 0.001);
    EXPECT_LE(d, 12.3 + 2 * 1152.0 / 44100);
}

TEST(AudioExportHelper, AnImporterExceptionReachesTheCallerAndFailsTheInput) {
    TempHome home;
    ExportedListener listener;
    auto ringtune = ringtuneFor(QUrl::fromLocalFile(QStringLiteral("/nowhere/song.mp3")), 0, 0);
    try {
        AudioExportHelper::sharedInstance().exportRingtuneForEffects(ringtune, QStringLiteral(".tmpExport"));
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
    }
    EXPECT_EQ(listener.count.load(), 1);
    // The helper is still usable afterwards.
    library();
    auto good = ringtuneFor(libraryURL(QStringLiteral("wav")), 1.0, 3.0);
    AudioExportHelper::sharedInstance().exportRingtuneForEffects(good, QStringLiteral(".tmpExport"));
    ASSERT_TRUE(waitUntil([&] { return listener.count.load() == 2; }));
    EXPECT_NEAR(probeDuration(home.documents() + QStringLiteral("/.tmpExport.wav")), 3.0, 1e-4);
}

TEST(AudioExportHelper, ProgressTimerStopsOnceTheImportIsOver) {
    auto importer = TSLibraryImport::create(); // never started: status 0
    auto timer = NSTimer::scheduledTimerWithTimeInterval(
        0.2, [](NSTimer* t) { AudioExportHelper::sharedInstance().progressTimer(t); }, std::any(importer), true);
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(waitUntil([&] { return !timer->isValid(); }, 2000));
}
