// The editor with the platform's player and its tick, heard through SDL's
// disk driver: a preview writes the segment's sound and moves the cursor and
// the running time; a step button writes the tick.
#include "AVAudioSession.h"
#include "AVPreviewPlayer.h"
#include "AudioExporterFor3G.h"
#include "EditorNavigation.h"
#include "MPMediaLibrary.h"
#include "MainViewController.h"
#include "MainViewPresenter.h"
#include "ScreenStack.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class NoNavigation : public EditorNavigation {
public:
    void presentScreen(EditorScreen) override {}
    void presentExportScreen(const std::shared_ptr<ExportViewController>&) override {}
    void dismissPresentedScreen() override {}
};

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
        presenter = std::make_unique<MainViewPresenter>(IsAACHardwareEncoderAvailable(),
                                                        std::make_unique<AVPreviewPlayer>());
        stack.resize(ScreenStack::kWidth, ScreenStack::kHeight);
        screen = new MainViewController(*presenter);
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

    QTemporaryDir songs;
    TempHome home;
    QString output;
    ScreenStack stack;
    NoNavigation navigation;
    std::unique_ptr<MainViewPresenter> presenter;
    MainViewController* screen = nullptr;
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
