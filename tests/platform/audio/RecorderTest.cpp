#include "AudioTestSupport.h"
#include "platform/audio/AVAudioRecorder.h"
#include "platform/audio/RecordingSession.h"
#include "platform/audio/WakeSignal.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/MainThread.h"

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <random>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;

namespace {

QVariantMap partSettings() {
    return {{AVFormatIDKey, qulonglong(kAudioFormatLinearPCM)},
            {AVSampleRateKey, 44100.0},
            {AVNumberOfChannelsKey, 1},
            {AVLinearPCMBitDepthKey, 16},
            {AVLinearPCMIsBigEndianKey, false},
            {AVLinearPCMIsFloatKey, false}};
}

struct RecorderEvents : AVAudioRecorderDelegate {
    void audioRecorderDidFinishRecording(AVAudioRecorder*, bool ok) override {
        ++finished;
        successfully = ok;
        onMain = isMainThread();
    }
    void audioRecorderEncodeErrorDidOccur(AVAudioRecorder*, const NSError&) override { ++errors; }
    void audioRecorderBeginInterruption(AVAudioRecorder*) override { ++interruptions; }
    int finished = 0;
    int errors = 0;
    int interruptions = 0;
    bool successfully = false;
    bool onMain = false;
};

// A pattern that repeats only after 20,000 samples, so any slip shows.
std::vector<int16_t> knownSignal(size_t n) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i) s[i] = int16_t(int(i * 7 % 20000) - 10000);
    return s;
}

// The samples of a 16-bit mono WAV with a 44-byte header.
std::vector<int16_t> wavSamples(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll().mid(44);
    std::vector<int16_t> s(size_t(bytes.size()) / 2);
    std::memcpy(s.data(), bytes.constData(), s.size() * 2);
    return s;
}

QString probe(const QString& path, const QString& field) { return test::probeStreamField(path, field); }

} // namespace

TEST(AVAudioRecorder, RecordsTheCapturedSignalAndStopsByItselfAtTheLimitToTheSample) {
    test::AudioDriver driver;
    const std::vector<int16_t> input = knownSignal(3 * 44100);
    ASSERT_TRUE(driver.setInput(input));
    const QString path = driver.documents() + QStringLiteral("/.tmpRecorded.wav");
    NSError error;
    auto recorder = AVAudioRecorder::initWithURL(QUrl::fromLocalFile(path), partSettings(), &error);
    ASSERT_TRUE(recorder) << error.localizedDescription.toStdString();
    RecorderEvents events;
    recorder->setDelegate(&events);
    ASSERT_TRUE(AVAudioSession::sharedInstance().inputIsAvailable());

    ASSERT_TRUE(recorder->recordForDuration(2.0));
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_FALSE(recorder->recordForDuration(2.0)) << "already recording";
    ASSERT_TRUE(test::waitUntil([&] { return recorder->currentTime() > 0.7; }, 10000));
    // Mid-recording the file already opens, with the length written so far.
    EXPECT_GT(test::probeDuration(path), 0.2);
    ASSERT_TRUE(test::waitUntil([&] { return events.finished > 0; }, 10000));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->currentTime(), 0.0);
    EXPECT_TRUE(events.successfully);
    EXPECT_TRUE(events.onMain);
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(events.finished, 1);
    EXPECT_EQ(events.errors, 0);

    EXPECT_EQ(probe(path, QStringLiteral("codec_name")), QStringLiteral("pcm_s16le"));
    EXPECT_EQ(probe(path, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(probe(path, QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_EQ(probe(path, QStringLiteral("duration_ts")), QStringLiteral("88200"));
    const std::vector<int16_t> recorded = wavSamples(path);
    ASSERT_EQ(recorded.size(), 88200u);
    for (size_t i = 0; i < recorded.size(); ++i) ASSERT_EQ(recorded[i], input[i]) << "sample " << i;

    // A second recording replaces the first.
    ASSERT_TRUE(recorder->recordForDuration(0.5));
    ASSERT_TRUE(test::waitUntil([&] { return events.finished == 2; }, 10000));
    EXPECT_EQ(probe(path, QStringLiteral("duration_ts")), QStringLiteral("22050"));
    EXPECT_EQ(QFileInfo(path).size(), 44 + 22050 * 2);
}

TEST(AVAudioRecorder, StopEndsTheRecordingWithAFileOfWhatWasCaptured) {
    test::AudioDriver driver;
    const std::vector<int16_t> input = knownSignal(2 * 44100);
    ASSERT_TRUE(driver.setInput(input));
    const QString path = driver.documents() + QStringLiteral("/.tmpRecorded.wav");
    auto recorder = AVAudioRecorder::initWithURL(QUrl::fromLocalFile(path), partSettings(), nullptr);
    ASSERT_TRUE(recorder);
    RecorderEvents events;
    recorder->setDelegate(&events);
    ASSERT_TRUE(recorder->recordForDuration(60.0));
    ASSERT_TRUE(test::waitUntil([&] { return recorder->currentTime() >= 0.3; }, 10000));
    recorder->stop();
    EXPECT_FALSE(recorder->isRecording());
    recorder->stop(); // stopping twice tells the delegate once
    ASSERT_TRUE(test::waitUntil([&] { return events.finished == 1; }, 10000));
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(events.finished, 1);

    const std::vector<int16_t> recorded = wavSamples(path);
    ASSERT_GE(recorded.size(), size_t(0.3 * 44100));
    EXPECT_EQ(probe(path, QStringLiteral("duration_ts")), QString::number(recorded.size()));
    for (size_t i = 0; i < recorded.size() && i < input.size(); ++i) ASSERT_EQ(recorded[i], input[i]) << i;
}

TEST(AVAudioRecorder, SettingsOtherThanMonoSixteenBitFortyFourKilohertzAreRefused) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/unused.wav"));
    const std::pair<QString, QVariant> refused[] = {
        {AVFormatIDKey, qulonglong(kAudioFormatMPEG4AAC)}, {AVSampleRateKey, 48000.0},
        {AVNumberOfChannelsKey, 2},                        {AVLinearPCMBitDepthKey, 24},
        {AVLinearPCMIsBigEndianKey, true},                 {AVLinearPCMIsFloatKey, true},
    };
    for (const auto& [key, value] : refused) {
        QVariantMap settings = partSettings();
        settings.insert(key, value);
        NSError error;
        EXPECT_FALSE(AVAudioRecorder::initWithURL(url, settings, &error)) << key.toStdString();
        EXPECT_EQ(error.domain, QStringLiteral("NSOSStatusErrorDomain"));
        EXPECT_EQ(error.code, kAudioFileUnsupportedDataFormatError);
        EXPECT_FALSE(error.userInfo.isEmpty()) << "the log prints the user info";
    }
    NSError error;
    EXPECT_FALSE(AVAudioRecorder::initWithURL(QUrl(QStringLiteral("https://example.org/a.wav")), partSettings(), &error));
    EXPECT_NE(error.code, 0);
    EXPECT_TRUE(AVAudioRecorder::initWithURL(url, partSettings(), nullptr));
}

TEST(AVAudioRecorder, WithoutAnInputNothingStartsAndTheFileIsLeftAlone) {
    test::AudioDriver driver("no-such-driver");
    EXPECT_FALSE(AVAudioSession::sharedInstance().inputIsAvailable());
    const QString path = driver.documents() + QStringLiteral("/.tmpRecorded.wav");
    auto recorder = AVAudioRecorder::initWithURL(QUrl::fromLocalFile(path), partSettings(), nullptr);
    ASSERT_TRUE(recorder);
    EXPECT_FALSE(recorder->recordForDuration(60.0));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(QFileInfo::exists(path));
    recorder->stop();
}

namespace {
// A capture device driven by the test: it feeds the session from a thread of
// its own and can go away.
class TestCaptureDevice : public AudioCaptureDevice {
public:
    bool isLost() const override { return lost; }
    std::atomic<bool> lost{false};
};
} // namespace

TEST(RecordingSession, KeepsExactlyTheLimitAndAGoneDeviceLeavesAValidFileOfWhatCame) {
    test::TempHome home;
    const QString path = home.documents() + QStringLiteral("/limit.wav");
    NSError error;
    auto session = RecordingSession::start(path, 2500, &error);
    ASSERT_TRUE(session);
    const std::vector<int16_t> block = knownSignal(1000);
    std::thread capture([&] {
        for (int i = 0; i < 5; ++i) session->push(block.data(), int(block.size()));
    });
    capture.join();
    EXPECT_TRUE(session->limitReached());
    EXPECT_EQ(session->framesCaptured(), 2500);
    ASSERT_TRUE(session->stop());
    EXPECT_EQ(probe(path, QStringLiteral("duration_ts")), QStringLiteral("2500"));

    const QString cut = home.documents() + QStringLiteral("/cut.wav");
    auto interrupted = RecordingSession::start(cut, 60 * 44100, &error);
    ASSERT_TRUE(interrupted);
    auto device = std::make_unique<TestCaptureDevice>();
    TestCaptureDevice* raw = device.get();
    interrupted->setDevice(std::move(device));
    std::thread feed([&] { interrupted->push(block.data(), int(block.size())); });
    feed.join();
    EXPECT_FALSE(interrupted->isInterrupted());
    raw->lost = true;
    EXPECT_TRUE(interrupted->isInterrupted());
    ASSERT_TRUE(interrupted->stop());
    EXPECT_EQ(probe(cut, QStringLiteral("duration_ts")), QStringLiteral("1000"));
    EXPECT_EQ(wavSamples(cut), block);
}

TEST(RecordingSession, AFileThatCannotBeCreatedIsAnError) {
    test::TempHome home;
    NSError error;
    EXPECT_FALSE(RecordingSession::start(home.path() + QStringLiteral("/no/such/folder/r.wav"), 100, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
}

// The writer's wait must end on a post or at its time-out, however the
// capture's posts fall: a waiter that misses them sleeps for good, and the
// recording never ends.
TEST(WakeSignal, AWaiterKeepsWakingWhilePostsArriveAtAnyMoment) {
    WakeSignal signal;
    std::atomic<bool> stop{false};
    std::atomic<long> wakes{0};
    std::thread waiter([&] {
        while (!stop.load()) {
            signal.wait(20);
            ++wakes;
        }
    });
    std::thread poster([&] {
        std::minstd_rand random(7);
        while (!stop.load()) {
            signal.notify();
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        }
    });
    // A waiter woken every 20 ms at the latest; a whole second without one is
    // a waiter that no longer wakes.
    long longestStill = 0, still = 0, last = -1;
    for (int tick = 0; tick < 60; ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long now = wakes.load();
        still = now == last ? still + 1 : 0;
        longestStill = std::max(longestStill, still);
        last = now;
    }
    stop = true;
    poster.join();
    signal.notify();
    waiter.join();
    EXPECT_LT(longestStill, 20) << wakes.load() << " wakes in 3 s";
}
