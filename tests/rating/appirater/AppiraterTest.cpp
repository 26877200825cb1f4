// The rating prompt over a temporary home, a settable clock and settable
// reachability flags: counting, the version restart, the thresholds, the
// user's choices, and counts from many threads at once.
#include "rating/Appirater.h"
#include "TestSupport.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/UserDefaults.h"

#include <QCoreApplication>
#include <QSettings>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr double kStart = 1.7e9; // an arbitrary "now" in seconds since 1970
constexpr double kDay = 86400;

// Records what the prompt would have shown; a test answers it with click().
class RecordingPresenter : public RatingPromptPresenter {
public:
    void show(const RatingAlert& alert, ClickHandler clicked) override {
        ++shows;
        visible = true;
        last = alert;
        clicked_ = std::move(clicked);
    }
    bool isVisible() const override { return visible; }
    void hide() override {
        ++hides;
        visible = false;
    }
    bool openURL(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
    void click(int index) {
        visible = false;
        clicked_(index);
    }

    int shows = 0;
    int hides = 0;
    bool visible = false;
    RatingAlert last;
    std::vector<QUrl> opened;

private:
    ClickHandler clicked_;
};

std::mutex logMutex;
QStringList logLines;
void collectLog(const QString& line) {
    std::lock_guard lock(logMutex);
    logLines << line;
}

class AppiraterTest : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().reload();
        Appirater& a = Appirater::sharedInstance();
        a.setPresenter(presenter);
        a.setClock([this] { return clock.load(); });
        a.setFlagsSource([this](SCNetworkReachabilityFlags* f) {
            *f = flags.load();
            return flagsReadable.load();
        });
    }
    void TearDown() override {
        settle();
        Appirater& a = Appirater::sharedInstance();
        a.setPresenter(nullptr);
        a.setClock(nullptr);
        a.setFlagsSource(nullptr);
        setLogSink(nullptr);
        UserDefaults::standardUserDefaults().reload();
    }

    // Waits for the counting threads, then lets a due prompt reach the main thread.
    void settle() {
        Appirater::waitForPendingCounts();
        QCoreApplication::processEvents();
    }
    void launch(bool canPrompt = true) {
        Appirater::appLaunched(canPrompt);
        settle();
    }
    void event(bool canPrompt = true) {
        Appirater::userDidSignificantEvent(canPrompt);
        settle();
    }
    void advance(double seconds) { clock = clock.load() + seconds; }
    // Three uses and three events at the start; the prompt is due 3 days later.
    void reachDuePrompt() {
        for (int i = 0; i < 3; ++i) launch();
        for (int i = 0; i < 3; ++i) event();
        ASSERT_EQ(presenter->shows, 0);
        advance(3 * kDay);
        launch();
        ASSERT_EQ(presenter->shows, 1);
    }

    UserDefaults& defaults() { return UserDefaults::standardUserDefaults(); }
    double firstUse() { return defaults().doubleForKey("kAppiraterFirstUseDate"); }
    long long uses() { return defaults().integerForKey("kAppiraterUseCount"); }
    long long events() { return defaults().integerForKey("kAppiraterSignificantEventCount"); }

    TempHome home;
    std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>();
    std::atomic<double> clock{kStart};
    std::atomic<SCNetworkReachabilityFlags> flags{kSCNetworkReachabilityFlagsReachable};
    std::atomic<bool> flagsReadable{true};
};

TEST_F(AppiraterTest, FirstLaunchStartsTrackingThisVersion) {
    launch();
    EXPECT_EQ(firstUse(), kStart);
    EXPECT_EQ(uses(), 1);
    EXPECT_EQ(events(), 0);
    EXPECT_EQ(defaults().stringForKey("kAppiraterCurrentVersion"), QStringLiteral(QUORVEL_VERSION));
    EXPECT_EQ(presenter->shows, 0);
    // A later launch keeps the first-use date.
    advance(kDay);
    launch();
    EXPECT_EQ(firstUse(), kStart);
    EXPECT_EQ(uses(), 2);
}

TEST_F(AppiraterTest, PromptWaitsForThreeDays) {
    for (int i = 0; i < 3; ++i) launch();
    for (int i = 0; i < 3; ++i) event();
    advance(3 * kDay - 1);
    launch();
    EXPECT_EQ(presenter->shows, 0);
    advance(1);
    launch();
    ASSERT_EQ(presenter->shows, 1);
    // The alert carries the table's texts, rate before later.
    EXPECT_EQ(presenter->last.title, NSLocalizedString("appirater_message_title"));
    EXPECT_EQ(presenter->last.message, NSLocalizedString("appirater_message"));
    EXPECT_EQ(presenter->last.cancelButtonTitle, NSLocalizedString("appirater_cancel_button"));
    EXPECT_EQ(presenter->last.otherButtonTitles,
              QStringList({NSLocalizedString("appirater_rate_button"), NSLocalizedString("appirater_rate_later")}));
    ASSERT_TRUE(Appirater::sharedInstance().ratingAlert());
    EXPECT_EQ(Appirater::sharedInstance().ratingAlert()->title, presenter->last.title);
}

TEST_F(AppiraterTest, PromptWaitsForThreeUses) {
    launch();
    advance(10 * kDay);
    for (int i = 0; i < 3; ++i) event();
    launch();
    EXPECT_EQ(presenter->shows, 0);
    launch();
    EXPECT_EQ(presenter->shows, 1);
    EXPECT_EQ(uses(), 3);
}

TEST_F(AppiraterTest, PromptWaitsForThreeSignificantEvents) {
    for (int i = 0; i < 3; ++i) launch();
    advance(10 * kDay);
    event();
    event();
    launch();
    EXPECT_EQ(presenter->shows, 0);
    event();
    EXPECT_EQ(presenter->shows, 1);
}

TEST_F(AppiraterTest, LaterPostponesByThreeDaysWhileCountsGrow) {
    reachDuePrompt();
    presenter->click(2);
    EXPECT_EQ(defaults().doubleForKey("kAppiraterReminderRequestDate"), clock.load());
    const long long usesBefore = uses();
    advance(3 * kDay - 1);
    launch();
    event();
    EXPECT_EQ(presenter->shows, 1);
    EXPECT_EQ(uses(), usesBefore + 1);
    EXPECT_EQ(events(), 4);
    advance(1);
    launch();
    EXPECT_EQ(presenter->shows, 2);
}

TEST_F(AppiraterTest, NoEndsItForTheVersionAndANewVersionResetsEverything) {
    reachDuePrompt();
    presenter->click(0);
    EXPECT_TRUE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    advance(100 * kDay);
    launch();
    event();
    EXPECT_EQ(presenter->shows, 1);

    // The defaults were written by an older version of the program.
    defaults().setString("kAppiraterCurrentVersion", "0.9");
    defaults().setDouble("kAppiraterReminderRequestDate", clock.load());
    defaults().setBool("kAppiraterRatedCurrentVersion", true);
    launch();
    EXPECT_EQ(defaults().stringForKey("kAppiraterCurrentVersion"), QStringLiteral(QUORVEL_VERSION));
    EXPECT_EQ(firstUse(), clock.load());
    EXPECT_EQ(uses(), 1);
    EXPECT_EQ(events(), 0);
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    EXPECT_FALSE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    EXPECT_EQ(defaults().doubleForKey("kAppiraterReminderRequestDate"), 0.0);
    // Tracking starts over: the new version earns its own prompt.
    for (int i = 0; i < 2; ++i) launch();
    for (int i = 0; i < 3; ++i) event();
    advance(3 * kDay);
    launch();
    EXPECT_EQ(presenter->shows, 2);
}

TEST_F(AppiraterTest, RateEndsItAndOpensTheReviewPage) {
    reachDuePrompt();
    presenter->click(1);
    EXPECT_TRUE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    ASSERT_EQ(presenter->opened.size(), 1u);
    EXPECT_EQ(presenter->opened[0].toString(),
              "https://quorvel.org/reviews?type=Purple+Software&id=512938470");
    advance(100 * kDay);
    launch();
    EXPECT_EQ(presenter->shows, 1);
}

TEST_F(AppiraterTest, OtherButtonIndexesChangeNothing) {
    reachDuePrompt();
    presenter->click(-1);
    presenter->click(3);
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    EXPECT_FALSE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    EXPECT_EQ(defaults().doubleForKey("kAppiraterReminderRequestDate"), 0.0);
    EXPECT_TRUE(presenter->opened.empty());
}

TEST_F(AppiraterTest, EventFirstInANewVersionLeavesFirstUseUnsetUntilTheNextLaunch) {
    defaults().setString("kAppiraterCurrentVersion", "0.9");
    defaults().setDouble("kAppiraterFirstUseDate", kStart - 50 * kDay);
    defaults().setInteger("kAppiraterUseCount", 40);
    defaults().setInteger("kAppiraterSignificantEventCount", 12);
    defaults().setBool("kAppiraterDeclinedToRate", true);
    event();
    EXPECT_EQ(firstUse(), 0.0);
    EXPECT_EQ(uses(), 0);
    EXPECT_EQ(events(), 1);
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    advance(kDay);
    launch();
    EXPECT_EQ(firstUse(), clock.load());
    EXPECT_EQ(uses(), 1);
    EXPECT_EQ(events(), 1);
}

TEST_F(AppiraterTest, NoPromptWithoutNetworkOrPermissionButCountsGoOn) {
    for (int i = 0; i < 3; ++i) launch();
    for (int i = 0; i < 3; ++i) event();
    advance(3 * kDay);
    flags = kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired;
    launch();
    flags = 0;
    event();
    setLogSink(collectLog);
    flagsReadable = false;
    launch();
    setLogSink(nullptr);
    EXPECT_TRUE(logLines.contains("Error. Could not recover network reachability flags"));
    flagsReadable = true;
    flags = kSCNetworkReachabilityFlagsReachable;
    launch(false); // the command-line program: counted, never prompted
    event(false);
    EXPECT_EQ(presenter->shows, 0);
    EXPECT_EQ(uses(), 6);
    EXPECT_EQ(events(), 5);
    // A transient connection counts as connected.
    flags = kSCNetworkReachabilityFlagsTransientConnection;
    launch();
    EXPECT_EQ(presenter->shows, 1);
}

TEST_F(AppiraterTest, ResigningActiveHidesTheAlertAndChangesNothing) {
    reachDuePrompt();
    ASSERT_TRUE(presenter->visible);
    std::thread([] {
        NotificationCenter::defaultCenter().postNotificationName("UIApplicationWillResignActiveNotification", nullptr);
    }).join();
    QCoreApplication::processEvents(); // hidden on the main thread
    EXPECT_EQ(presenter->hides, 1);
    EXPECT_FALSE(presenter->visible);
    EXPECT_FALSE(defaults().boolForKey("kAppiraterDeclinedToRate"));
    EXPECT_FALSE(defaults().boolForKey("kAppiraterRatedCurrentVersion"));
    EXPECT_EQ(defaults().doubleForKey("kAppiraterReminderRequestDate"), 0.0);
    // Nothing shown: nothing to hide.
    Appirater::appWillResignActive();
    EXPECT_EQ(presenter->hides, 1);
}

TEST_F(AppiraterTest, ConcurrentLaunchesAndEventsLoseNoIncrement) {
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([t] {
            for (int i = 0; i < 25; ++i) {
                Appirater::userDidSignificantEvent(true);
                if (t % 2) Appirater::appEnteredForeground(true); else Appirater::appLaunched(true);
            }
        });
    for (std::thread& c : callers) c.join();
    settle();
    // Read back from the file, as the next run of the program would.
    QSettings written(home.path() + "/Preferences.ini", QSettings::IniFormat);
    EXPECT_EQ(written.value("kAppiraterUseCount").toLongLong(), 100);
    EXPECT_EQ(written.value("kAppiraterSignificantEventCount").toLongLong(), 100);
    EXPECT_EQ(written.value("kAppiraterFirstUseDate").toDouble(), kStart);
    EXPECT_EQ(presenter->shows, 0);
}

} // namespace
