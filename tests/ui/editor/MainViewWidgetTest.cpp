// The editor screen drawn from its presenter: sliders and step buttons move
// the labels and the marker, the processing notice shows only while the
// segment is being prepared, and exports made from the screen land in the
// store as ringtones.
#include "ui/editor/MainViewWidget.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/store/PersistentStack.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"
#include "screens/ExportViewController.h"
#include "screens/MainViewController.h"
#include "ui/common/AlertView.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/EditorNavigation.h"
#include "ui/editor/EditorSlider.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class RecordingNavigation : public EditorNavigation {
public:
    void presentScreen(EditorScreen screen) override { presented.push_back(screen); }
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override { exportScreen = screen; }
    void dismissPresentedScreen() override { ++dismissals; }

    std::vector<EditorScreen> presented;
    std::shared_ptr<ExportViewController> exportScreen;
    int dismissals = 0;
};

class EditorScreenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        songs = new QTemporaryDir;
        emptyDemo = new QTemporaryDir;
        qputenv("QUORVEL_MUSIC", songs->path().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", emptyDemo->path().toUtf8());
        writeWav16(songPath(QStringLiteral("tune.wav")), sine(440, 12.0), 44100, 1);
        writeWav16(songPath(QStringLiteral("long.wav")), sine(330, 45.0, 22050), 22050, 1);
    }
    static void TearDownTestSuite() {
        delete songs;
        delete emptyDemo;
        songs = emptyDemo = nullptr;
    }
    static QString songPath(const QString& name) { return songs->path() + QLatin1Char('/') + name; }

    void SetUp() override {
        UserDefaults::standardUserDefaults().reload();
        presenter = std::make_unique<MainViewController>(IsAACHardwareEncoderAvailable());
        stack.resize(ScreenStack::kWidth, ScreenStack::kHeight);
        screen = new MainViewWidget(*presenter);
        screen->setNavigation(&navigation);
        stack.setRootScreen(screen);
        stack.show();
        // Runs after the screen has drawn each change.
        QObject::connect(presenter.get(), &MainViewController::changed, screen,
                         [this] { noticeSeen = noticeSeen || screen->processingNotice() != nullptr; });
    }
    void TearDown() override {
        delete screen;
        presenter.reset();
        Appirater::waitForPendingCounts();
    }

    template <class T> T* find(const char* name) const {
        T* widget = screen->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }

    void pickAndLoad(const QString& path) {
        auto item = MPMediaLibrary::defaultMediaLibrary().addFile(path);
        ASSERT_TRUE(item.has_value());
        presenter->mediaPickerDidPickMediaItems({*item});
        ASSERT_TRUE(waitUntil([this] { return !presenter->isLoading(); }));
        ASSERT_FALSE(presenter->songLoadFailed());
    }
    // Presses play and waits until the preview has been prepared.
    void pressPlay() {
        find<QPushButton>("playStopButton")->click();
        ASSERT_TRUE(waitUntil([this] { return presenter->areControlsEnabled(); }));
    }
    void openStore() {
        store = std::make_unique<PersistentStack>(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
        DBHelper::dbHelper().setManagedObjectContext(store->managedObjectContext());
    }
    // Presses export and waits for the stored file.
    QString exportRingtone() {
        find<QPushButton>("exportButton")->click();
        EXPECT_TRUE(waitUntil([this] { return navigation.exportScreen != nullptr; }));
        if (!navigation.exportScreen) return {};
        ExportViewController& exporting = *navigation.exportScreen;
        EXPECT_TRUE(waitUntil([&] { return exporting.outcome() != ExportViewController::Outcome::Running; }, 120000));
        EXPECT_EQ(exporting.outcome(), ExportViewController::Outcome::Done)
            << exporting.failureDescription().toStdString();
        EXPECT_EQ(screen->processingNotice(), nullptr);
        return presenter->ringtune()->storedFilePath().toLocalFile();
    }

    TempHome home;
    ScreenStack stack;
    RecordingNavigation navigation;
    std::unique_ptr<MainViewController> presenter;
    std::unique_ptr<PersistentStack> store;
    MainViewWidget* screen = nullptr;
    bool noticeSeen = false;

    static inline QTemporaryDir* songs = nullptr;
    static inline QTemporaryDir* emptyDemo = nullptr;
};

} // namespace

TEST_F(EditorScreenTest, SlidersAndStepButtonsMoveTheLabelsAndTheMarker) {
    EXPECT_FALSE(find<EditorSlider>("startSlider")->isEnabled()) << "no song: the controls rest";
    pickAndLoad(songPath(QStringLiteral("tune.wav")));
    EXPECT_EQ(text("nowPlayingLabel"), QStringLiteral("tune"));
    EXPECT_EQ(text("startLabel"), QStringLiteral("00:00.0"));
    EXPECT_EQ(text("rangeLabel"), QStringLiteral("03.0"));
    EXPECT_EQ(find<QWidget>("waveContent")->width(), 81) << "12 s x 6.75 points";

    auto* start = find<EditorSlider>("startSlider");
    EXPECT_FLOAT_EQ(float(start->maximum()) / EditorSlider::kScale, 9.0f);
    start->setValue(450);
    EXPECT_FLOAT_EQ(presenter->controls().start(), 4.5f);
    EXPECT_EQ(text("startLabel"), QStringLiteral("00:04.5"));
    // A step is a tenth, and the label shows the tenth (it truncated the
    // float just below 4.6 to "00:04.5").
    find<QPushButton>("startForward")->click();
    EXPECT_EQ(presenter->controls().start(), 4.6f);
    EXPECT_EQ(start->value(), 460);
    EXPECT_EQ(text("startLabel"), QStringLiteral("00:04.6"));
    find<QPushButton>("rangeForward")->click();
    find<QPushButton>("rangeForward")->click();
    EXPECT_EQ(presenter->controls().length(), 3.2f);
    EXPECT_EQ(text("rangeLabel"), QStringLiteral("03.2"));
    find<QPushButton>("rangeBackward")->click();
    EXPECT_FLOAT_EQ(presenter->controls().length(), 3.1f);
    // The marker and the cursor sit where the presenter puts them.
    EXPECT_EQ(find<QLabel>("rangeImageView")->geometry(), presenter->rangeFrame().toRect());
    EXPECT_EQ(find<QLabel>("rangeImageView")->width(), 21) << "3.1 s x 6.75";
    EXPECT_EQ(find<QLabel>("cursorView")->geometry(), QRect(31, 0, 3, 81));

    // A held thumb is followed; the snap comes with the release.
    auto* pitch = find<EditorSlider>("pitchSlider");
    pitch->setSliderDown(true);
    pitch->setValue(890);
    EXPECT_FLOAT_EQ(presenter->controls().pitchSlider().value, 8.9f);
    EXPECT_FLOAT_EQ(presenter->controls().pitch(), 0.0f);
    pitch->setSliderDown(false);
    EXPECT_FLOAT_EQ(presenter->controls().pitch(), 6.0f);
    EXPECT_EQ(pitch->value(), 600);
    EXPECT_EQ(text("pitchLabel"), QStringLiteral("+6"));
    auto* fade = find<EditorSlider>("fadeInSlider");
    fade->setValue(76);
    EXPECT_EQ(fade->value(), 150);
    EXPECT_EQ(text("fadeInLabel"), QStringLiteral("01.5"));
}

TEST_F(EditorScreenTest, ASecondPreviewWithoutChangesNeedsNoNotice) {
    pickAndLoad(songPath(QStringLiteral("tune.wav")));
    pressPlay();
    EXPECT_TRUE(noticeSeen);
    EXPECT_EQ(screen->processingNotice(), nullptr);
    EXPECT_FALSE(stack.hasModalOverlay());

    noticeSeen = false;
    pressPlay();
    EXPECT_FALSE(noticeSeen) << "unchanged: plays what was processed";

    find<EditorSlider>("speedSlider")->setValue(100);
    pressPlay();
    EXPECT_TRUE(noticeSeen) << "a changed slider processes again";
    EXPECT_EQ(screen->processingNotice(), nullptr);
}

TEST_F(EditorScreenTest, ALengthOfFortySecondsExportsThirtyNineAndANinth) {
    openStore();
    pickAndLoad(songPath(QStringLiteral("long.wav")));
    find<EditorSlider>("rangeSlider")->setValue(4000);
    EXPECT_EQ(text("rangeLabel"), QStringLiteral("40.0"));
    const QString stored = exportRingtone();
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_NEAR(probeDuration(stored), 39.9, 0.05);
}

TEST_F(EditorScreenTest, ALibraryMp3WithSpeedAndPitchBecomesAStoredRingtone) {
    if (!haveTool(QStringLiteral("ffmpeg")) || !haveTool(QStringLiteral("exiftool"))) GTEST_SKIP() << "ffmpeg/exiftool";
    openStore();
    const QString mp3 = songPath(QStringLiteral("song.mp3"));
    const ToolResult made = runTool(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-y"), QStringLiteral("-v"), QStringLiteral("error"),
                                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                     QStringLiteral("sine=frequency=523:duration=10"), QStringLiteral("-ac"),
                                     QStringLiteral("2"), mp3});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    pickAndLoad(mp3);
    find<EditorSlider>("rangeSlider")->setValue(500);
    find<EditorSlider>("speedSlider")->setValue(-100);
    find<EditorSlider>("pitchSlider")->setValue(600);
    EXPECT_EQ(text("speedLabel"), QStringLiteral("-1"));
    const QString stored = exportRingtone();
    ASSERT_TRUE(stored.endsWith(QStringLiteral(".m4r"))) << stored.toStdString();
    // 5 s at speed position -1 lasts 5 / sqrt(2) s.
    EXPECT_NEAR(probeDuration(stored), 3.5, 0.1);
    const ToolResult tags = runTool(QStringLiteral("exiftool"), {QStringLiteral("-s"), QStringLiteral("-MediaType#"), stored});
    EXPECT_TRUE(tags.out.contains(QRegularExpression(QStringLiteral("MediaType\\s*:\\s*14\\b")))) << tags.out.toStdString();
}
