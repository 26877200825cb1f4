#include "ui/common/AlertView.h"
#include "ui/common/CanvasView.h"
#include "ui/common/FocusKeys.h"
#include "ui/common/ScreenStack.h"

#include <QApplication>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// A screen like the editor: buttons and a slider, and shortcuts on the keys
// those controls use themselves.
struct Screen {
    QWidget* widget = new QWidget;
    QPushButton* first = new QPushButton(QStringLiteral("First"), widget);
    QSlider* slider = new QSlider(Qt::Horizontal, widget);
    QPushButton* last = new QPushButton(QStringLiteral("Last"), widget);
    int firstClicks = 0, lastClicks = 0, spaceShortcut = 0, rightShortcut = 0;

    Screen() {
        auto* column = new QVBoxLayout(widget);
        for (QWidget* w : {static_cast<QWidget*>(first), static_cast<QWidget*>(slider), static_cast<QWidget*>(last)}) {
            w->setFocusPolicy(Qt::TabFocus);
            column->addWidget(w);
        }
        slider->setRange(0, 10);
        QObject::connect(first, &QPushButton::clicked, [this] { ++firstClicks; });
        QObject::connect(last, &QPushButton::clicked, [this] { ++lastClicks; });
        QObject::connect(new QShortcut(QKeySequence(Qt::Key_Space), widget), &QShortcut::activated,
                         [this] { ++spaceShortcut; });
        QObject::connect(new QShortcut(QKeySequence(Qt::Key_Right), widget), &QShortcut::activated,
                         [this] { ++rightShortcut; });
    }
};

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        stack = new ScreenStack;
        view = std::make_unique<CanvasView>(stack);
        stack->setRootScreen(screen.widget);
        view->show();
        QApplication::setActiveWindow(view.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    // Keys go where a person's keys go: to the window's focused widget (the canvas).
    void press(Qt::Key key) { QTest::keyClick(view.get(), key); }

    Screen screen;
    ScreenStack* stack = nullptr;
    std::unique_ptr<CanvasView> view;
};

TEST_F(Keyboard, TabGoesRoundTheScreensControlsInsideTheCanvas) {
    screen.first->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(stack->focusWidget(), screen.first);
    press(Qt::Key_Tab);
    EXPECT_EQ(stack->focusWidget(), screen.slider);
    press(Qt::Key_Tab);
    EXPECT_EQ(stack->focusWidget(), screen.last);
    // Past the last control: back to the first, not stuck.
    press(Qt::Key_Tab);
    EXPECT_EQ(stack->focusWidget(), screen.first);
    press(Qt::Key_Backtab);
    EXPECT_EQ(stack->focusWidget(), screen.last);
}

TEST_F(Keyboard, TabStaysInAnAlertOverTheScreen) {
    screen.last->setFocus(Qt::TabFocusReason);
    AlertView* alert = AlertView::show(stack, QStringLiteral("Title"), QStringLiteral("Message"),
                                       QStringLiteral("No"), {QStringLiteral("Yes")});
    auto* no = alert->findChild<QPushButton*>(QStringLiteral("alertButton0"));
    auto* yes = alert->findChild<QPushButton*>(QStringLiteral("alertButton1"));
    ASSERT_TRUE(no && yes);
    std::vector<QWidget*> seen;
    for (int i = 0; i < 4; ++i) {
        press(Qt::Key_Tab);
        seen.push_back(stack->focusWidget());
    }
    for (int i = 0; i < 3; ++i) {
        press(Qt::Key_Backtab);
        seen.push_back(stack->focusWidget());
    }
    for (QWidget* w : seen) EXPECT_TRUE(w == no || w == yes) << (w ? qPrintable(w->objectName()) : "none");
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[4], seen[5]);
    alert->dismissWithClickedButtonIndex(0, false);
}

TEST_F(Keyboard, FocusedControlsTakeTheirKeysBeforeTheShortcuts) {
    // Without FocusKeys the screen's shortcuts win.
    screen.first->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(screen.spaceShortcut, 1);
    EXPECT_EQ(screen.firstClicks, 0);

    FocusKeys::install(screen.widget);
    press(Qt::Key_Space);
    press(Qt::Key_Return);
    EXPECT_EQ(screen.firstClicks, 2);
    EXPECT_EQ(screen.spaceShortcut, 1);

    screen.slider->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Right);
    press(Qt::Key_End);
    EXPECT_EQ(screen.slider->value(), 10);
    EXPECT_EQ(screen.rightShortcut, 0);
    // A modified key stays the screen's; Space on a slider too.
    QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_Space);
    EXPECT_EQ(screen.spaceShortcut, 2);

    // A disabled button takes the key but does nothing.
    screen.last->setFocus(Qt::TabFocusReason);
    screen.last->setEnabled(false);
    press(Qt::Key_Return);
    EXPECT_EQ(screen.lastClicks, 0);
}

} // namespace
