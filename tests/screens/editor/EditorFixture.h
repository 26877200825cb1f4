#pragma once
// The editor's presenter with a test player and a view that records what it
// is asked to do, over songs made by the test (mono WAV files).
#include "FakePreviewPlayer.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/MainView.h"
#include "screens/MainViewController.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quorvel::test {

class RecordingView : public MainView {
public:
    void presentScreen(EditorScreen screen) override { presented.push_back(screen); }
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override { exportScreen = screen; }
    void dismissPresentedScreen() override { ++dismissals; }
    void showAlert(const QString& title, const QString& message) override { alerts.push_back({title, message}); }
    void playTickSound() override { ++ticks; }

    std::vector<EditorScreen> presented;
    std::shared_ptr<ExportViewController> exportScreen;
    int dismissals = 0;
    int ticks = 0;
    std::vector<std::pair<QString, QString>> alerts;
};

class EditorFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        songs = new QTemporaryDir;
        emptyDemo = new QTemporaryDir;
        qputenv("QUORVEL_MUSIC", songs->path().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", emptyDemo->path().toUtf8());
        // Long songs at a low rate keep the files small; the length is what counts.
        writeWav16(songPath(QStringLiteral("short.wav")), sine(440, 25.0, 8000), 8000, 1);
        writeWav16(songPath(QStringLiteral("long.wav")), sine(440, 180.0, 8000), 8000, 1);
        writeWav16(songPath(QStringLiteral("tune.wav")), sine(440, 12.0), 44100, 1);
        // A real M4A: a WAV under that name is decoded like a FLAC song, offered as a WAV.
        runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"),
                                           songPath(QStringLiteral("tune.wav")), QStringLiteral("-c:a"), QStringLiteral("aac"),
                                           songPath(QStringLiteral("tune.m4a"))});
        QFile::copy(songPath(QStringLiteral("tune.wav")), songPath(QStringLiteral("locked.m4p")));
        QFile notAudio(songPath(QStringLiteral("words.mp3")));
        if (notAudio.open(QIODevice::WriteOnly)) notAudio.write("Only words, no sound at all.\n");
    }
    static void TearDownTestSuite() {
        delete songs;
        delete emptyDemo;
        songs = emptyDemo = nullptr;
    }
    static QString songPath(const QString& name) { return songs->path() + QLatin1Char('/') + name; }

    void SetUp() override {
        auto owned = std::make_unique<FakePreviewPlayer>();
        player = owned.get();
        presenter = std::make_unique<MainViewController>(true, std::move(owned));
        presenter->setView(&view);
        QObject::connect(presenter.get(), &MainViewController::changed, [this] { ++changes; });
    }

    MPMediaItem song(const QString& name) {
        auto item = MPMediaLibrary::defaultMediaLibrary().addFile(songPath(name));
        EXPECT_TRUE(item.has_value()) << name.toStdString();
        return item ? *item : MPMediaItem();
    }
    // Waits for the song's load to end; true when it loaded.
    bool loaded() {
        EXPECT_TRUE(waitUntil([this] { return !presenter->isLoading(); }));
        return !presenter->songLoadFailed();
    }
    bool pickAndLoad(const QString& name) {
        presenter->mediaPickerDidPickMediaItems({song(name)});
        return loaded();
    }

    TempHome home;
    RecordingView view;
    FakePreviewPlayer* player = nullptr;
    std::unique_ptr<MainViewController> presenter;
    int changes = 0;

    static inline QTemporaryDir* songs = nullptr;
    static inline QTemporaryDir* emptyDemo = nullptr;
};

} // namespace quorvel::test
