// The song's waveform: peaks per strip column from the decoded song, checked
// against ffmpeg's own decode of the same file; the stored form and the cache;
// a new job cancels the one before.
#include "platform/media/WaveformPeaks.h"
#include "TestSupport.h"
#include "platform/media/WaveformCache.h"
#include "platform/media/WaveformLoader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

double decibels(float v) { return v > 0 ? 20.0 * std::log10(double(v)) : -200.0; }

class WaveformPeaksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        // Loud tone 0-10 s, silence 10-20 s, the tone again 20-30 s, as an MP3.
        song = dir->filePath(QStringLiteral("quiet-middle.mp3"));
        const ToolResult made = runTool(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
             QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("aevalsrc=0.8*sin(2*PI*440*t)*(lt(t\\,10)+gte(t\\,20)):s=44100:d=30"),
             QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("192k"), song});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        // ffmpeg's own decode of it, mono float samples.
        reference = new std::vector<float>;
        const QString raw = dir->filePath(QStringLiteral("decoded.f32"));
        const ToolResult decoded = runTool(QStringLiteral("ffmpeg"),
                                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                            QStringLiteral("-i"), song, QStringLiteral("-f"), QStringLiteral("f32le"),
                                            QStringLiteral("-ac"), QStringLiteral("1"), raw});
        ASSERT_EQ(decoded.exitCode, 0) << decoded.err.toStdString();
        QFile f(raw);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        reference->resize(size_t(bytes.size()) / sizeof(float));
        std::memcpy(reference->data(), bytes.constData(), reference->size() * sizeof(float));
    }
    static void TearDownTestSuite() {
        delete reference;
        delete dir;
    }
    // The peak of column `c` in ffmpeg's decode, in dBFS.
    static double referencePeak(int c) {
        const auto first = size_t(std::floor(c * 44100.0 / WaveformPeaks::kColumnsPerSecond));
        const auto last = std::min(reference->size(), size_t(std::floor((c + 1) * 44100.0 / WaveformPeaks::kColumnsPerSecond)));
        float peak = 0;
        for (size_t i = first; i < last; ++i) peak = std::max(peak, std::fabs((*reference)[i]));
        return decibels(peak);
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QString song;
    static inline std::vector<float>* reference = nullptr;
    TempHome home;
};

} // namespace

TEST_F(WaveformPeaksTest, ColumnsFollowTheSongAndAgreeWithFfmpegsDecode) {
    QString error;
    const auto peaks = WaveformPeaks::compute(song, nullptr, &error);
    ASSERT_TRUE(peaks.has_value()) << error.toStdString();
    EXPECT_EQ(peaks->columnCount(), int(std::ceil(double(reference->size()) * 13.5 / 44100.0)));
    EXPECT_NEAR(peaks->seconds(), double(reference->size()) / 44100.0, 1e-6);
    const double tonePeak = decibels(0.8f);
    for (int c = 0; c < peaks->columnCount(); ++c) {
        const double seconds = c / WaveformPeaks::kColumnsPerSecond;
        SCOPED_TRACE(seconds);
        const double ours = peaks->peakDecibels(c);
        // Away from the edges of the silence (an MP3 frame smears them).
        if (seconds > 10.2 && seconds < 19.8) {
            EXPECT_LT(ours, -60.0);
        }
        if ((seconds > 0.2 && seconds < 9.8) || (seconds > 20.2 && seconds < 29.8)) {
            EXPECT_NEAR(ours, tonePeak, 1.0);
        }
        const double theirs = referencePeak(c);
        if (theirs > -60.0) EXPECT_NEAR(ours, theirs, 1.0);
        else EXPECT_LT(ours, -59.0);
        EXPECT_LE(peaks->minimum(c), peaks->maximum(c));
    }
}

TEST_F(WaveformPeaksTest, ChannelsAreMixedDownToTheirMean) {
    // Left: the tone at half scale; right: silence. The mean peaks 6 dB lower.
    std::vector<int16_t> left = sine(1000, 2.0, 44100, 0.5), stereo;
    for (int16_t v : left) stereo.insert(stereo.end(), {v, int16_t(0)});
    const QString path = dir->filePath(QStringLiteral("left.wav"));
    ASSERT_TRUE(writeWav16(path, stereo, 44100, 2));
    const auto peaks = WaveformPeaks::compute(path, nullptr, nullptr);
    ASSERT_TRUE(peaks.has_value());
    EXPECT_EQ(peaks->columnCount(), 27);
    EXPECT_NEAR(peaks->peakDecibels(10), decibels(0.25f), 0.4);
    EXPECT_NEAR(peaks->minimum(10), -0.25f, 0.25f * 0.05f);
}

TEST_F(WaveformPeaksTest, TheStoredFormIsSmallAndADamagedOneIsRefused) {
    const auto peaks = WaveformPeaks::compute(song, nullptr, nullptr);
    ASSERT_TRUE(peaks.has_value());
    const QByteArray bytes = peaks->toBytes();
    EXPECT_LT(bytes.size(), 1000); // 30 s: 405 columns of two bytes
    const auto back = WaveformPeaks::fromBytes(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->toBytes(), bytes);
    EXPECT_FALSE(WaveformPeaks::fromBytes(bytes.left(bytes.size() - 1)).has_value());
    EXPECT_FALSE(WaveformPeaks::fromBytes(QByteArray(20, 'x')).has_value());
    EXPECT_FALSE(WaveformPeaks::fromBytes(QByteArray()).has_value());
    // Values keep their sign and their level to 0.375 dB; below -94.5 dBFS is silence.
    for (float v : {1.0f, -1.0f, 0.8f, -0.001f, 3e-5f}) {
        const float kept = WaveformPeaks::level(WaveformPeaks::code(v));
        EXPECT_EQ(kept < 0, v < 0) << v;
        EXPECT_NEAR(decibels(std::fabs(kept)), decibels(std::fabs(v)), 0.376) << v;
    }
    EXPECT_EQ(WaveformPeaks::code(1e-6f), 0);
    EXPECT_EQ(WaveformPeaks::code(2.0f), WaveformPeaks::kLevels);
}

TEST_F(WaveformPeaksTest, AFileThatIsNoSongGivesAReason) {
    const QString path = dir->filePath(QStringLiteral("words.mp3"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no sound here\n");
    f.close();
    QString error;
    EXPECT_FALSE(WaveformPeaks::compute(path, nullptr, &error).has_value());
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    std::atomic<bool> cancel{true};
    error = QStringLiteral("x");
    EXPECT_FALSE(WaveformPeaks::compute(song, &cancel, &error).has_value());
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(WaveformPeaksTest, TheCacheKeepsOneFilePerSongUnderTheCacheFolder) {
    const auto peaks = WaveformPeaks::compute(song, nullptr, nullptr);
    ASSERT_TRUE(peaks.has_value());
    EXPECT_TRUE(WaveformCache::directory().startsWith(home.path()));
    EXPECT_FALSE(WaveformCache::load(7, 1000).has_value());
    ASSERT_TRUE(WaveformCache::store(7, 1000, *peaks));
    ASSERT_TRUE(WaveformCache::store(77, 1000, *peaks));
    ASSERT_TRUE(WaveformCache::load(7, 1000).has_value());
    EXPECT_EQ(WaveformCache::load(7, 1000)->toBytes(), peaks->toBytes());
    // The song changed: its new peaks replace the old ones, another song's stay.
    ASSERT_TRUE(WaveformCache::store(7, 2000, *peaks));
    EXPECT_FALSE(WaveformCache::load(7, 1000).has_value());
    EXPECT_TRUE(WaveformCache::load(7, 2000).has_value());
    EXPECT_TRUE(WaveformCache::load(77, 1000).has_value());
    const QStringList all = QDir(WaveformCache::directory()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(all.size(), 2) << all.join(QLatin1Char(' ')).toStdString(); // no work files left
    // A damaged file counts as none.
    QFile damaged(WaveformCache::pathFor(77, 1000));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("QPK1");
    damaged.close();
    EXPECT_FALSE(WaveformCache::load(77, 1000).has_value());
}

TEST_F(WaveformPeaksTest, ANewJobCancelsTheOneBeforeAndOnlyItReports) {
    std::vector<int> reported;
    std::shared_ptr<const WaveformPeaks> last;
    {
        WaveformLoader loader;
        loader.start({song, 1, 1}, [&](auto, const QString&) { reported.push_back(1); });
        loader.start({song, 2, 1}, [&](auto peaks, const QString&) {
            reported.push_back(2);
            last = peaks;
        });
        EXPECT_TRUE(loader.isRunning());
        ASSERT_TRUE(waitUntil([&] { return !reported.empty(); }));
        EXPECT_FALSE(loader.isRunning());
        // A job started and dropped with the loader never reports.
        loader.start({song, 3, 1}, [&](auto, const QString&) { reported.push_back(3); });
    }
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(reported, std::vector<int>{2});
    ASSERT_NE(last, nullptr);
    EXPECT_GT(last->columnCount(), 400);
    // The finished job cached its peaks; the cancelled one stored nothing.
    EXPECT_TRUE(WaveformCache::load(2, 1).has_value());
    EXPECT_FALSE(WaveformCache::load(1, 1).has_value());
}
