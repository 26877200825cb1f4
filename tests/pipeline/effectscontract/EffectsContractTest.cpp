// What the effects run asks of the engine and how it writes what it gets,
// seen through a recording engine.
#include "FakeDirac.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioEffectsHelper.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace quorvel;
using namespace quorvel::test;

namespace {

struct Done : AudioEffectsHelperDelegate {
    int calls = 0;
    void effectsDelegateDidFinishWithURL(const QUrl&) override { ++calls; }
    void effectsDelegateDidFail(const QString& reason) override { ADD_FAILURE() << reason.toStdString(); }
};

class EffectsContract : public ::testing::Test {
protected:
    TempHome home;
    QString in;

    void SetUp() override {
        fakeDirac() = FakeDirac();
        in = home.documents() + QStringLiteral("/in.wav");
        ASSERT_TRUE(writeWav16(in, sine(440, 20000.0 / 44100.0), 44100, 1));
    }

    void run(float speedControl, float semitones, int64_t blocks) {
        fakeDirac().blocksToProduce = blocks;
        auto tune = std::make_shared<Ringtune>(QUrl::fromLocalFile(in), QStringLiteral("t"), QString(), QImage());
        tune->setSpeed(speedControl);
        tune->setPitch(semitones);
        Done done;
        AudioEffectsHelper helper(QUrl::fromLocalFile(in));
        helper.setDelegate(&done);
        helper.startProcess(tune);
        ASSERT_TRUE(waitUntil([&] { return done.calls == 1; }));
    }

    int64_t outputFrames() {
        ToolResult r = runTool(QStringLiteral("soxi"), {QStringLiteral("-s"), home.documents() + QStringLiteral("/.processedEffect.wav")});
        return r.exitCode == 0 ? r.out.trimmed().toLongLong() : -1;
    }
};

} // namespace

TEST_F(EffectsContract, CreationArgumentsAndPropertyOrder) {
    run(1, 1, 10);  // speed 2^(1/2), one semitone up: 1.0595
    const FakeDirac& f = fakeDirac();
    EXPECT_EQ(f.mode, 200);
    EXPECT_EQ(f.quality, 300);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.sampleRate, 44100.0f);
    EXPECT_NE(f.read, nullptr);
    const float speed = std::pow(2.0f, 0.5f), pitch = std::pow(2.0f, 1.0f / 12.0f);
    ASSERT_EQ(f.properties.size(), 4u);
    EXPECT_EQ(f.properties[0].first, 101);
    EXPECT_FLOAT_EQ(float(f.properties[0].second), speed);
    EXPECT_EQ(f.properties[1].first, 100);
    EXPECT_FLOAT_EQ(float(f.properties[1].second), pitch);
    EXPECT_EQ(f.properties[2].first, 102);
    EXPECT_EQ(f.properties[2].second, double(1.0f / float(f.properties[1].second)));
    EXPECT_EQ(f.properties[3], std::make_pair(107L, 1.0));
    EXPECT_TRUE(f.destroyed);
    EXPECT_TRUE(f.sameThread) << "every engine call on the worker thread";
    EXPECT_EQ(f.framesRead, 20000) << "the callback delivers the whole input, and no more";
}

TEST_F(EffectsContract, ConstantCpuShiftOnlyWhenPitchIsAboveOne) {
    for (float semitones : {0.f, -1.f, -12.f}) {
        fakeDirac() = FakeDirac();
        run(0, semitones, 3);
        ASSERT_EQ(fakeDirac().properties.size(), 3u) << semitones;
        for (const auto& p : fakeDirac().properties) EXPECT_NE(p.first, 107) << semitones;
    }
}

TEST_F(EffectsContract, FileHoldsTotalFramesAndDropsTheRest) {
    // speed 2: total = 40000, four whole blocks and a 7,232-frame remainder;
    // the engine goes on for three blocks more, which are dropped.
    run(2, 0, 8);
    EXPECT_EQ(outputFrames(), 40000);
    QFile f(home.documents() + QStringLiteral("/.processedEffect.wav"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray b = f.readAll();
    const qsizetype data = b.indexOf("data") + 8;
    ASSERT_EQ(b.size() - data, 80000);
    for (int64_t i : {int64_t(0), int64_t(8191), int64_t(32768), int64_t(39999)}) {
        int16_t s;
        std::memcpy(&s, b.constData() + data + 2 * i, 2);
        EXPECT_EQ(s, int16_t(FakeDirac::sampleAt(i) * 32768.0f)) << i;
    }
}

TEST_F(EffectsContract, EngineStoppingEarlyEndsTheLoop) {
    // Two blocks of output; the third call returns 0 and its (silent) block
    // is still written, as the loop writes before it tests the result.
    run(2, 0, 2);
    EXPECT_EQ(outputFrames(), 3 * 8192);
}

TEST_F(EffectsContract, EngineThatCannotBeCreatedEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fakeDirac().failCreate = true;
            // The process ends on the worker without the exit handlers and
            // static destructors, which would run under the other threads.
            std::atexit([] { std::_Exit(3); });
            run(2, 0, 1);
        },
        ::testing::ExitedWithCode(255), "");
}
