#pragma once
// The rating prompt: counts uses and significant events per application
// version and, once enough have accumulated, asks the user once per version to
// rate the application.
//
// Threads: the class methods may be called from any thread; each starts one
// counting thread and returns at once. The counts are read, incremented and
// written under the user defaults' lock, so concurrent counts never lose an
// increment. The alert is shown, hidden and answered on the main thread only.
// The instance lives until the process ends; its destructor joins every
// counting thread still running.
#include "platform/core/WorkerGroup.h"
#include "platform/net/NetworkReachability.h"
#include "rating/RatingPromptPresenter.h"

#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace quorvel {

class Appirater {
public:
    // Seconds since 1970; tests replace it.
    using Clock = std::function<double()>;
    // Reads the reachability flags of the zero address; false when unreadable.
    using FlagsSource = std::function<bool(SCNetworkReachabilityFlags* flags)>;

    static Appirater& sharedInstance();

    // Class methods. The boolean says whether a prompt may be shown.
    static void appLaunched();
    static void appLaunched(bool canPromptForRating);
    static void appEnteredForeground(bool canPromptForRating);
    static void userDidSignificantEvent(bool canPromptForRating);
    static void appWillResignActive();
    static void rateApp();
    // Blocks until every counting thread started so far has finished, so that a
    // program may exit with its counts written.
    static void waitForPendingCounts();

    // Run on a counting thread: count, then prompt when allowed and due.
    void incrementAndRate(bool canPromptForRating);
    void incrementSignificantEventAndRate(bool canPromptForRating);
    void hideRatingAlert();
    // The user's choice: 0 no, 1 rate, 2 later; other indexes change nothing.
    void alertView(const std::shared_ptr<RatingAlert>& alertView, int clickedButtonAtIndex);

    std::shared_ptr<RatingAlert> ratingAlert() const { return ratingAlert_; }
    // The presenter must be set on the main thread; nullptr restores the logging one.
    void setPresenter(std::shared_ptr<RatingPromptPresenter> presenter);
    // nullptr restores the defaults (the system clock, the kernel's flags).
    void setClock(Clock clock);
    void setFlagsSource(FlagsSource source);
    double now() const;

    // The review page address built from the store template.
    static QUrl reviewURL();
    // The version being tracked: the program's version from the build.
    static QString applicationVersion();

    bool connectedToNetwork();
    bool ratingConditionsHaveBeenMet();
    void incrementUseCount();
    void incrementSignificantEventCount();
    void showRatingAlert();

    Appirater(const Appirater&) = delete;
    Appirater& operator=(const Appirater&) = delete;
    ~Appirater();

private:
    Appirater();
    void incrementCount(bool significantEvent);
    void startCounting(bool significantEvent, bool canPromptForRating);

    std::shared_ptr<RatingAlert> ratingAlert_;
    std::shared_ptr<RatingPromptPresenter> presenter_;
    mutable std::mutex sourcesMutex_;
    Clock clock_;
    FlagsSource flagsSource_;
    uint64_t resignObserver_ = 0;
    WorkerGroup counting_;
};

} // namespace quorvel
