// The editor's "Normalize Loudness" switch: its place under the vertical
// sliders, off by default, a tap feeds the presenter, kept for the next song
// like the fades, and a second preview without changes measures nothing again.
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "rating/Appirater.h"
#include "screens/MainViewController.h"
#include "ui/common/ScreenStack.h"
#include "ui/controls/UICustomSwitch.h"
#include "ui/editor/EditorNavigation.h"
#include "ui/editor/MainViewWidget.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class NoNavigation : public EditorNavigation {
public:
    void presentScreen(EditorScreen) override {}
    void dismissPresentedScreen() override {}
    void presentExportScreen(const std::shared_ptr<ExportViewController>&) override {}
};

class NormalizeSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("QUORVEL_MUSIC", songs.path().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", songs.path().toUtf8());
        writeWav16(songs.filePath("tune.wav"), sine(440, 12.0), 44100, 1);
        UserDefaults::standardUserDefaults().reload();
        presenter = std::make_unique<MainViewController>(true);
        stack.resize(ScreenStack::kWidth, ScreenStack::kHeight);
        screen = new MainViewWidget(*presenter);
        screen->setNavigation(&navigation);
        stack.setRootScreen(screen);
        stack.show();
        QObject::connect(presenter.get(), &MainViewController::changed, screen,
                         [this] { noticeSeen = noticeSeen || screen->processingNotice() != nullptr; });
    }
    void TearDown() override {
        delete screen;
        presenter.reset();
        Appirater::waitForPendingCounts();
    }
    void pickAndLoad() {
        auto item = MPMediaLibrary::defaultMediaLibrary().addFile(songs.filePath("tune.wav"));
        ASSERT_TRUE(item.has_value());
        presenter->mediaPickerDidPickMediaItems({*item});
        ASSERT_TRUE(waitUntil([this] { return !presenter->isLoading(); }));
    }
    void pressPlay() {
        screen->findChild<QPushButton*>("playStopButton")->click();
        ASSERT_TRUE(waitUntil([this] { return presenter->areControlsEnabled() && !presenter->isProcessingNoticeShown(); }));
    }
    UICustomSwitch* sw() const { return screen->findChild<UICustomSwitch*>("normalizeLoudnessSwitch"); }

    TempHome home;
    QTemporaryDir songs;
    std::unique_ptr<MainViewController> presenter;
    ScreenStack stack;
    MainViewWidget* screen = nullptr;
    NoNavigation navigation;
    bool noticeSeen = false;
};

} // namespace

TEST_F(NormalizeSwitch, SitsUnderTheSlidersOffByDefaultAndATapTurnsItOn) {
    ASSERT_TRUE(sw());
    EXPECT_EQ(sw()->accessibleName(), QStringLiteral("Normalize Loudness"));
    EXPECT_EQ(screen->findChild<QLabel*>("normalizeLoudnessCaption")->text(), QStringLiteral("Normalize Loudness"));
    EXPECT_EQ(sw()->size(), QSize(UICustomSwitch::kWidth, UICustomSwitch::kHeight));
    const QRect place(sw()->mapTo(screen, QPoint()), sw()->size());
    for (const char* above : {"fadeInLabel", "speedLabel"})
        EXPECT_GE(place.top(), screen->findChild<QWidget*>(above)->geometry().bottom()) << above;
    EXPECT_LE(place.bottom(), screen->findChild<QWidget*>("pickButton")->geometry().top());
    EXPECT_FALSE(sw()->isOn());
    EXPECT_FALSE(presenter->controls().isLoudnessNormalized());

    pickAndLoad();
    pressPlay();
    ASSERT_TRUE(presenter->ringtune()->isProcessed());
    QTest::mouseClick(sw(), Qt::LeftButton, {}, QPoint(20, 13));
    EXPECT_TRUE(waitUntil([this] { return presenter->controls().isLoudnessNormalized(); }, 3000));
    EXPECT_TRUE(sw()->isOn());
    EXPECT_FALSE(presenter->ringtune()->isProcessed()) << "the next preview is made again";

    // A new song keeps the choice.
    pickAndLoad();
    EXPECT_TRUE(presenter->controls().isLoudnessNormalized());
    EXPECT_TRUE(sw()->isOn());
}

TEST_F(NormalizeSwitch, TheSecondPreviewPlaysAtOnceWithTheSameGain) {
    pickAndLoad();
    presenter->normalizeLoudnessChanged(true);
    pressPlay();
    const auto mix = presenter->lastPlayback().audioMix;
    ASSERT_TRUE(mix && mix->loudnessGain());
    const float level = mix->loudnessGain()->level();
    EXPECT_LT(level, 1.0f) << "a tone at about -9 LUFS is lowered to -14";
    noticeSeen = false;
    pressPlay(); // stop
    pressPlay();
    EXPECT_FALSE(noticeSeen) << "unchanged: nothing is measured again";
    EXPECT_FLOAT_EQ(presenter->lastPlayback().audioMix->loudnessGain()->level(), level);
}
