#include "ui/common/ScreenStack.h"
#include "TestSupport.h"
#include "ui/common/ActionSheet.h"
#include "ui/common/ActivityIndicator.h"
#include "ui/common/AlertView.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

QWidget* page(const QString& name, QColor colour) {
    auto* w = new QLabel(name);
    w->setObjectName(name);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    return w;
}

class Stack : public ::testing::Test {
protected:
    void SetUp() override {
        stack.setRootScreen(page(QStringLiteral("root"), Qt::red));
        stack.show();
    }
    bool settle() {
        return test::waitUntil([this] { return !stack.isTransitioning(); }, 5000);
    }
    ScreenStack stack;
};

TEST_F(Stack, PresentingCoversAndClosingRevealsThenRunsDidFinish) {
    for (auto style : {ModalTransitionStyle::CoverVertical, ModalTransitionStyle::FlipHorizontal,
                       ModalTransitionStyle::CrossDissolve}) {
        SCOPED_TRACE(int(style));
        QWidget* screen = page(QStringLiteral("screen"), Qt::blue);
        int finished = 0;
        QSignalSpy revealed(&stack, &ScreenStack::screenRevealed);
        ScreenStack::Presentation how;
        how.style = style;
        how.dismissed = [&] {
            ++finished;
            // The screen below shows again by the time the presenter hears of it.
            EXPECT_TRUE(stack.rootScreen()->isVisible());
            EXPECT_FALSE(screen->isVisible());
        };
        how.deleteOnDismiss = true;
        stack.present(screen, how);
        EXPECT_TRUE(stack.isTransitioning());
        EXPECT_FALSE(stack.isInteractive());
        ASSERT_TRUE(settle());
        EXPECT_EQ(stack.topScreen(), screen);
        EXPECT_TRUE(screen->isVisible());
        EXPECT_FALSE(stack.rootScreen()->isVisible()) << "a presented screen covers the one below";

        QPointer<QWidget> gone(screen);
        stack.dismiss(screen, true);
        EXPECT_EQ(finished, 0) << "did-finish waits for the animation";
        ASSERT_TRUE(settle());
        EXPECT_EQ(finished, 1);
        ASSERT_EQ(revealed.count(), 1);
        EXPECT_EQ(revealed.first().first().value<QWidget*>(), stack.rootScreen());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(gone.isNull());
        EXPECT_EQ(stack.topScreen(), stack.rootScreen());
    }
}

TEST_F(Stack, ClosingAMiddleScreenClosesEverythingAboveTopFirst) {
    QStringList order;
    QWidget* screens[3];
    for (int i = 0; i < 3; ++i) {
        screens[i] = page(QStringLiteral("s%1").arg(i), Qt::green);
        ScreenStack::Presentation how;
        how.animated = false;
        how.dismissed = [&order, i] { order << QStringLiteral("s%1").arg(i); };
        stack.present(screens[i], how);
    }
    EXPECT_EQ(stack.presentedScreens().size(), 3);
    EXPECT_FALSE(screens[0]->isVisible());
    stack.dismiss(screens[1], false);
    EXPECT_EQ(order, (QStringList{QStringLiteral("s2"), QStringLiteral("s1")}));
    EXPECT_EQ(stack.topScreen(), screens[0]);
    EXPECT_TRUE(screens[0]->isVisible());
    // Closing what is no longer presented does nothing; presenting twice neither.
    stack.dismiss(screens[2], false);
    stack.present(screens[0], {});
    EXPECT_EQ(order.size(), 2);
    EXPECT_EQ(stack.presentedScreens().size(), 1);
    EXPECT_FALSE(stack.isTransitioning());
}

TEST_F(Stack, ANewTransitionFinishesTheRunningOne) {
    QWidget* first = page(QStringLiteral("first"), Qt::blue);
    QWidget* second = page(QStringLiteral("second"), Qt::yellow);
    bool firstClosed = false;
    ScreenStack::Presentation how;
    how.dismissed = [&] { firstClosed = true; };
    stack.present(first, how);
    ASSERT_TRUE(stack.isTransitioning());
    stack.present(second, {});
    EXPECT_EQ(stack.presentedScreens(), (QList<QWidget*>{first, second}));
    // Closing everything while the second still slides in.
    stack.dismissAll(true);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(firstClosed);
    EXPECT_TRUE(stack.presentedScreens().isEmpty());
    EXPECT_TRUE(stack.rootScreen()->isVisible());
    EXPECT_FALSE(second->isVisible());
}

TEST_F(Stack, EscapeRunsTheScreensOwnCloseOrClosesIt) {
    EXPECT_FALSE(stack.escape()) << "nothing presented";
    int escapes = 0;
    QWidget* help = page(QStringLiteral("help"), Qt::white);
    ScreenStack::Presentation how;
    how.animated = false;
    how.escape = [&] { ++escapes; };
    stack.present(help, how);
    EXPECT_TRUE(stack.escape());
    EXPECT_EQ(escapes, 1);
    EXPECT_TRUE(stack.isPresented(help)) << "the screen's own done action decides";

    QWidget* plain = page(QStringLiteral("plain"), Qt::white);
    ScreenStack::Presentation plainHow;
    plainHow.animated = false;
    stack.present(plain, plainHow);
    EXPECT_TRUE(stack.escape());
    ASSERT_TRUE(settle());
    EXPECT_FALSE(stack.isPresented(plain));
    EXPECT_EQ(stack.topScreen(), help);
}

TEST_F(Stack, EscapeDuringASlideInActsWhenItEndsAndDuringAClosingIsDropped) {
    int escapes = 0;
    QWidget* first = page(QStringLiteral("first"), Qt::white);
    ScreenStack::Presentation how;
    how.escape = [&] { ++escapes; };
    stack.present(first, how);
    ASSERT_TRUE(stack.isTransitioning());
    EXPECT_TRUE(stack.escape());
    EXPECT_EQ(escapes, 0) << "not while it moves";
    ASSERT_TRUE(settle());
    EXPECT_EQ(escapes, 1) << "the early key is not lost";

    QWidget* second = page(QStringLiteral("second"), Qt::white);
    ScreenStack::Presentation plain;
    plain.animated = false;
    stack.present(second, plain);
    ASSERT_TRUE(stack.dismissTop(true));
    ASSERT_TRUE(stack.isTransitioning());
    EXPECT_TRUE(stack.escape());
    ASSERT_TRUE(settle());
    EXPECT_EQ(escapes, 1) << "the key went with the closing screen, not the one revealed";
    EXPECT_EQ(stack.topScreen(), first);
}

TEST_F(Stack, TheCanvasShowsTheRealScreensOnceATransitionEnds) {
    stack.setRenderScale(2.0);
    QWidget* blue = page(QStringLiteral("blue"), Qt::blue);
    stack.present(blue, {});
    ASSERT_TRUE(settle());
    QImage shown = stack.grab().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() - 3), QColor(Qt::blue));
    stack.dismiss(blue, true);
    ASSERT_TRUE(settle());
    shown = stack.grab().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() - 3), QColor(Qt::red));
}

class Alerts : public Stack {};

TEST_F(Alerts, ButtonsReportTheirIndexAndTheAlertBlocksTheCanvas) {
    int clicked = -1;
    AlertView* alert = AlertView::show(&stack, QStringLiteral("DRM"), QStringLiteral("protected"),
                                       QStringLiteral("Cancel"), {QStringLiteral("Rate"), QStringLiteral("Later")},
                                       [&](int index) { clicked = index; });
    EXPECT_TRUE(stack.hasModalOverlay());
    EXPECT_FALSE(stack.isInteractive());
    EXPECT_EQ(alert->title(), QStringLiteral("DRM"));
    EXPECT_EQ(alert->button(0)->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(alert->button(2)->text(), QStringLiteral("Later"));
    QPointer<AlertView> guard(alert);
    alert->button(2)->click();
    EXPECT_EQ(clicked, 2);
    EXPECT_FALSE(stack.hasModalOverlay());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(Alerts, EscapePressesCancelButNeverClosesTheProcessingNotice) {
    int clicked = -1;
    AlertView::show(&stack, QStringLiteral("Internet"), QStringLiteral("offline"), QStringLiteral("OK"), {},
                    [&](int index) { clicked = index; });
    EXPECT_TRUE(stack.escape());
    EXPECT_EQ(clicked, 0);
    EXPECT_FALSE(stack.hasModalOverlay());

    AlertView* notice = AlertView::showProcessingNotice(&stack, QStringLiteral("Processing…"));
    ASSERT_TRUE(notice->activityIndicator());
    EXPECT_TRUE(notice->activityIndicator()->isAnimating());
    EXPECT_EQ(notice->buttonCount(), 0);
    EXPECT_TRUE(stack.escape()) << "Esc is swallowed while work runs";
    EXPECT_TRUE(stack.hasModalOverlay());
    // An alert shown while the notice is up stays above it, and a screen presented under both.
    QWidget* screen = page(QStringLiteral("export"), Qt::blue);
    ScreenStack::Presentation how;
    how.animated = false;
    stack.present(screen, how);
    EXPECT_TRUE(notice->isVisible());
    notice->dismissWithClickedButtonIndex(0, true);
    EXPECT_FALSE(stack.hasModalOverlay());
    EXPECT_TRUE(stack.isInteractive());
}

TEST_F(Alerts, ActionSheetNumbersDestructiveFirstAndCancelLast) {
    int clicked = -1;
    ActionSheet* sheet = ActionSheet::show(&stack, QStringLiteral("Delete this ringtone?"), QStringLiteral("Cancel"),
                                           QStringLiteral("Delete"), {QStringLiteral("Mail")},
                                           [&](int index) { clicked = index; });
    EXPECT_EQ(sheet->button(0)->text(), QStringLiteral("Delete"));
    EXPECT_EQ(sheet->button(1)->text(), QStringLiteral("Mail"));
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);
    EXPECT_TRUE(stack.escape());
    EXPECT_EQ(clicked, 2);

    ActionSheet* noCancel = ActionSheet::show(&stack, QString(), QString(), QString(), {QStringLiteral("Only")},
                                              [&](int index) { clicked = index; });
    EXPECT_EQ(noCancel->cancelButtonIndex(), -1);
    clicked = -1;
    EXPECT_TRUE(stack.escape());
    EXPECT_EQ(clicked, -1) << "without a cancel button Esc does not choose for the user";
    noCancel->button(0)->click();
    EXPECT_EQ(clicked, 0);
}

} // namespace
