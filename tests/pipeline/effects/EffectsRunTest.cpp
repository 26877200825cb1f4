// The effects run end to end: input file -> engine -> ".processedEffect.wav",
// checked with sox and by reading the samples back.
#include "SignalMeasures.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioEffectsHelper.h"
#include "platform/core/MainThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <cstring>
#include <memory>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Samples of a 16-bit mono WAVE file, read chunk by chunk; empty when the
// file is not a complete one (data chunk shorter than its header says).
std::vector<float> readWav16(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray b = f.readAll();
    if (b.size() < 12 || !b.startsWith("RIFF")) return {};
    for (qsizetype p = 12; p + 8 <= b.size();) {
        uint32_t size;
        std::memcpy(&size, b.constData() + p + 4, 4);
        if (std::memcmp(b.constData() + p, "data", 4) == 0) {
            if (p + 8 + qsizetype(size) > b.size()) return {};
            std::vector<float> x(size / 2);
            for (size_t i = 0; i < x.size(); ++i) {
                int16_t s;
                std::memcpy(&s, b.constData() + p + 8 + 2 * qsizetype(i), 2);
                x[i] = float(s) / 32768.0f;
            }
            return x;
        }
        p += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

std::vector<int16_t> toPcm(const std::vector<float>& x) {
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) out[i] = int16_t(std::lround(x[i] * 32768.0f));
    return out;
}

struct Recorder : AudioEffectsHelperDelegate {
    int calls = 0;
    bool onMainThread = false;
    QUrl url;
    std::vector<float> samplesAtCall;
    void effectsDelegateDidFinishWithURL(const QUrl& u) override {
        ++calls;
        onMainThread = isMainThread();
        url = u;
        samplesAtCall = readWav16(u.toLocalFile());
    }
    int failures = 0;
    QString reason;
    void effectsDelegateDidFail(const QString& r) override {
        ++failures;
        onMainThread = isMainThread();
        reason = r;
    }
};

class EffectsRun : public ::testing::Test {
protected:
    TempHome home;

    QString input(const std::vector<int16_t>& pcm, const QString& name = QStringLiteral("in.wav")) {
        QString path = home.documents() + QLatin1Char('/') + name;
        EXPECT_TRUE(writeWav16(path, pcm, 44100, 1));
        return path;
    }

    // Runs one effects pass with the editor's control values and waits for
    // the delegate; returns the samples the delegate found in the file.
    std::vector<float> run(const QString& in, float speedControl, float semitones, Recorder* rec = nullptr) {
        Recorder local;
        Recorder& r = rec ? *rec : local;
        auto tune = std::make_shared<Ringtune>(QUrl::fromLocalFile(in), QStringLiteral("t"), QStringLiteral("a"), QImage());
        tune->setSpeed(speedControl);
        tune->setPitch(semitones);
        AudioEffectsHelper helper(QUrl::fromLocalFile(in));
        helper.setDelegate(&r);
        helper.startProcess(tune);
        EXPECT_TRUE(waitUntil([&] { return r.calls + r.failures > 0; }, 60000));
        return r.samplesAtCall;
    }
};

int64_t soxFrames(const QString& path) {
    ToolResult r = runTool(QStringLiteral("soxi"), {QStringLiteral("-s"), path});
    return r.exitCode == 0 ? r.out.trimmed().toLongLong() : -1;
}

QString outputPath(const TempHome& home) { return home.documents() + QStringLiteral("/.processedEffect.wav"); }

} // namespace

TEST_F(EffectsRun, OutputHoldsExactlyTotalFramesForEverySetting) {
    QString in = input(sine(440, 1.0));
    const float controls[] = {-2, -1, 0, 1, 2};
    for (float v : controls) {
        for (float s : {-12.f, -6.f, 0.f, 6.f, 12.f}) {
            Ringtune probe(QUrl(), {}, {}, QImage());
            probe.setSpeed(v);
            auto out = run(in, v, s);
            const int64_t total = int64_t(float(44100) * probe.speed());
            EXPECT_EQ(int64_t(out.size()), total) << "speed " << probe.speed() << " semitones " << s;
            EXPECT_EQ(soxFrames(outputPath(home)), total);
        }
    }
    run(in, 2, 0);
    EXPECT_EQ(soxFrames(outputPath(home)), 88200);
    run(in, -2, 0);
    EXPECT_EQ(soxFrames(outputPath(home)), 22050);
    EXPECT_EQ(probeStreamField(outputPath(home), QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(probeStreamField(outputPath(home), QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_EQ(probeStreamField(outputPath(home), QStringLiteral("codec_name")), QStringLiteral("pcm_s16le"));
}

TEST_F(EffectsRun, PitchLevelAndNoClipping) {
    QString in = input(sine(440, 1.0, 44100, 0.5));
    auto inSamples = readWav16(in);
    const double inDb = rmsDb(inSamples, 11025, 33075);
    struct Case { float speedControl, semitones; double hz; };
    for (Case c : {Case{0, 12, 880}, Case{0, -12, 220}, Case{2, 0, 440}, Case{-2, 0, 440}, Case{1, 0, 440},
                   Case{0, 6, 622.25}, Case{0, -6, 311.13}, Case{2, 12, 880}, Case{-2, -12, 220}, Case{1, -6, 311.13}}) {
        auto out = run(in, c.speedControl, c.semitones);
        ASSERT_FALSE(out.empty());
        const size_t a = out.size() / 4, b = out.size() * 3 / 4;
        EXPECT_NEAR(zeroCrossingFrequency(out, a, b, 44100), c.hz, c.hz * 0.01) << c.speedControl << "/" << c.semitones;
        EXPECT_NEAR(rmsDb(out, a, b), inDb, 1.0) << c.speedControl << "/" << c.semitones;
        // The writer clamps to [-1, 0.999]; a healthy run never gets there.
        size_t clipped = std::count_if(out.begin(), out.end(), [](float v) { return v >= 0.998f || v <= -1.0f; });
        EXPECT_EQ(clipped, 0u) << c.speedControl << "/" << c.semitones;
    }
}

TEST_F(EffectsRun, ClickKeepsItsPlaceScaledBySpeed) {
    std::vector<int16_t> pcm(2 * 44100, 0);
    pcm[44100] = 29000;
    QString in = input(pcm);
    for (float v : {-2.f, 1.f, 2.f}) {
        Ringtune probe(QUrl(), {}, {}, QImage());
        probe.setSpeed(v);
        auto out = run(in, v, 0);
        EXPECT_NEAR(double(clickPosition(out)) / 44100.0, 1.0 * probe.speed(), 0.010) << probe.speed();
    }
}

TEST_F(EffectsRun, UnitFactorsCopyTheInput) {
    std::vector<int16_t> pcm(30011);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t((i * 7919) % 60000 - 30000);
    QString in = input(pcm);
    auto out = run(in, 0, 0);
    ASSERT_EQ(out.size(), pcm.size());
    EXPECT_EQ(toPcm(out), pcm);
}

TEST_F(EffectsRun, DelegateCalledOnceOnMainThreadWithCompleteFile) {
    QString in = input(sine(440, 1.0));
    Recorder rec;
    auto out = run(in, 2, 12, &rec);
    waitUntil([] { return false; }, 300);  // a second call would arrive here
    EXPECT_EQ(rec.calls, 1);
    EXPECT_TRUE(rec.onMainThread);
    EXPECT_EQ(rec.url, QUrl::fromLocalFile(outputPath(home)));
    EXPECT_EQ(out.size(), 88200u) << "the file is complete when the delegate hears of it";
}

TEST_F(EffectsRun, StaleOutputIsDeletedAtCreation) {
    QFile stale(outputPath(home));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("stale");
    stale.close();
    AudioEffectsHelper helper(QUrl::fromLocalFile(home.documents() + QStringLiteral("/in.wav")));
    EXPECT_FALSE(QFile::exists(outputPath(home)));
    EXPECT_EQ(helper.outUrl(), QUrl::fromLocalFile(outputPath(home)));
    EXPECT_EQ(helper.reader(), nullptr) << "no reader outside a run";
}

TEST_F(EffectsRun, GoneDelegateOrObjectIsNotCalledAndRunStillFinishes) {
    QString in = input(sine(440, 1.0));
    auto tune = std::make_shared<Ringtune>(QUrl::fromLocalFile(in), QStringLiteral("t"), QStringLiteral("a"), QImage());
    tune->setSpeed(2);
    {
        auto rec = std::make_unique<Recorder>();
        AudioEffectsHelper helper(QUrl::fromLocalFile(in));
        helper.setDelegate(rec.get());
        helper.startProcess(tune);
        rec.reset();  // the delegate goes first; the object stays
        EXPECT_EQ(helper.delegate(), nullptr);
        EXPECT_TRUE(waitUntil([&] { return soxFrames(outputPath(home)) == 88200; }, 60000));
        waitUntil([] { return false; }, 200);
    }
    Recorder rec;
    {
        AudioEffectsHelper helper(QUrl::fromLocalFile(in));
        helper.setDelegate(&rec);
        helper.startProcess(tune);
    }  // the object goes while its run is going
    EXPECT_TRUE(waitUntil([&] { return soxFrames(outputPath(home)) == 88200; }, 60000));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(rec.calls, 0);
}

TEST_F(EffectsRun, MissingInputGivesAnEmptyFileAndStillReports) {
    Recorder rec;
    auto out = run(home.documents() + QStringLiteral("/missing.wav"), 2, 0, &rec);
    EXPECT_EQ(rec.calls, 1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(soxFrames(outputPath(home)), 0);
}

TEST_F(EffectsRun, OtherRateInputsLastAsLongAfterTheRunAsBefore) {
    // 48,000 frames at 48 kHz are 44,100 frames to the engine: at speed 2 the
    // output holds 88,200, tone to the end, no silence after it; 8,000 frames
    // at 8 kHz are not cut to 8,000 frames at 44,100 Hz.
    QString in = home.documents() + QStringLiteral("/in48.wav");
    ASSERT_TRUE(writeWav16(in, sine(440, 1.0, 48000), 48000, 1));
    auto out = run(in, 2, 0);
    ASSERT_EQ(out.size(), 88200u);
    EXPECT_NEAR(zeroCrossingFrequency(out, 22050, 66150, 44100), 440, 4.4);
    EXPECT_GT(rmsDb(out, 80000, 86000), -20.0);
    in = home.documents() + QStringLiteral("/in8.wav");
    ASSERT_TRUE(writeWav16(in, sine(440, 1.0, 8000), 8000, 1));
    EXPECT_EQ(run(in, 0, 0).size(), 44100u);
}

// Run in a child process by the test below: the file-size limit applies to
// the whole process.
TEST_F(EffectsRun, ChildWritesPastTheFileSizeLimit) {
    const QByteArray in = qgetenv("QUORVEL_FSIZE_CHILD_INPUT");
    if (in.isEmpty()) GTEST_SKIP() << "runs in a child process";
    std::signal(SIGXFSZ, SIG_IGN); // writes past the limit then fail with EFBIG
    rlimit limit{64 * 1024, 64 * 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    Recorder rec;
    run(QString::fromUtf8(in), 2, 0, &rec);
    waitUntil([] { return false; }, 200); // a second call would arrive here
    EXPECT_EQ(rec.calls, 0) << "a short file was handed on as the processed segment";
    EXPECT_EQ(rec.failures, 1);
    EXPECT_TRUE(rec.onMainThread);
    EXPECT_TRUE(rec.reason.contains(QStringLiteral(".processedEffect.wav"))) << rec.reason.toStdString();
    EXPECT_FALSE(QFile::exists(outputPath(home))) << "the short file is left behind";
}

TEST_F(EffectsRun, AFullDiskFailsTheRunAndLeavesNoFile) {
    const QString in = input(sine(440, 3.0)); // 6 s at speed 2: far more than the limit
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_FSIZE_CHILD_INPUT"), in);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=EffectsRun.ChildWritesPastTheFileSizeLimit")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString log = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_EQ(child.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains(QLatin1String("[  PASSED  ] 1 test"))) << log.toStdString();
}
