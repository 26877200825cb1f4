// The editor's strip with real mouse and wheel events: dragging the segment
// moves the start by the dragged distance at 6.75 points a second, its right
// edge the length, a click outside it moves the start there, the wheel
// scrolls; the limits hold at both ends. Typed times through the labels, and
// the song's own waveform fading in.
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/MainViewController.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/EditorNavigation.h"
#include "ui/editor/MainViewWidget.h"
#include "ui/editor/SegmentStrip.h"
#include "ui/editor/SongStripView.h"
#include "ui/editor/TimeEntryField.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
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

class StripMouse : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        songs = new QTemporaryDir;
        qputenv("QUORVEL_MUSIC", songs->path().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", songs->path().toUtf8());
        writeWav16(songs->filePath(QStringLiteral("long.wav")), sine(330, 180.0, 8000), 8000, 1);
    }
    static void TearDownTestSuite() {
        delete songs;
        songs = nullptr;
    }
    void SetUp() override {
        UserDefaults::standardUserDefaults().reload();
        presenter = std::make_unique<MainViewController>(true);
        stack.resize(ScreenStack::kWidth, ScreenStack::kHeight);
        screen = new MainViewWidget(*presenter);
        screen->setNavigation(&navigation);
        stack.setRootScreen(screen);
        stack.show();
        strip = screen->findChild<SegmentStrip*>(QStringLiteral("stripFrame"));
        ASSERT_NE(strip, nullptr);
    }
    void TearDown() override {
        delete screen;
        presenter.reset();
    }
    void load() {
        auto item = MPMediaLibrary::defaultMediaLibrary().addFile(songs->filePath(QStringLiteral("long.wav")));
        ASSERT_TRUE(item.has_value());
        presenter->mediaPickerDidPickMediaItems({*item});
        ASSERT_TRUE(waitUntil([this] { return !presenter->isLoading(); }));
        ASSERT_TRUE(strip->isActive());
    }
    float start() const { return presenter->controls().start(); }
    float length() const { return presenter->controls().length(); }
    QRectF marker() const { return presenter->rangeFrame(); }
    // Pointer positions are whole points: distances below are too.
    static QPoint at(double x) { return QPoint(int(std::floor(x)), 40); }
    // Press at `from`, move in steps to `to`, release there.
    void drag(double from, double to) {
        QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, at(from));
        for (int i = 1; i <= 4; ++i) QTest::mouseMove(strip, at(from + (to - from) * i / 4));
        QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, at(to));
    }
    void wheel(QPoint angle, QPoint pixels = QPoint()) {
        const QPointF where(100, 40);
        QWheelEvent event(where, strip->mapToGlobal(where), pixels, angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip, &event);
        EXPECT_TRUE(event.isAccepted());
    }
    template <class T> T* find(const char* name) const { return screen->findChild<T*>(QString::fromLatin1(name)); }

    TempHome home;
    ScreenStack stack;
    NoNavigation navigation;
    std::unique_ptr<MainViewController> presenter;
    MainViewWidget* screen = nullptr;
    SegmentStrip* strip = nullptr;
    static inline QTemporaryDir* songs = nullptr;
};

} // namespace

TEST_F(StripMouse, DraggingTheSegmentMovesTheStartByTheDistanceAndItsEdgeTheLength) {
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, at(10));
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, at(10));
    EXPECT_EQ(start(), 0.0f) << "no song: the strip does nothing";
    load();

    drag(10, 10 + 135); // 20 s
    EXPECT_FLOAT_EQ(start(), 20.0f);
    EXPECT_EQ(presenter->controls().startText(), QStringLiteral("00:20.0"));
    EXPECT_FALSE(presenter->ringtune()->isProcessed());
    const double edge = marker().right();
    EXPECT_NEAR(edge, 23 * 6.75, 1e-3);
    drag(edge - 1, edge - 1 + 27); // 4 s longer
    EXPECT_FLOAT_EQ(length(), 7.0f);
    EXPECT_FLOAT_EQ(start(), 20.0f);

    // The limits: the start from 0 to song - length, the length from 3 to 40.
    drag(marker().center().x(), -2000);
    EXPECT_EQ(start(), 0.0f);
    drag(marker().center().x(), 3000);
    EXPECT_EQ(start(), 173.0f);
    EXPECT_LE(marker().right(), 270.0 + 1e-3);
    drag(marker().right(), marker().right() + 1000);
    EXPECT_EQ(length(), 40.0f);
    EXPECT_EQ(start(), 140.0f) << "the start follows the longer segment";
    drag(marker().right(), marker().right() - 1000);
    EXPECT_EQ(length(), 3.0f);

    // A press that does not move changes nothing.
    presenter->startValueChanged(20.0f);
    presenter->ringtune()->setProcessed(true);
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, at(marker().center().x()));
    EXPECT_TRUE(presenter->ringtune()->isProcessed());
    EXPECT_EQ(start(), 20.0f);
}

TEST_F(StripMouse, AClickOutsideTheSegmentMovesTheStartThereAndTheWheelScrolls) {
    load();
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, at(135));
    EXPECT_FLOAT_EQ(start(), 20.0f);
    // Left of a segment anchored at the strip's end: the time under the pointer.
    presenter->startValueChanged(60.0f);
    const double offset = presenter->visibleRect().x();
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, at(54));
    EXPECT_NEAR(start(), (offset + 54) / 6.75, 1e-3);

    presenter->startValueChanged(60.0f);
    wheel(QPoint(0, -120)); // a notch down: later
    EXPECT_FLOAT_EQ(start(), 64.0f);
    wheel(QPoint(240, 0)); // two notches left: earlier
    EXPECT_FLOAT_EQ(start(), 56.0f);
    wheel(QPoint(0, 0), QPoint(-13, -2)); // a touchpad swiped sideways, in points
    EXPECT_NEAR(start(), 56.0 + 13 / 6.75, 1e-4);
    presenter->startValueChanged(1.0f);
    wheel(QPoint(0, 600));
    EXPECT_EQ(start(), 0.0f);
}

TEST_F(StripMouse, HeldBeyondTheStripsEndTheDragKeepsScrolling) {
    load();
    const double from = std::floor(marker().center().x());
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, at(from));
    QTest::mouseMove(strip, at(strip->width() + 40));
    const float first = start();
    EXPECT_FLOAT_EQ(first, float((strip->width() + 40 - from) / 6.75));
    QTest::qWait(400);
    EXPECT_GT(start(), first + 2.0f);
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, at(strip->width() + 40));
    const float released = start();
    QTest::qWait(100);
    EXPECT_EQ(start(), released);
}

TEST_F(StripMouse, TheCursorShowsWhatAPressWouldDo) {
    load();
    presenter->rangeValueChanged(10.0f);
    QTest::mouseMove(strip, at(marker().center().x()));
    EXPECT_EQ(strip->cursor().shape(), Qt::OpenHandCursor);
    QTest::mouseMove(strip, at(marker().right()));
    EXPECT_EQ(strip->cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(strip, at(marker().right() + 60));
    EXPECT_EQ(strip->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, at(marker().center().x()));
    EXPECT_EQ(strip->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, at(marker().center().x()));
}

TEST_F(StripMouse, ADoubleClickedLabelTakesATypedTime) {
    load();
    auto* startEntry = find<TimeEntryField>("startEntry");
    auto* rangeEntry = find<TimeEntryField>("rangeEntry");
    auto* note = find<QLabel>("typedTimeNote");
    ASSERT_TRUE(startEntry && rangeEntry && note);
    EXPECT_FALSE(startEntry->isVisible());

    QTest::mouseDClick(find<QLabel>("startLabel"), Qt::LeftButton);
    ASSERT_TRUE(startEntry->isVisible());
    EXPECT_EQ(startEntry->selectedText(), QStringLiteral("00:00.0"));
    QTest::keyClicks(startEntry, QStringLiteral("1:23.4"));
    QTest::keyClick(startEntry, Qt::Key_Return);
    EXPECT_EQ(start(), 83.4f);
    EXPECT_FALSE(startEntry->isVisible());
    EXPECT_EQ(find<QLabel>("startLabel")->text(), QStringLiteral("01:23.4"));

    // No time: refused with a message, the field stays for another try; Esc leaves it.
    screen->typeStart();
    QTest::keyClicks(startEntry, QStringLiteral("2:99"));
    QTest::keyClick(startEntry, Qt::Key_Enter);
    EXPECT_TRUE(startEntry->isVisible());
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->toolTip(), presenter->startTyped(QStringLiteral("2:99")).note);
    EXPECT_EQ(start(), 83.4f);
    QTest::keyClick(startEntry, Qt::Key_Escape);
    EXPECT_FALSE(startEntry->isVisible());
    EXPECT_EQ(start(), 83.4f);

    // Clamped: applied with a short word.
    QTest::mouseDClick(find<QLabel>("rangeLabel"), Qt::LeftButton);
    ASSERT_TRUE(rangeEntry->isVisible());
    QTest::keyClicks(rangeEntry, QStringLiteral("55"));
    QTest::keyClick(rangeEntry, Qt::Key_Return);
    EXPECT_EQ(length(), 40.0f);
    EXPECT_FALSE(rangeEntry->isVisible());
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), presenter->lengthTyped(QStringLiteral("55")).note);
}

TEST_F(StripMouse, TheSongsWaveformFadesInOverTheTiles) {
    load();
    auto* content = find<SongStripView>("waveContent");
    ASSERT_NE(content, nullptr);
    const QImage tiles = content->grab(QRect(0, 0, 100, 79)).toImage();
    presenter->setSongWaveformShown(true);
    EXPECT_EQ(content->peaks(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return content->peaks() != nullptr; }));
    EXPECT_LT(content->waveformOpacity(), 1.0);
    ASSERT_TRUE(waitUntil([&] { return content->waveformOpacity() == 1.0; }, 5000));
    EXPECT_NE(content->grab(QRect(0, 0, 100, 79)).toImage(), tiles);
    EXPECT_EQ(content->width(), int(std::lround(180 * 6.75 + 20)));
    presenter->setSongWaveformShown(false);
    EXPECT_EQ(content->peaks(), nullptr);
    EXPECT_EQ(content->grab(QRect(0, 0, 100, 79)).toImage(), tiles);
}
