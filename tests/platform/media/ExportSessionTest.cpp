// The export session's contract: status sequence, completion, cancellation,
// failures that leave no file, and the AppleM4A preset's mix and format.
#include "AudioCompare.h"
#include "MediaTestSongs.h"
#include "TestSupport.h"
#include "platform/core/MainThread.h"
#include "platform/media/AVAssetExportSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// One session, watched: every status the observers saw, and the completions.
struct Watched {
    std::shared_ptr<AVAssetExportSession> session;
    std::mutex mutex;
    std::vector<int> statuses;
    std::atomic<int> completions{0};
    std::atomic<bool> observerOnMain{false};

    Watched(const QString& source, const QString& preset, const QString& output, const QString& fileType) {
        session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(source)),
                                                               preset);
        session->setOutputURL(QUrl::fromLocalFile(output));
        session->setOutputFileType(fileType);
        session->addStatusObserver([this](AVAssetExportSession* s) {
            if (isMainThread()) observerOnMain = true;
            std::lock_guard lock(mutex);
            statuses.push_back(s->status());
        });
    }
    void start() {
        session->exportAsynchronouslyWithCompletionHandler([this] { ++completions; });
    }
    bool finish() {
        const bool done = waitFor([this] { return completions.load() > 0; });
        session.reset(); // the completion was the worker's last call on it
        return done;
    }
};

CMTimeRange seconds(double start, double duration) {
    return CMTimeRangeMake(CMTimeMakeWithSeconds(start, 1000), CMTimeMakeWithSeconds(duration, 1000));
}

} // namespace

TEST(ExportSession, RejectsUnknownPresetsAndMissingAssets) {
    auto asset = AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(MediaTestSongs::shared().tone()));
    EXPECT_EQ(AVAssetExportSession::exportSessionWithAsset(asset, QStringLiteral("AVAssetExportPresetHighestQuality")),
              nullptr);
    EXPECT_EQ(AVAssetExportSession::exportSessionWithAsset(nullptr, AVAssetExportPresetAppleM4A), nullptr);
    auto session = AVAssetExportSession::exportSessionWithAsset(asset, AVAssetExportPresetAppleM4A);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->status(), AVAssetExportSessionStatusUnknown);
    EXPECT_EQ(session->progress(), 0.0f);
}

TEST(ExportSession, AppleM4AAppliesTheFadesSampleBySample) {
    TempHome home;
    const QString out = home.documents() + QStringLiteral("/Tone.m4r");
    Watched w(MediaTestSongs::shared().tone(), AVAssetExportPresetAppleM4A, out, AVFileTypeAppleM4A);
    auto params = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(0);
    params->setVolume(0.0f, kCMTimeZero);
    params->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMake(0, 10), CMTimeMake(30, 10)));
    params->setVolumeRamp(1.0f, 0.0f, CMTimeRangeMake(CMTimeMake(170, 10), CMTimeMake(30, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({params});
    w.session->setAudioMix(mix);
    w.session->setTimeRange(seconds(0.0, 20.0));
    w.start();
    float progressSeen = 0;
    while (w.completions.load() == 0) progressSeen = std::max(progressSeen, w.session->progress());
    ASSERT_TRUE(w.finish());
    EXPECT_EQ(w.statuses, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(w.observerOnMain.load());
    EXPECT_EQ(w.completions.load(), 1);

    EXPECT_EQ(probeStreamField(out, QStringLiteral("codec_name")), QStringLiteral("aac"));
    EXPECT_EQ(probeStreamField(out, QStringLiteral("profile")), QStringLiteral("LC"));
    EXPECT_EQ(probeStreamField(out, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(probeStreamField(out, QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_NEAR(probeDuration(out), 20.0, 0.001);
    const double bitRate = probeStreamField(out, QStringLiteral("bit_rate")).toDouble();
    EXPECT_GT(bitRate, 0.0);
    EXPECT_LE(bitRate, 128000 * 1.05);

    // Measure the level in 20 ms windows against the ramps; the tone is at 0.5.
    // The decoder skips the priming; it keeps the last frame's padding, so
    // only the first 20 s are the export's.
    std::vector<float> pcm = decodeMono(out);
    ASSERT_GE(pcm.size(), size_t(20 * 44100));
    ASSERT_LE(pcm.size(), size_t(20 * 44100 + 1024));
    pcm.resize(20 * 44100);
    const int window = 882;
    double worst = 0;
    for (size_t w0 = 0; w0 + window <= pcm.size(); w0 += window) {
        double sum = 0;
        for (int i = 0; i < window; ++i) sum += double(pcm[w0 + i]) * pcm[w0 + i];
        const double level = std::sqrt(2.0 * sum / window) / 0.5;
        // RMS of a linear ramp over the window: close to its value at the centre.
        const double t = (double(w0) + window / 2.0) / 44100.0;
        const double expected = t < 3.0 ? t / 3.0 : t > 17.0 ? (20.0 - t) / 3.0 : 1.0;
        worst = std::max(worst, std::fabs(level - expected));
    }
    EXPECT_LT(worst, 0.01);
    double head = 0;
    for (int i = 0; i < 441; ++i) head = std::max(head, double(std::fabs(pcm[size_t(i)])));
    EXPECT_LT(head, 0.5 * 0.01); // silent start
    double tail = 0;
    for (size_t i = pcm.size() - 441; i < pcm.size(); ++i) tail = std::max(tail, double(std::fabs(pcm[i])));
    EXPECT_LT(tail, 0.5 * 0.01); // silent end
}

TEST(ExportSession, AppleM4AKeepsStereoAndCutsToTheSample) {
    TempHome home;
    const QString out = home.documents() + QStringLiteral("/Cut.m4r");
    Watched w(MediaTestSongs::shared().song(QStringLiteral("mp3")), AVAssetExportPresetAppleM4A, out, AVFileTypeAppleM4A);
    w.session->setTimeRange(seconds(30.0, 12.3));
    w.start();
    ASSERT_TRUE(w.finish());
    ASSERT_EQ(w.statuses.back(), AVAssetExportSessionStatusCompleted);
    EXPECT_EQ(probeStreamField(out, QStringLiteral("channels")), QStringLiteral("2"));
    EXPECT_NEAR(probeDuration(out), 12.3, 0.001);
    const double bitRate = probeStreamField(out, QStringLiteral("bit_rate")).toDouble();
    EXPECT_GT(bitRate, 256000 * 0.5);
    EXPECT_LE(bitRate, 256000 * 1.05);
}

TEST(ExportSession, CancellingStopsPromptlyAndLeavesNoFile) {
    TempHome home;
    const QString out = home.documents() + QStringLiteral("/Cancelled.m4r");
    Watched w(MediaTestSongs::shared().song(QStringLiteral("wav")), AVAssetExportPresetAppleM4A, out, AVFileTypeAppleM4A);
    w.start();
    ASSERT_TRUE(waitFor([&] { return w.session->progress() > 0.05f || w.completions.load() > 0; }));
    ASSERT_EQ(w.completions.load(), 0) << "the export ended before it could be cancelled";
    w.session->cancelExport();
    ASSERT_TRUE(w.finish());
    EXPECT_EQ(w.statuses, (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(w.completions.load(), 1);
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST(ExportSession, FailuresEndWithStatusFourAndNoFile) {
    TempHome home;
    // A source that cannot be read.
    {
        const QString out = home.documents() + QStringLiteral("/a.m4r");
        Watched w(home.path() + QStringLiteral("/missing.mp3"), AVAssetExportPresetAppleM4A, out, AVFileTypeAppleM4A);
        w.start();
        ASSERT_TRUE(w.finish());
        EXPECT_EQ(w.statuses.back(), AVAssetExportSessionStatusFailed);
        EXPECT_FALSE(QFileInfo::exists(out));
    }
    // A folder that cannot be written, for both presets.
    // Permission bits do not stop root; sysfs refuses new files to everyone.
    QString locked = home.path() + QStringLiteral("/locked");
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (geteuid() == 0) locked = QStringLiteral("/sys");
    for (const QString& preset : {AVAssetExportPresetAppleM4A, AVAssetExportPresetPassthrough}) {
        SCOPED_TRACE(preset.toStdString());
        const QString out = locked + QStringLiteral("/b.m4a");
        auto* w = new Watched(MediaTestSongs::shared().song(QStringLiteral("m4a")), preset, out, AVFileTypeAppleM4A);
        w->start();
        ASSERT_TRUE(w->finish());
        EXPECT_EQ(w->statuses.back(), AVAssetExportSessionStatusFailed);
        EXPECT_EQ(w->completions.load(), 1);
        delete w;
        EXPECT_FALSE(QFileInfo::exists(out));
    }
    QFile::setPermissions(home.path() + QStringLiteral("/locked"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // A file already at the output is neither replaced nor removed.
    {
        const QString out = home.documents() + QStringLiteral("/c.m4r");
        QFile existing(out);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("mine");
        existing.close();
        Watched w(MediaTestSongs::shared().tone(), AVAssetExportPresetAppleM4A, out, AVFileTypeAppleM4A);
        w.start();
        ASSERT_TRUE(w.finish());
        EXPECT_EQ(w.statuses.back(), AVAssetExportSessionStatusFailed);
        EXPECT_EQ(QFileInfo(out).size(), 4);
    }
}

// Run in a child process by the test below: the file-size limit applies to
// the whole process.
TEST(ExportSession, ChildWritesPastTheFileSizeLimit) {
    const QByteArray out = qgetenv("QUORVEL_FSIZE_CHILD_OUTPUT");
    if (out.isEmpty()) GTEST_SKIP() << "runs in a child process";
    std::signal(SIGXFSZ, SIG_IGN); // writes past the limit then fail with EFBIG
    rlimit limit{64 * 1024, 64 * 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const QString path = QString::fromUtf8(out);
    const bool passthrough = path.endsWith(QLatin1String(".wav"));
    Watched w(MediaTestSongs::shared().song(QStringLiteral("wav")),
              passthrough ? AVAssetExportPresetPassthrough : AVAssetExportPresetAppleM4A, path,
              passthrough ? AVFileTypeWAVE : AVFileTypeAppleM4A);
    w.start();
    ASSERT_TRUE(w.finish());
    EXPECT_EQ(w.statuses.back(), AVAssetExportSessionStatusFailed);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(ExportSession, AFullDiskEndsWithStatusFourAndNoFile) {
    TempHome home;
    MediaTestSongs::shared().song(QStringLiteral("wav")); // made before the limit applies
    for (const char* name : {"/full.m4r", "/full.wav"}) {
        SCOPED_TRACE(name);
        const QString out = home.documents() + QLatin1String(name);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVEL_FSIZE_CHILD_OUTPUT"), out);
        env.insert(QStringLiteral("QUORVEL_TEST_SONGS"), MediaTestSongs::shared().folder());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=ExportSession.ChildWritesPastTheFileSizeLimit")});
        ASSERT_TRUE(child.waitForFinished(120000));
        const QString log = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_EQ(child.exitCode(), 0) << log.toStdString();
        EXPECT_TRUE(log.contains(QLatin1String("[  PASSED  ] 1 test"))) << log.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}
