// The editor with the platform's player and its tick, heard through SDL's
// disk driver: a preview writes the segment's sound and moves the cursor and
// the running time; a step button writes the tick; what a preview plays is
// what the export writes.
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/audio/AVAudioSession.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "screens/AVPreviewPlayer.h"
#include "screens/ExportViewController.h"
#include "screens/MainViewController.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/EditorNavigation.h"
#include "ui/editor/EditorSlider.h"
#include "ui/editor/MainViewWidget.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <numeric>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Keeps the export screen's presenter so that its export runs; presents nothing.
class NoNavigation : public EditorNavigation {
public:
    void presentScreen(EditorScreen) override {}
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override { exportScreen = screen; }
    void dismissPresentedScreen() override {}

    std::shared_ptr<ExportViewController> exportScreen;
};

// Interleaved stereo to mono.
std::vector<float> mono(const std::vector<float>& stereo) {
    std::vector<float> out(stereo.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return out;
}

double pearson(const float* a, const float* b, size_t n) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (size_t i = 0; i < n; ++i) {
        sa += a[i];
        sb += b[i];
        saa += double(a[i]) * a[i];
        sbb += double(b[i]) * b[i];
        sab += double(a[i]) * b[i];
    }
    const double cov = sab - sa * sb / double(n);
    const double va = saa - sa * sa / double(n), vb = sbb - sb * sb / double(n);
    return (va > 0 && vb > 0) ? cov / std::sqrt(va * vb) : 0.0;
}

// The best correlation of `written` against any stretch of `heard` of its
// length: first on 10 ms energy blocks (the heard file has silence around the
// preview), then sample by sample near the best block.
double bestCorrelation(const std::vector<float>& heard, const std::vector<float>& written) {
    constexpr size_t kBlock = 441;
    if (written.size() < 4 * kBlock || heard.size() < written.size()) return 0.0;
    const auto energy = [](const std::vector<float>& x) {
        std::vector<float> e(x.size() / kBlock);
        for (size_t b = 0; b < e.size(); ++b)
            for (size_t i = 0; i < kBlock; ++i) e[b] += x[b * kBlock + i] * x[b * kBlock + i];
        return e;
    };
    const std::vector<float> eh = energy(heard), ew = energy(written);
    size_t bestBlock = 0;
    double best = -1.0;
    for (size_t lag = 0; lag + ew.size() <= eh.size(); ++lag) {
        const double c = pearson(eh.data() + lag, ew.data(), ew.size());
        if (c > best) best = c, bestBlock = lag;
    }
    const long centre = long(bestBlock * kBlock);
    double bestSample = -1.0;
    for (long lag = std::max(0L, centre - long(kBlock)); lag <= centre + long(kBlock); ++lag) {
        if (size_t(lag) + written.size() > heard.size()) break;
        bestSample = std::max(bestSample, pearson(heard.data() + lag, written.data(), written.size()));
    }
    return bestSample;
}

class EditorSound : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("QUORVEL_MUSIC", songs.path().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", songs.path().toUtf8());
        UserDefaults::standardUserDefaults().reload();
        // The driver is read when the device opens: close it first.
        ASSERT_TRUE(waitUntil([] { return AVAudioSession::sharedInstance().setActive(false, nullptr); }, 10000));
        output = home.path() + QStringLiteral("/out.raw");
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", output.toUtf8());
        presenter = std::make_unique<MainViewController>(IsAACHardwareEncoderAvailable(),
                                                         std::make_unique<AVPreviewPlayer>());
        stack.resize(ScreenStack::kWidth, ScreenStack::kHeight);
        screen = new MainViewWidget(*presenter);
        screen->setNavigation(&navigation);
        stack.setRootScreen(screen);
        stack.show();
    }
    void TearDown() override {
        delete screen;
        presenter.reset();
        waitUntil([] { return AVAudioSession::sharedInstance().setActive(false, nullptr); }, 5000);
        qputenv("SDL_AUDIODRIVER", "dummy");
    }

    void pickAndLoad(const QString& path) {
        auto item = MPMediaLibrary::defaultMediaLibrary().addFile(path);
        ASSERT_TRUE(item.has_value());
        presenter->mediaPickerDidPickMediaItems({*item});
        ASSERT_TRUE(waitUntil([this] { return !presenter->isLoading(); }));
        ASSERT_FALSE(presenter->songLoadFailed());
    }
    // What the disk driver wrote (32-bit float, interleaved stereo), after
    // the device has closed.
    std::vector<float> heard() {
        EXPECT_TRUE(waitUntil([] { return AVAudioSession::sharedInstance().setActive(false, nullptr); }, 10000));
        QFile f(output);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        std::vector<float> samples(size_t(bytes.size()) / sizeof(float));
        std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
        return samples;
    }
    static float peak(const std::vector<float>& samples) {
        float top = 0.0f;
        for (float s : samples) top = std::max(top, std::fabs(s));
        return top;
    }
    QString label(const char* name) const { return screen->findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    void setSlider(const char* name, int value) {
        screen->findChild<EditorSlider*>(QString::fromLatin1(name))->setValue(value);
    }

    QTemporaryDir songs;
    TempHome home;
    QString output;
    ScreenStack stack;
    NoNavigation navigation;
    std::unique_ptr<MainViewController> presenter;
    MainViewWidget* screen = nullptr;
};

struct Effects {
    int speed;
    int pitch;
};
void PrintTo(const Effects& e, std::ostream* os) { *os << "speed " << e.speed << ", pitch " << e.pitch; }

// The log of the export road, read by the tests.
QStringList& exportLog() {
    static QStringList lines;
    return lines;
}

class PreviewAgainstExport : public EditorSound, public ::testing::WithParamInterface<Effects> {
protected:
    void SetUp() override {
        EditorSound::SetUp();
        exportLog().clear();
        setLogSink([](const QString& line) { exportLog().push_back(line); });
    }
    void TearDown() override {
        setLogSink(nullptr);
        EditorSound::TearDown();
    }
};

} // namespace

TEST_F(EditorSound, APreviewIsHeardAndMovesTheCursorAndTheRunningTime) {
    const QString song = songs.path() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(writeWav16(song, sine(440, 8.0), 44100, 1));
    pickAndLoad(song);
    EXPECT_EQ(AVAudioSession::sharedInstance().category(), AVAudioSessionCategoryPlayback);
    const int cursorAtRest = screen->findChild<QLabel*>(QStringLiteral("cursorView"))->x();

    screen->findChild<QPushButton*>(QStringLiteral("playStopButton"))->click();
    ASSERT_TRUE(waitUntil([this] { return presenter->isPlaying(); }));
    ASSERT_TRUE(waitUntil([this] { return label("playCurrentTime") >= QStringLiteral("00:01.0"); }))
        << label("playCurrentTime").toStdString();
    EXPECT_GT(screen->findChild<QLabel*>(QStringLiteral("cursorView"))->x(), cursorAtRest);
    // The 3 s segment plays to its end, where the preview stops by itself.
    ASSERT_TRUE(waitUntil([this] { return !presenter->isPlaying(); }));

    const std::vector<float> samples = heard();
    ASSERT_GT(samples.size(), size_t(44100)) << "at least a second was written";
    EXPECT_GT(peak(samples), 0.3f) << "a sine at half scale";
}

TEST_F(EditorSound, AStepButtonTicks) {
    const QString song = songs.path() + QStringLiteral("/quiet.wav");
    ASSERT_TRUE(writeWav16(song, std::vector<int16_t>(44100 * 5, 0), 44100, 1));
    pickAndLoad(song);
    screen->findChild<QPushButton*>(QStringLiteral("startForward"))->click();
    EXPECT_FLOAT_EQ(presenter->controls().start(), 0.1f);
    // heard() waits until the tick has played out (the device closes only then).
    const std::vector<float> samples = heard();
    EXPECT_GT(peak(samples), 0.01f) << "the tick is in what was written";
}

// The preview applies the fades while playing; the export writes them into
// the file (and with effects, both start from the same processed segment).
// A listener must hear the same ringtone in both.
TEST_P(PreviewAgainstExport, ThePreviewSoundsAsTheExportedFile) {
    if (!haveTool(QStringLiteral("ffmpeg"))) GTEST_SKIP() << "ffmpeg";
    PersistentStack store(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
    DBHelper::dbHelper().setManagedObjectContext(store.managedObjectContext());
    // Two tones under a slow, uneven swell: the envelope gives the alignment
    // something to hold on to.
    const QString song = songs.path() + QStringLiteral("/swell.wav");
    std::vector<int16_t> samples(44100 * 12);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / 44100.0;
        const double swell = 0.55 + 0.3 * std::sin(2 * M_PI * 0.7 * t) + 0.1 * std::sin(2 * M_PI * 1.9 * t);
        const double tone = 0.6 * std::sin(2 * M_PI * 330 * t) + 0.3 * std::sin(2 * M_PI * 523 * t);
        samples[i] = int16_t(std::lround(12000 * swell * tone));
    }
    ASSERT_TRUE(writeWav16(song, samples, 44100, 1));
    pickAndLoad(song);
    setSlider("startSlider", 150);
    setSlider("rangeSlider", 600);
    setSlider("fadeInSlider", 150);
    setSlider("fadeOutSlider", 150);
    setSlider("speedSlider", GetParam().speed * 100);
    setSlider("pitchSlider", GetParam().pitch * 100);

    screen->findChild<QPushButton*>(QStringLiteral("playStopButton"))->click();
    ASSERT_TRUE(waitUntil([this] { return presenter->isPlaying(); }, 60000));
    ASSERT_TRUE(waitUntil([this] { return !presenter->isPlaying(); }, 60000));
    const std::vector<float> preview = mono(heard());

    screen->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
    ASSERT_TRUE(waitUntil([this] { return navigation.exportScreen != nullptr; }));
    ExportViewController& exporting = *navigation.exportScreen;
    ASSERT_TRUE(waitUntil([&] { return exporting.outcome() != ExportViewController::Outcome::Running; }, 120000));
    ASSERT_EQ(exporting.outcome(), ExportViewController::Outcome::Done) << exporting.failureDescription().toStdString();
    // With effects the export follows the engine's file while it is written.
    EXPECT_EQ(exportLog().contains(QStringLiteral("export: follows the engine's output")), GetParam().speed != 0)
        << exportLog().join('\n').toStdString();
    const std::vector<float> written = decodedMono(presenter->ringtune()->storedFilePath().toLocalFile());
    ASSERT_GT(written.size(), size_t(44100 * 2));
    ASSERT_GT(preview.size() + 2205, written.size()) << "the whole segment was heard, give or take 50 ms";
    // The device may open and close right around the sound: before and after
    // it a listener hears silence, and the decoder's last frame may run past it.
    std::vector<float> heardWithSilence(4410, 0.0f);
    heardWithSilence.insert(heardWithSilence.end(), preview.begin(), preview.end());
    heardWithSilence.resize(heardWithSilence.size() + 4410, 0.0f);

    const double correlation = bestCorrelation(heardWithSilence, written);
    std::printf("preview against the exported file: correlation %.6f\n", correlation);
    EXPECT_GT(correlation, 0.99);
}

INSTANTIATE_TEST_SUITE_P(Settings, PreviewAgainstExport,
                         ::testing::Values(Effects{0, 0}, Effects{1, 6}),
                         [](const ::testing::TestParamInfo<Effects>& effects) {
                             return effects.param.speed == 0 ? std::string("Plain") : std::string("SpeedAndPitch");
                         });
