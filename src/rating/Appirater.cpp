#include "rating/Appirater.h"

#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/UserDefaults.h"
#include "platform/net/URLConnection.h"
#include "rating/LoggingRatingPromptPresenter.h"

#include <QDateTime>
#include <system_error>

namespace quorvel {

namespace {

const QString kAppiraterFirstUseDate = QStringLiteral("kAppiraterFirstUseDate");
const QString kAppiraterUseCount = QStringLiteral("kAppiraterUseCount");
const QString kAppiraterSignificantEventCount = QStringLiteral("kAppiraterSignificantEventCount");
const QString kAppiraterCurrentVersion = QStringLiteral("kAppiraterCurrentVersion");
const QString kAppiraterRatedCurrentVersion = QStringLiteral("kAppiraterRatedCurrentVersion");
const QString kAppiraterDeclinedToRate = QStringLiteral("kAppiraterDeclinedToRate");
const QString kAppiraterReminderRequestDate = QStringLiteral("kAppiraterReminderRequestDate");

constexpr double kSecondsUntilPrompt = 259200;   // 3 days after the first use
constexpr long long kUsesUntilPrompt = 3;
constexpr long long kSignificantEventsUntilPrompt = 3;
constexpr double kSecondsBeforeReminding = 259200; // 3 days after "later"

// Our number, put into the review page's address template (the strings
// table's "appirater_review_url": the project's own page).
constexpr int kAppiraterAppId = 512938470;
// A well-known public site: whether a connection to it can be set up at all.
const char kConnectivityTestAddress[] = "https://www.debian.org/";

const QString kWillResignActiveNotification = QStringLiteral("UIApplicationWillResignActiveNotification");

double systemClock() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

bool kernelFlags(SCNetworkReachabilityFlags* flags) {
    sockaddr_in zeroAddress{};
    zeroAddress.sin_family = AF_INET;
    auto ref = NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&zeroAddress),
                                                      sizeof zeroAddress);
    return ref && ref->getFlags(flags);
}

} // namespace

Appirater& Appirater::sharedInstance() {
    static Appirater instance;
    return instance;
}

Appirater::Appirater() : presenter_(std::make_shared<LoggingRatingPromptPresenter>()) {
    // The counting threads use these singletons; made first, they are destroyed
    // after this instance has joined its threads.
    UserDefaults::standardUserDefaults();
    resignObserver_ = NotificationCenter::defaultCenter().addObserver(
        kWillResignActiveNotification, nullptr, [](const QString&, NotificationCenter::Sender) {
            Appirater::appWillResignActive();
        });
}

Appirater::~Appirater() {
    NotificationCenter::defaultCenter().removeObserver(resignObserver_);
    counting_.join();
}

void Appirater::appLaunched() { appLaunched(true); }

void Appirater::appLaunched(bool canPromptForRating) { sharedInstance().startCounting(false, canPromptForRating); }

void Appirater::appEnteredForeground(bool canPromptForRating) {
    sharedInstance().startCounting(false, canPromptForRating);
}

void Appirater::userDidSignificantEvent(bool canPromptForRating) {
    sharedInstance().startCounting(true, canPromptForRating);
}

void Appirater::appWillResignActive() {
    if (isMainThread())
        sharedInstance().hideRatingAlert();
    else
        performOnMainThread([] { Appirater::sharedInstance().hideRatingAlert(); });
}

void Appirater::waitForPendingCounts() { sharedInstance().counting_.join(); }

void Appirater::startCounting(bool significantEvent, bool canPromptForRating) {
    auto count = [this, significantEvent, canPromptForRating] {
        if (significantEvent)
            incrementSignificantEventAndRate(canPromptForRating);
        else
            incrementAndRate(canPromptForRating);
    };
    try {
        counting_.start(count);
    } catch (const std::system_error& e) {
        // No thread to be had: count here rather than lose the count.
        NSLog("Appirater could not start a counting thread: %s", e.what());
        count();
    }
}

void Appirater::setPresenter(std::shared_ptr<RatingPromptPresenter> presenter) {
    presenter_ = presenter ? std::move(presenter) : std::make_shared<LoggingRatingPromptPresenter>();
}

void Appirater::setClock(Clock clock) {
    std::lock_guard lock(sourcesMutex_);
    clock_ = std::move(clock);
}

void Appirater::setFlagsSource(FlagsSource source) {
    std::lock_guard lock(sourcesMutex_);
    flagsSource_ = std::move(source);
}

double Appirater::now() const {
    std::lock_guard lock(sourcesMutex_);
    return clock_ ? clock_() : systemClock();
}

QString Appirater::applicationVersion() { return QStringLiteral(QUORVEL_VERSION); }

QUrl Appirater::reviewURL() {
    QString address = NSLocalizedString(QStringLiteral("appirater_review_url"));
    address.replace(QLatin1String("APP_ID"), stringWithFormat("%d", kAppiraterAppId));
    return QUrl(address);
}

void Appirater::incrementAndRate(bool canPromptForRating) {
    incrementUseCount();
    if (canPromptForRating && ratingConditionsHaveBeenMet() && connectedToNetwork())
        performOnMainThread([this] { showRatingAlert(); });
}

void Appirater::incrementSignificantEventAndRate(bool canPromptForRating) {
    incrementSignificantEventCount();
    if (canPromptForRating && ratingConditionsHaveBeenMet() && connectedToNetwork())
        performOnMainThread([this] { showRatingAlert(); });
}

void Appirater::incrementUseCount() { incrementCount(false); }

void Appirater::incrementSignificantEventCount() { incrementCount(true); }

void Appirater::incrementCount(bool significantEvent) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    // One lock around the whole read-increment-write: concurrent launches and
    // events must never lose an increment.
    auto lock = defaults.lock();
    const QString version = applicationVersion();
    QString trackingVersion = defaults.stringForKey(kAppiraterCurrentVersion);
    if (trackingVersion.isEmpty()) {
        trackingVersion = version;
        defaults.setString(kAppiraterCurrentVersion, version);
    }
    const double time = now();
    if (trackingVersion == version) {
        if (defaults.doubleForKey(kAppiraterFirstUseDate) == 0) defaults.setDouble(kAppiraterFirstUseDate, time);
        const QString& key = significantEvent ? kAppiraterSignificantEventCount : kAppiraterUseCount;
        defaults.setInteger(key, defaults.integerForKey(key) + 1);
    } else {
        // A new version: tracking starts over. An event does not start the clock;
        // the next use does.
        defaults.setString(kAppiraterCurrentVersion, version);
        defaults.setDouble(kAppiraterFirstUseDate, significantEvent ? 0 : time);
        defaults.setInteger(kAppiraterUseCount, significantEvent ? 0 : 1);
        defaults.setInteger(kAppiraterSignificantEventCount, significantEvent ? 1 : 0);
        defaults.setBool(kAppiraterRatedCurrentVersion, false);
        defaults.setBool(kAppiraterDeclinedToRate, false);
        defaults.setDouble(kAppiraterReminderRequestDate, 0);
    }
    if (!defaults.synchronize()) NSLog("Appirater could not write the user defaults");
}

bool Appirater::ratingConditionsHaveBeenMet() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    auto lock = defaults.lock();
    const double time = now();
    if (time - defaults.doubleForKey(kAppiraterFirstUseDate) < kSecondsUntilPrompt) return false;
    if (defaults.integerForKey(kAppiraterUseCount) < kUsesUntilPrompt) return false;
    if (defaults.integerForKey(kAppiraterSignificantEventCount) < kSignificantEventsUntilPrompt) return false;
    if (defaults.boolForKey(kAppiraterDeclinedToRate)) return false;
    if (defaults.boolForKey(kAppiraterRatedCurrentVersion)) return false;
    // A reminder never asked for (0) is long past.
    if (time - defaults.doubleForKey(kAppiraterReminderRequestDate) < kSecondsBeforeReminding) return false;
    return true;
}

bool Appirater::connectedToNetwork() {
    FlagsSource source;
    {
        std::lock_guard lock(sourcesMutex_);
        source = flagsSource_;
    }
    SCNetworkReachabilityFlags flags = 0;
    if (!(source ? source(&flags) : kernelFlags(&flags))) {
        NSLog("Error. Could not recover network reachability flags");
        return false;
    }
    const bool isReachable = flags & kSCNetworkReachabilityFlagsReachable;
    const bool needsConnection = flags & kSCNetworkReachabilityFlagsConnectionRequired;
    const bool nonWiFi = flags & kSCNetworkReachabilityFlagsTransientConnection;

    // The test connection is released at once; that it could be made is enough.
    const bool testConnection =
        URLConnection({QUrl(QString::fromLatin1(kConnectivityTestAddress)),
                       URLRequest::ReloadIgnoringLocalCacheData, 20.0}).isValid();
    return ((isReachable && !needsConnection) || nonWiFi) && testConnection;
}

void Appirater::showRatingAlert() {
    // Only the main thread shows alerts; at exit there may be none left.
    if (!isMainThread()) return;
    auto alert = std::make_shared<RatingAlert>();
    alert->title = NSLocalizedString(QStringLiteral("appirater_message_title"));
    alert->message = NSLocalizedString(QStringLiteral("appirater_message"));
    alert->cancelButtonTitle = NSLocalizedString(QStringLiteral("appirater_cancel_button"));
    alert->otherButtonTitles = {NSLocalizedString(QStringLiteral("appirater_rate_button")),
                                NSLocalizedString(QStringLiteral("appirater_rate_later"))};
    ratingAlert_ = alert;
    presenter_->show(*alert, [this, alert](int buttonIndex) { alertView(alert, buttonIndex); });
}

void Appirater::hideRatingAlert() {
    // Dismissed with index -1: nothing stored changes.
    if (presenter_->isVisible()) presenter_->hide();
}

void Appirater::alertView(const std::shared_ptr<RatingAlert>&, int clickedButtonAtIndex) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    switch (clickedButtonAtIndex) {
    case 0: {
        auto lock = defaults.lock();
        defaults.setBool(kAppiraterDeclinedToRate, true);
        defaults.synchronize();
        break;
    }
    case 1:
        rateApp();
        break;
    case 2: {
        auto lock = defaults.lock();
        defaults.setDouble(kAppiraterReminderRequestDate, now());
        defaults.synchronize();
        break;
    }
    default:
        break;
    }
}

void Appirater::rateApp() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    {
        auto lock = defaults.lock();
        defaults.setBool(kAppiraterRatedCurrentVersion, true);
        defaults.synchronize();
    }
    const QUrl url = reviewURL();
    auto open = [url] { Appirater::sharedInstance().presenter_->openURL(url); };
    if (isMainThread())
        open();
    else
        performOnMainThread(open);
}

} // namespace quorvel
