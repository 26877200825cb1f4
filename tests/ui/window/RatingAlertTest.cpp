#include "MainWindow.h"
#include "RatingAlertPresenter.h"
#include "TestSupport.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "rating/Appirater.h"
#include "ui/common/AlertView.h"
#include "ui/common/ScreenStack.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// A presenter that records the review page instead of opening a browser.
class RecordingPresenter : public RatingAlertPresenter {
public:
    using RatingAlertPresenter::RatingAlertPresenter;
    bool openURL(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<QUrl> opened;
};

class RatingAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(home.path() + "/NoDemo");
        qputenv("QUORVEL_MUSIC", (home.path() + "/NoMusic").toUtf8());
        qputenv("QUORVEL_DEMO_DIR", (home.path() + "/NoDemo").toUtf8());
        UserDefaults::standardUserDefaults().reload();
        window = std::make_unique<MainWindow>(MPMediaLibrary::defaultMediaLibrary());
        window->show();
        presenter = std::make_shared<RecordingPresenter>(*window->stack());
        Appirater::sharedInstance().setPresenter(presenter);
    }
    void TearDown() override {
        Appirater::sharedInstance().setPresenter(nullptr);
        window.reset();
        qunsetenv("QUORVEL_MUSIC");
        qunsetenv("QUORVEL_DEMO_DIR");
        UserDefaults::standardUserDefaults().reload();
    }
    UserDefaults& defaults() { return UserDefaults::standardUserDefaults(); }
    // The key as a user presses it, to what has the keyboard.
    void pressEscape() {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, Qt::Key_Escape);
        QCoreApplication::processEvents();
    }
    AlertView* shown() {
        Appirater::sharedInstance().showRatingAlert();
        return presenter->alertView();
    }

    test::TempHome home;
    std::unique_ptr<MainWindow> window;
    std::shared_ptr<RecordingPresenter> presenter;
};

} // namespace

TEST_F(RatingAlertTest, ShowsTheTextsAndButtonsInOrder) {
    AlertView* alert = shown();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), NSLocalizedString("appirater_message_title"));
    EXPECT_EQ(alert->message(), NSLocalizedString("appirater_message"));
    ASSERT_EQ(alert->buttonCount(), 3);
    EXPECT_EQ(alert->button(0)->text(), NSLocalizedString("appirater_cancel_button"));
    EXPECT_EQ(alert->button(1)->text(), NSLocalizedString("appirater_rate_button"));
    EXPECT_EQ(alert->button(2)->text(), NSLocalizedString("appirater_rate_later"));
}

TEST_F(RatingAlertTest, NoDeclines) {
    shown()->button(0)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    EXPECT_FALSE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    EXPECT_TRUE(presenter->opened.empty());
}

TEST_F(RatingAlertTest, RateOpensTheProjectsOwnReviewPage) {
    shown()->button(1)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    ASSERT_EQ(presenter->opened.size(), 1u);
    EXPECT_EQ(presenter->opened[0].scheme(), "https");
    EXPECT_EQ(presenter->opened[0].host(), "quorvel.org");
    EXPECT_TRUE(presenter->opened[0].query().contains("id=512938470"));
}

TEST_F(RatingAlertTest, LaterStoresTheReminderDate) {
    shown()->button(2)->click();
    QCoreApplication::processEvents();
    EXPECT_GT(defaults().doubleForKey("kAppiraterReminderRequestDate"), 0.0);
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
}

TEST_F(RatingAlertTest, DeactivatingTheWindowHidesItAndStoresNothing) {
    const double reminder = defaults().doubleForKey("kAppiraterReminderRequestDate");
    const long long uses = defaults().integerForKey("kAppiraterUseCount");
    ASSERT_NE(shown(), nullptr);
    ASSERT_TRUE(presenter->isVisible());
    QEvent deactivate(QEvent::ActivationChange);
    QCoreApplication::sendEvent(window.get(), &deactivate);
    QCoreApplication::processEvents();
    EXPECT_FALSE(presenter->isVisible());
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    EXPECT_FALSE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    EXPECT_EQ(defaults().doubleForKey("kAppiraterReminderRequestDate"), reminder);
    EXPECT_EQ(defaults().integerForKey("kAppiraterUseCount"), uses);
    EXPECT_TRUE(presenter->opened.empty());
}

// Esc once answered "No, Thanks" and the prompt never came back; it is the
// dismissal without a choice. Other alerts still take Esc as their cancel.
TEST_F(RatingAlertTest, EscClosesItWithoutAChoiceAndStoresNothing) {
    const double reminder = defaults().doubleForKey("kAppiraterReminderRequestDate");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_NE(shown(), nullptr);
    pressEscape();
    EXPECT_FALSE(presenter->isVisible());
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    EXPECT_FALSE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    EXPECT_EQ(defaults().doubleForKey("kAppiraterReminderRequestDate"), reminder);
    EXPECT_TRUE(presenter->opened.empty());
    // Shown again, its own button still declines.
    shown()->button(0)->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(defaults().boolForKey("kAppiraterDeclinedToRate"));

    int answered = -2;
    AlertView::show(window->stack(), "Delete", "Sure?", "Cancel", {"Delete"}, [&](int index) { answered = index; });
    pressEscape();
    EXPECT_EQ(answered, 0);
}

TEST_F(RatingAlertTest, WaitsForTheProcessingNotice) {
    AlertView* notice = AlertView::showProcessingNotice(window->stack(), "Processing");
    Appirater::sharedInstance().showRatingAlert();
    EXPECT_EQ(presenter->alertView(), nullptr);
    EXPECT_TRUE(presenter->isWaiting());
    notice->dismissWithClickedButtonIndex(0, false);
    QCoreApplication::processEvents();
    ASSERT_NE(presenter->alertView(), nullptr);
    EXPECT_EQ(presenter->alertView()->buttonCount(), 3);
}
