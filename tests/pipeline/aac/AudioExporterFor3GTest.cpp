#include "pipeline/AudioExporterFor3G.h"
#include "../../platform/aac/MusicSignal.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/core/NSTimer.h"
#include "platform/core/Paths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

std::vector<int16_t> toPcm16(const std::vector<float>& v) {
    std::vector<int16_t> out(v.size());
    for (size_t i = 0; i < v.size(); ++i) out[i] = int16_t(std::lround(v[i] * 32767.0f));
    return out;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Decodes a file to mono floats with ffmpeg.
std::vector<float> decode(const QString& path, const QString& scratch) {
    if (runTool("ffmpeg", {"-v", "error", "-y", "-i", path, "-f", "f32le", "-ac", "1", scratch}).exitCode != 0) return {};
    const QByteArray b = readAll(scratch);
    std::vector<float> out(size_t(b.size()) / 4);
    std::memcpy(out.data(), b.constData(), out.size() * 4);
    return out;
}

// The best normalised correlation of b against a over lags in [-maxLag, maxLag].
double alignedCorrelation(const std::vector<float>& a, const std::vector<float>& b, int maxLag) {
    double best = -1;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            long j = long(i) + lag;
            if (j < 0 || j >= long(b.size())) continue;
            ab += double(a[i]) * b[size_t(j)];
            aa += double(a[i]) * a[i];
            bb += double(b[size_t(j)]) * b[size_t(j)];
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

bool writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

std::shared_ptr<Ringtune> ringtuneFor(const QString& wavPath, const QString& title) {
    auto r = std::make_shared<Ringtune>(QUrl::fromLocalFile(wavPath), title, QStringLiteral("Artist"), QImage());
    r->setExportURL(QUrl::fromLocalFile(wavPath));
    return r;
}

class Observer : public ExportObserver {
public:
    void progressTimer(NSTimer* timer) override {
        auto progress = std::any_cast<std::shared_ptr<ProgressValueArray>>(timer->userInfo());
        const float value = progress->elementZero();
        ++ticks;
        if (value >= 1.0f || value < 0.0f) {
            last = value;
            timer->invalidate(); // as the export screen does once it has finalised
        }
    }
    void observeValueForKeyPath(const QString&, AVAssetExportSession*) override {}
    void exportCouldNotStart(const QString&) override { ++notStarted; }
    int notStarted = 0;
    int ticks = 0;
    float last = 0;
};

class AudioExporterFor3GTest : public ::testing::Test {
protected:
    TempHome home;
    AudioExporterFor3G& exporter = AudioExporterFor3G::sharedInstance();
    QString wav(const QString& name, const std::vector<int16_t>& samples) {
        QString path = Paths::documentPath(name);
        EXPECT_TRUE(writeWav16(path, samples, 44100, 1));
        return path;
    }
};

} // namespace

TEST_F(AudioExporterFor3GTest, WritesAnAacLcRingtoneAsLongAsTheWavThatSoundsLikeIt) {
    const std::vector<float> music = musicLike(2 * 44100 + 12345);
    const QString in = wav(".processedEffect.wav", toPcm16(music));
    const QString out = Paths::documentPath("Song.m4r");
    exporter.doIt(in, out);
    EXPECT_EQ(exporter.progressValueArray()->elementZero(), 1.0f);
    EXPECT_EQ(probeStreamField(out, "codec_name"), "aac");
    EXPECT_EQ(probeStreamField(out, "profile"), "LC");
    EXPECT_EQ(probeStreamField(out, "sample_rate"), "44100");
    EXPECT_EQ(probeStreamField(out, "channels"), "1");
    EXPECT_NEAR(probeDuration(out), probeDuration(in), 0.001);

    std::vector<float> decoded = decode(out, Paths::documentPath("decoded.raw"));
    ASSERT_FALSE(decoded.empty());
    EXPECT_GE(alignedCorrelation(music, decoded, 64), 0.95);
}

TEST_F(AudioExporterFor3GTest, AJobReplacesAStaleFileAndReportsCompletionOnlyAfterClosing) {
    const QString in = wav(".processedEffect.wav", toPcm16(musicLike(6 * 44100)));
    auto ringtune = ringtuneFor(in, QStringLiteral("Tune"));
    const QString out = Ringtune::workFilePath();
    ASSERT_TRUE(writeText(out, "stale contents of an earlier export"));
    auto shared = std::make_shared<Observer>();
    Observer& observer = *shared;
    auto progress = exporter.progressValueArray();
    std::atomic<bool> watching{true};
    std::atomic<float> highestWhileRunning{0.0f};
    std::atomic<bool> completeTooEarly{false};
    exporter.exportRingtune(ringtune, shared);
    std::thread watcher([&] {
        while (watching) {
            const float value = progress->elementZero();
            const bool running = exporter.isRunning(); // read after the value: 1.0 comes after the job ends
            if (running && value >= 1.0f) completeTooEarly = true;
            if (running && value > highestWhileRunning) highestWhileRunning = value;
        }
    });
    ASSERT_TRUE(waitUntil([&] { return observer.last != 0.0f; }, 60000));
    exporter.waitUntilFinished();
    watching = false;
    watcher.join();
    EXPECT_EQ(observer.last, 1.0f);
    EXPECT_GT(observer.ticks, 0);
    EXPECT_FALSE(completeTooEarly);
    EXPECT_LT(highestWhileRunning.load(), 1.0f);
    EXPECT_GT(highestWhileRunning.load(), 0.0f); // the watcher saw the job progress
    EXPECT_FALSE(exporter.isRunning());
    EXPECT_NEAR(probeDuration(out), 6.0, 0.001);
}

TEST_F(AudioExporterFor3GTest, AnEmptyLastDataChunkGivesACompleteEmptyFile) {
    const QString in = wav("empty.wav", {});
    const QString out = Paths::documentPath("Empty.m4r");
    exporter.doIt(in, out);
    EXPECT_EQ(exporter.progressValueArray()->elementZero(), 1.0f);
    ASSERT_TRUE(QFileInfo::exists(out));
    EXPECT_NEAR(probeDuration(out), 0.0, 0.001); // ffprobe reads it as a whole file
    ToolResult r = runTool("ffprobe", {"-v", "error", out});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.trimmed().isEmpty()) << r.err.toStdString();
}

TEST_F(AudioExporterFor3GTest, CancellingStopsTheJobAndLeavesNoFile) {
    const QString in = wav(".processedEffect.wav", toPcm16(musicLike(40 * 44100)));
    auto ringtune = ringtuneFor(in, QStringLiteral("Cancelled"));
    auto shared = std::make_shared<Observer>();
    Observer& observer = *shared;
    exporter.exportRingtune(ringtune, shared);
    auto progress = exporter.progressValueArray();
    ASSERT_TRUE(waitUntil([&] { return progress->elementZero() > 0.01f; }, 60000));
    QElapsedTimer clock;
    clock.start();
    exporter.exportWasCancelled(nullptr);
    exporter.waitUntilFinished();
    std::printf("cancelled job ended %lld ms after the cancel\n", (long long)clock.elapsed());
    EXPECT_FALSE(exporter.isRunning());
    EXPECT_TRUE(progress->hasFailed());
    EXPECT_FALSE(QFileInfo::exists(Ringtune::workFilePath()));
    ASSERT_TRUE(waitUntil([&] { return observer.last != 0.0f; }, 5000));
    EXPECT_LT(observer.last, 0.0f); // the screen can tell a failure from progress
}

TEST_F(AudioExporterFor3GTest, SetupFailuresSayWhichStepFailedAndLeaveNoFile) {
    // A stale work file goes; a file of the ringtone's own name is not the writer's and stays.
    const QString out = Ringtune::workFilePath();
    ASSERT_TRUE(writeText(out, "stale"));
    const QString users = Paths::documentPath("Broken.m4r");
    ASSERT_TRUE(writeText(users, "the user's"));
    testing::internal::CaptureStdout();
    exporter.convertIt(ringtuneFor(Paths::documentPath("missing.wav"), QStringLiteral("Broken")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wav_open_read failed\n");
    EXPECT_TRUE(exporter.progressValueArray()->hasFailed());
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_TRUE(QFileInfo::exists(users));

    const QString in = wav("ok.wav", toPcm16(musicLike(1000)));
    testing::internal::CaptureStdout();
    exporter.doIt(in, Paths::documentPath("no/such/folder/x.m4r"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "MP4Create failed\n");
    EXPECT_TRUE(exporter.progressValueArray()->hasFailed());
    // The step is the reason the export screen shows, with the file it concerns.
    EXPECT_EQ(exporter.lastFailure(), QStringLiteral("MP4Create failed (%1)").arg(Paths::documentPath("no/such/folder/x.m4r")));

    // A file that is not a WAV fails at the same step.
    const QString text = Paths::documentPath("text.wav");
    ASSERT_TRUE(writeText(text, "RIFF but not really"));
    testing::internal::CaptureStdout();
    exporter.doIt(text, out);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wav_open_read failed\n");
    EXPECT_FALSE(QFileInfo::exists(out));

    // Stereo or another rate would come out at the wrong speed: refused.
    const QString stereo = Paths::documentPath("stereo48.wav");
    ASSERT_TRUE(writeWav16(stereo, std::vector<int16_t>(9600, 1000), 48000, 2));
    testing::internal::CaptureStdout();
    exporter.doIt(stereo, out);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "the WAV file is not mono at 44100 Hz (2 channels at 48000 Hz)\n");
    EXPECT_TRUE(exporter.progressValueArray()->hasFailed());
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_F(AudioExporterFor3GTest, TaggingMarksARingtoneAndKeepsEarlierTags) {
    if (!haveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    const QString in = wav("in.wav", toPcm16(musicLike(44100)));
    const QString plain = Paths::documentPath("plain.m4r"), stored = Paths::documentPath("Stored-1.m4r");
    exporter.doIt(in, plain);
    ASSERT_EQ(runTool("ffmpeg", {"-v", "error", "-y", "-i", plain, "-c", "copy", "-metadata", "title=My Tune",
                                 "-metadata", "artist=The Band", "-f", "ipod", stored}).exitCode, 0);
    AudioExporterFor3G::editMediaTypeTag(stored);
    ToolResult r = runTool("exiftool", {"-s", "-s", "-Title", "-Artist", "-Comment", "-MediaType", stored});
    EXPECT_TRUE(r.out.contains("Title: My Tune")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Artist: The Band")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Comment: brought to you by ... me!")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("MediaType: Ringtone")) << r.out.toStdString();
    EXPECT_NEAR(probeDuration(stored), 1.0, 0.001);

    const QString text = Paths::documentPath("notes.m4r");
    ASSERT_TRUE(writeText(text, "plain words"));
    testing::internal::CaptureStdout();
    AudioExporterFor3G::editMediaTypeTag(text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "MP4Modify failed\n");
    EXPECT_EQ(readAll(text), QByteArray("plain words"));
}

TEST(AudioExporterFor3G, ChannelMapAndHardwareProbe) {
    EXPECT_TRUE(AudioExporterFor3G::channelMap(1).empty());
    EXPECT_TRUE(AudioExporterFor3G::channelMap(2).empty());
    EXPECT_EQ(AudioExporterFor3G::channelMap(3), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(AudioExporterFor3G::channelMap(4), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_EQ(AudioExporterFor3G::channelMap(6), (std::vector<int>{2, 0, 1, 4, 5, 3}));

    qunsetenv("QUORVEL_NO_HARDWARE_AAC");
    EXPECT_TRUE(IsAACHardwareEncoderAvailable());
    qputenv("QUORVEL_NO_HARDWARE_AAC", "1");
    EXPECT_FALSE(IsAACHardwareEncoderAvailable());
    qunsetenv("QUORVEL_NO_HARDWARE_AAC");
    EXPECT_EQ(&AudioExporterFor3G::sharedInstance(), &AudioExporterFor3G::sharedInstance());
}
