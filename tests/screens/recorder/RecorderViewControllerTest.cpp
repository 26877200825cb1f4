#include "screens/RecorderViewController.h"
#include "TestSupport.h"
#include "platform/audio/AVAudioSession.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct Delegate : RecorderViewControllerDelegate {
    void recorderViewControllerDidFinish(const QUrl& recording) override { results << recording; }
    QList<QUrl> results;
};

// SDL's disk driver, capturing from a raw file of mono 16-bit samples.
class Recorder : public ::testing::Test {
protected:
    void SetUp() override { useDriver("disk"); }
    void TearDown() override {
        screen.reset();
        AVAudioSession::sharedInstance().setActive(false, nullptr);
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    void useDriver(const char* driver) {
        qputenv("SDL_AUDIODRIVER", driver);
        qputenv("SDL_DISKAUDIOFILE", (home.path() + QStringLiteral("/out.raw")).toUtf8());
        qputenv("SDL_DISKAUDIOFILEIN", (home.path() + QStringLiteral("/in.raw")).toUtf8());
    }
    void setInput(const std::vector<int16_t>& samples) {
        QFile f(home.path() + QStringLiteral("/in.raw"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(samples.data()), qint64(samples.size() * 2));
    }
    void makeScreen() {
        screen = std::make_unique<RecorderViewController>();
        screen->setDelegate(&delegate);
        screen->viewDidLoad();
        screen->viewDidAppear();
    }
    static std::vector<int16_t> wavSamples(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        const qsizetype data = bytes.indexOf("data");
        if (data < 0) return {};
        std::vector<int16_t> s(size_t(bytes.size() - data - 8) / 2);
        std::memcpy(s.data(), bytes.constData() + data + 8, s.size() * 2);
        return s;
    }

    test::TempHome home;
    Delegate delegate;
    std::unique_ptr<RecorderViewController> screen;
};

// A tone that never crosses zero, so recorded silence would show.
std::vector<int16_t> liftedTone(double seconds) {
    std::vector<int16_t> s(size_t(std::llround(seconds * 44100)));
    for (size_t n = 0; n < s.size(); ++n)
        s[n] = int16_t(std::lrint(32767.0 * (0.3 + 0.2 * std::sin(2 * M_PI * 523.0 * double(n) / 44100))));
    return s;
}

} // namespace

TEST_F(Recorder, ARecordingFromTheCaptureDeviceIsHandedBackAsMonoSixteenBitWav) {
    const std::vector<int16_t> input = liftedTone(3.0);
    setInput(input);
    makeScreen();
    ASSERT_NE(screen->recorder(), nullptr);
    EXPECT_EQ(screen->recordedFileUrl().toLocalFile(), home.documents() + QStringLiteral("/.tmpRecorded.wav"));
    EXPECT_EQ(screen->recordButtonImage(), QStringLiteral("bigRecordRed.png"));

    screen->startOrStopRecording();
    EXPECT_EQ(screen->recordButtonImage(), QStringLiteral("bigStopRed.png"));
    EXPECT_EQ(AVAudioSession::sharedInstance().category(), AVAudioSessionCategoryRecord);
    EXPECT_TRUE(rec);
    ASSERT_TRUE(screen->isTimerRunning());
    ASSERT_TRUE(test::waitUntil([&] { return screen->recorder()->currentTime() >= 0.8 && !screen->displayTimeText().isEmpty(); }, 15000));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^00:00\\.[0-9]$")).match(screen->displayTimeText()).hasMatch())
        << screen->displayTimeText().toStdString();
    EXPECT_EQ(screen->displayLabelKey(), QStringLiteral("recording"));
    EXPECT_TRUE(screen->isDisplayLabelRed());

    screen->startOrStopRecording(); // stop
    EXPECT_EQ(screen->recordButtonImage(), QStringLiteral("bigRecordRed.png"));
    ASSERT_TRUE(test::waitUntil([&] { return screen->displayLabelKey() == QStringLiteral("successful_recorded"); }));
    EXPECT_FALSE(screen->isDisplayLabelRed());
    test::waitUntil([&] { return !screen->isTimerRunning(); }, 2000);
    EXPECT_FALSE(screen->isTimerRunning());

    screen->done();
    ASSERT_EQ(delegate.results.size(), 1);
    const QString path = delegate.results[0].toLocalFile();
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral(".tmpRecorded.wav"));
    EXPECT_EQ(test::probeStreamField(path, QStringLiteral("codec_name")), QStringLiteral("pcm_s16le"));
    EXPECT_EQ(test::probeStreamField(path, QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_EQ(test::probeStreamField(path, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    const std::vector<int16_t> recorded = wavSamples(path);
    ASSERT_GE(recorded.size(), size_t(0.8 * 44100));
    EXPECT_EQ(test::probeStreamField(path, QStringLiteral("duration_ts")), QString::number(recorded.size()));
    for (size_t i = 0; i < recorded.size() && i < input.size(); ++i) ASSERT_EQ(recorded[i], input[i]) << i;
}

TEST_F(Recorder, TheTimerRestoresTheIdleImageOnceTheRecorderHasStoppedByItself) {
    setInput(liftedTone(2.0));
    makeScreen();
    screen->startOrStopRecording();
    ASSERT_TRUE(screen->recorder()->isRecording());
    screen->recorder()->stop(); // as the limit or the platform stops it
    EXPECT_EQ(screen->recordButtonImage(), QStringLiteral("bigStopRed.png"));
    screen->recordingTimer();
    EXPECT_EQ(screen->recordButtonImage(), QStringLiteral("bigRecordRed.png"));
    EXPECT_FALSE(screen->isTimerRunning());
}

TEST_F(Recorder, DoneReturnsAFileOnlyAfterARecordingStartedSinceTheScreenAppeared) {
    setInput(liftedTone(2.0));
    makeScreen();
    screen->done();
    screen->startOrStopRecording();
    ASSERT_TRUE(test::waitUntil([&] { return screen->recorder()->currentTime() > 0.2; }, 15000));
    screen->done(); // stops the recording too
    EXPECT_FALSE(screen->recorder()->isRecording());
    screen->viewDidAppear(); // the screen shown again
    screen->done();
    ASSERT_EQ(delegate.results.size(), 3);
    EXPECT_TRUE(delegate.results[0].isEmpty());
    EXPECT_EQ(delegate.results[1], screen->recordedFileUrl());
    EXPECT_TRUE(delegate.results[2].isEmpty());
}

// No driver at all, or SDL's dummy driver chosen (its capture device only hears silence).
TEST_F(Recorder, WithoutAMicrophoneTheButtonStaysIdleSaysSoAndNothingIsReturned) {
    for (const char* driver : {"no-such-driver", "dummy"}) {
        SCOPED_TRACE(driver);
        delegate.results.clear();
        useDriver(driver);
        makeScreen();
        ASSERT_FALSE(AVAudioSession::sharedInstance().inputIsAvailable());
        screen->startOrStopRecording();
        EXPECT_EQ(screen->recordButtonImage(), QStringLiteral("bigRecordRed.png"));
        EXPECT_EQ(screen->displayLabelKey(), QStringLiteral("no_microphone"));
        EXPECT_FALSE(rec);
        EXPECT_FALSE(screen->isTimerRunning());
        EXPECT_FALSE(QFileInfo::exists(screen->recordedFileUrl().toLocalFile()));
        screen->done();
        ASSERT_EQ(delegate.results.size(), 1);
        EXPECT_TRUE(delegate.results[0].isEmpty());
        screen.reset();
    }
}
