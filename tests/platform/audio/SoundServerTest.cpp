// Playing and recording through a real sound server: a private PulseAudio
// daemon with a null sink (what reaches it is read back with parec) and a
// sine source (what the microphone hears), reached through SDL's pulseaudio
// driver as on a desktop (PipeWire serves the same protocol through
// pipewire-pulse).
#include "AudioTestSupport.h"
#include "platform/audio/AVAudioPlayer.h"
#include "platform/audio/AVAudioRecorder.h"
#include "platform/audio/AudioOutput.h"
#include "platform/audio/AudioSystem.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

using namespace quorvel;

namespace {

constexpr int kToneHz = 880;

// A PulseAudio daemon of the test's own, on a socket in a temporary folder.
class PulseServer {
public:
    PulseServer() {
        socket_ = dir_.path() + QStringLiteral("/native");
        QFile config(dir_.path() + QStringLiteral("/server.pa"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n"
                                    "load-module module-null-sink sink_name=quorvel_null rate=44100 channels=2\n"
                                    "load-module module-sine-source source_name=quorvel_tone rate=44100 frequency=%2\n"
                                    "set-default-sink quorvel_null\n"
                                    "set-default-source quorvel_tone\n")
                         .arg(socket_)
                         .arg(kToneHz)
                         .toUtf8());
    }
    ~PulseServer() { stop(); }

    bool start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir_.path());
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), dir_.path() + QStringLiteral("/run"));
        env.insert(QStringLiteral("PULSE_STATE_PATH"), dir_.path() + QStringLiteral("/state"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        daemon_.setProcessEnvironment(env);
        daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon_.start(QStringLiteral("pulseaudio"),
                      {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                       QStringLiteral("--disable-shm=yes"), QStringLiteral("--use-pid-file=no"),
                       QStringLiteral("--log-level=error"), QStringLiteral("-F"), dir_.path() + QStringLiteral("/server.pa")});
        if (!daemon_.waitForStarted(10000)) return false;
        return test::waitUntil([this] {
            return test::runTool(QStringLiteral("pactl"), {server(), QStringLiteral("info")}, 5000).exitCode == 0;
        }, 15000);
    }
    void stop() {
        if (daemon_.state() == QProcess::NotRunning) return;
        daemon_.terminate();
        if (!daemon_.waitForFinished(10000)) daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    QString server() const { return QStringLiteral("--server=unix:") + socket_; }
    QString address() const { return QStringLiteral("unix:") + socket_; }
    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

private:
    QTemporaryDir dir_;
    QString socket_;
    QProcess daemon_;
};

// What reaches the null sink, as parec reads it from the sink's monitor.
class SinkRecording {
public:
    SinkRecording(const PulseServer& server, const QString& file) : file_(file) {
        parec_.setStandardOutputFile(file);
        parec_.start(QStringLiteral("parec"),
                     {server.server(), QStringLiteral("--device=quorvel_null.monitor"), QStringLiteral("--raw"),
                      QStringLiteral("--format=float32le"), QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                      QStringLiteral("--latency-msec=20")});
    }
    // Started, and a tenth of a second of the sink's silence already read.
    bool started() {
        return parec_.waitForStarted(5000) &&
               test::waitUntil([this] { return QFileInfo(file_).size() >= 4410 * 8; }, 10000);
    }
    // The left channel of what was heard.
    std::vector<float> stop() {
        parec_.terminate();
        parec_.waitForFinished(5000);
        QFile f(file_);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        std::vector<float> left(size_t(bytes.size()) / (2 * sizeof(float)));
        for (size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], bytes.constData() + i * 8, sizeof(float));
        return left;
    }

private:
    QString file_;
    QProcess parec_;
};

// Sets variables for the fixture's life.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
        qputenv(name, value.toUtf8());
    }
    ~ScopedVariable() {
        if (had_) qputenv(name_, previous_);
        else qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

struct RecordingFinished : AVAudioRecorderDelegate {
    void audioRecorderDidFinishRecording(AVAudioRecorder*, bool ok) override {
        ++calls;
        successfully = ok;
    }
    int calls = 0;
    bool successfully = false;
};

struct Finished : AVAudioPlayerDelegate {
    void audioPlayerDidFinishPlaying(AVAudioPlayer*, bool) override { ++calls; }
    int calls = 0;
};

// A ringtone of a rising tone (no two stretches alike, so only the right
// alignment correlates), and its samples as ffmpeg decodes it. It starts
// with 0.3 s of silence: the first few tens of milliseconds of a stream that
// joins the null sink do not show in the sink's monitor (the sink rewinds to
// mix them in, the monitor has already passed them on).
QString makeRingtone(const QString& path, double seconds) {
    const auto r = test::runTool(QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("aevalsrc=0.5*sin(2*PI*(200+400*t)*t)*gt(t\\,0.3):s=44100:d=%1").arg(seconds), QStringLiteral("-c:a"),
         QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("128k"), QStringLiteral("-f"), QStringLiteral("ipod"),
         QStringLiteral("-y"), path});
    return r.exitCode == 0 ? path : QString();
}

std::vector<float> decoded(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                            QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-ac"),
                                            QStringLiteral("1"), QStringLiteral("-ar"), QStringLiteral("44100"),
                                            QStringLiteral("-")});
    ffmpeg.waitForFinished(60000);
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    std::vector<float> s(size_t(bytes.size()) / sizeof(float));
    std::memcpy(s.data(), bytes.constData(), s.size() * sizeof(float));
    return s;
}

// The best normalised correlation of `reference` with a stretch of `heard`,
// searched around where the sound starts.
double bestCorrelation(const std::vector<float>& heard, const std::vector<float>& reference) {
    long onset = -1;
    for (size_t i = 0; i < heard.size(); ++i)
        if (std::fabs(heard[i]) > 0.02f) {
            onset = long(i);
            break;
        }
    long refOnset = 0;
    while (size_t(refOnset) < reference.size() && std::fabs(reference[size_t(refOnset)]) <= 0.02f) ++refOnset;
    if (onset < 0) return 0;
    double best = 0;
    for (long lag = onset - refOnset - 200; lag <= onset - refOnset + 200; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i < reference.size(); ++i) {
            const long j = lag + long(i);
            const double x = reference[i], y = j >= 0 && size_t(j) < heard.size() ? heard[size_t(j)] : 0.0;
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        if (xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"pulseaudio", "parec", "pactl"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (Debian's pulseaudio and pulseaudio-utils)";
        ASSERT_TRUE(server.start());
        // A comfortable buffer, so that a busy test machine does not underrun
        // (SDL's own period is 12 ms).
        latency.emplace("PULSE_LATENCY_MSEC", QStringLiteral("60"));
        address.emplace("PULSE_SERVER", server.address());
        driver.emplace("SDL_AUDIODRIVER", QStringLiteral("pulseaudio"));
    }
    void TearDown() override {
        AVAudioSession::sharedInstance().setActive(false, nullptr);
        driver.reset();
        address.reset();
        latency.reset();
    }

    // Plays the ringtone to its end; what reached the sink.
    std::vector<float> playAndHear(const QString& ringtone, const QString& name) {
        SinkRecording sink(server, server.path(name));
        EXPECT_TRUE(sink.started());
        NSError error;
        auto player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(ringtone), &error);
        EXPECT_TRUE(player) << error.localizedDescription.toStdString();
        if (!player) return {};
        Finished finished;
        player->setDelegate(&finished);
        EXPECT_TRUE(player->play());
        EXPECT_TRUE(test::waitUntil([&] { return finished.calls > 0; }, 20000));
        test::waitUntil([] { return false; }, 400);
        player->setDelegate(nullptr);
        return sink.stop();
    }

    test::TempHome home;
    PulseServer server;
    std::optional<ScopedVariable> latency, address, driver;
};

} // namespace

TEST_F(SoundServer, APlayedRingtoneReachesTheSinkAsItIs) {
    const QString ringtone = makeRingtone(home.documents() + QStringLiteral("/Rising-1.m4r"), 1.5);
    ASSERT_FALSE(ringtone.isEmpty());
    const std::vector<float> heard = playAndHear(ringtone, QStringLiteral("heard.raw"));
    EXPECT_EQ(AudioSystem::sharedInstance().driverName(), QStringLiteral("pulseaudio"));
    const double correlation = bestCorrelation(heard, decoded(ringtone));
    std::printf("correlation of what reached the null sink with the ringtone: %.6f\n", correlation);
    EXPECT_GT(correlation, 0.99);
}

TEST_F(SoundServer, TheRecorderHearsTheServersSource) {
    const QString path = home.documents() + QStringLiteral("/.tmpRecorded.wav");
    NSError error;
    auto recorder = AVAudioRecorder::initWithURL(QUrl::fromLocalFile(path),
        {{AVFormatIDKey, qulonglong(kAudioFormatLinearPCM)}, {AVSampleRateKey, 44100.0}, {AVNumberOfChannelsKey, 1},
         {AVLinearPCMBitDepthKey, 16}, {AVLinearPCMIsBigEndianKey, false}, {AVLinearPCMIsFloatKey, false}}, &error);
    ASSERT_TRUE(recorder) << error.localizedDescription.toStdString();
    ASSERT_TRUE(AVAudioSession::sharedInstance().inputIsAvailable());
    RecordingFinished finished;
    recorder->setDelegate(&finished);
    ASSERT_TRUE(recorder->recordForDuration(1.5));
    // The file is whole when the delegate hears so (the limit is reached a
    // little before the last of the sound is written).
    ASSERT_TRUE(test::waitUntil([&] { return finished.calls > 0; }, 15000));
    EXPECT_TRUE(finished.successfully);
    recorder->setDelegate(nullptr);

    // The tone's frequency, from the rising zero crossings of the last second
    // (sox's own estimate beside it).
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll().mid(44);
    std::vector<int16_t> s(size_t(bytes.size()) / 2);
    std::memcpy(s.data(), bytes.constData(), s.size() * 2);
    ASSERT_GT(s.size(), size_t(44100 + 4410));
    const size_t from = s.size() - 44100;
    int rising = 0;
    for (size_t i = from + 1; i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0) ++rising;
    std::printf("recorded tone: %d Hz (the source plays %d Hz)\n", rising, kToneHz);
    EXPECT_NEAR(rising, kToneHz, 3);
    const auto sox = test::runTool(QStringLiteral("sox"), {path, QStringLiteral("-n"), QStringLiteral("stat")});
    const QString rough = sox.err.section(QStringLiteral("Rough   frequency:"), 1).section(QLatin1Char('\n'), 0, 0).trimmed();
    EXPECT_NEAR(rough.toDouble(), kToneHz, 10) << sox.err.toStdString();
}

TEST_F(SoundServer, AStoppedServerEndsThePlayingSoundAndAServerBackPlaysAgain) {
    const QString ringtone = makeRingtone(home.documents() + QStringLiteral("/Long-1.m4r"), 6.0);
    ASSERT_FALSE(ringtone.isEmpty());
    int lost = 0;
    const int owner = 0;
    NotificationCenter::defaultCenter().addObserver(&owner, QString::fromLatin1(AudioOutput::kDeviceLostNotification),
                                                    nullptr, [&](const QString&, const void*) { ++lost; });
    NSError error;
    auto player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(ringtone), &error);
    ASSERT_TRUE(player);
    Finished finished;
    player->setDelegate(&finished);
    ASSERT_TRUE(player->play());
    test::waitUntil([] { return false; }, 700);
    server.stop();
    // The player ends long before the six seconds, and the program says why.
    ASSERT_TRUE(test::waitUntil([&] { return finished.calls > 0; }, 4000));
    EXPECT_TRUE(test::waitUntil([&] { return lost == 1; }, 2000));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(AudioOutput::sharedInstance().isOpen());
    player->setDelegate(nullptr);
    NotificationCenter::defaultCenter().removeObserver(&owner, QString::fromLatin1(AudioOutput::kDeviceLostNotification));

    ASSERT_TRUE(server.start());
    const QString shorter = makeRingtone(home.documents() + QStringLiteral("/Again-1.m4r"), 1.5);
    const std::vector<float> heard = playAndHear(shorter, QStringLiteral("again.raw"));
    EXPECT_EQ(AudioSystem::sharedInstance().driverName(), QStringLiteral("pulseaudio"));
    const double correlation = bestCorrelation(heard, decoded(shorter));
    std::printf("correlation after the server came back: %.6f\n", correlation);
    EXPECT_GT(correlation, 0.99);
}
