#include "TestSupport.h"
#include "platform/core/CMTime.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/OSStatus.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;

TEST(CMTime, SecondsConversionRoundsToNearestValueAtTheScale) {
    EXPECT_EQ(CMTimeMakeWithSeconds(12.3, 10).value, 123);
    EXPECT_EQ(CMTimeMakeWithSeconds(14.142135, 10).value, 141);
    EXPECT_EQ(CMTimeMakeWithSeconds(14.15, 10).value, 142); // a half rounds away from zero
    EXPECT_EQ(CMTimeMakeWithSeconds(-0.25, 10).value, -3);
    EXPECT_EQ(CMTimeMakeWithSeconds(39.9f, 10).value, 399);
    EXPECT_TRUE(CMTimeMakeWithSeconds(1.0, 10).isValid());
    EXPECT_FALSE(CMTimeMakeWithSeconds(std::nan(""), 10).isValid());
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(CMTimeMake(3099, 1000)), 3.099);
    EXPECT_TRUE(std::isnan(CMTimeGetSeconds(kCMTimeInvalid)));
}

TEST(CMTime, RangeValidityFollowsFlagsEpochAndSign) {
    EXPECT_FALSE(kCMTimeRangeInvalid.isValid());
    CMTimeRange r{CMTimeMake(0, 1000), CMTimeMake(3000, 1000)};
    EXPECT_TRUE(r.isValid());
    r.duration.value = -1;
    EXPECT_FALSE(r.isValid());
    r.duration.value = 0;
    EXPECT_TRUE(r.isValid()); // an empty range is still a range
    r.duration.epoch = 1;
    EXPECT_FALSE(r.isValid());
    CMTimeRange noStart{kCMTimeInvalid, CMTimeMake(10, 10)};
    EXPECT_FALSE(noStart.isValid());
}

TEST(CMTime, ArithmeticAcrossScalesIsExact) {
    CMTime a = CMTimeMake(1500, 1000);
    CMTime b = CMTimeMake(3, 10);
    CMTime sum = CMTimeAdd(a, b);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(sum), 1.8);
    EXPECT_EQ(CMTimeCompare(CMTimeSubtract(sum, b), a), 0);
    EXPECT_EQ(CMTimeCompare(a, b), 1);
    EXPECT_FALSE(CMTimeAdd(a, kCMTimeInvalid).isValid());
}

TEST(Log, FormatsDescriptionsAndNumbersLikeThePlatform) {
    EXPECT_EQ(stringWithFormat("Unresolved error %@, %@", QStringLiteral("E"), QStringLiteral("{}")),
              QStringLiteral("Unresolved error E, {}"));
    EXPECT_EQ(stringWithFormat("%f", 12.3), QStringLiteral("12.300000"));
    EXPECT_EQ(stringWithFormat("!!! Error in ExtAudioFileOpen, %d", -43), QStringLiteral("!!! Error in ExtAudioFileOpen, -43"));
    EXPECT_EQ(stringWithFormat("%ld '%-4.4s'", 1718449215L, "fmt?"), QStringLiteral("1718449215 'fmt?'"));
    EXPECT_EQ(stringWithFormat("100%% %@", 5), QStringLiteral("100% 5"));
    EXPECT_EQ(stringWithFormat("%@ and %@", QStringLiteral("only one")), QStringLiteral("only one and %@"));
}

TEST(Paths, HomeAndDocumentsFollowTheEnvironment) {
    test::TempHome home;
    EXPECT_EQ(Paths::applicationHome(), QDir::cleanPath(home.path()));
    const QString docs = Paths::documentsDirectory();
    EXPECT_EQ(docs, QDir::cleanPath(home.path()) + QStringLiteral("/Documents"));
    EXPECT_TRUE(QFileInfo(docs).isDir());
}

TEST(LocalizedStrings, KnownKeysHaveTextsAndUnknownKeysShowTheKey) {
    for (const char* key : {"processing", "recorded", "drm_protected", "select_song", "waiting", "exporting",
                            "failed", "canceled", "cancelled", "done", "error", "mail_subject", "mail_body",
                            "delete_ringtone", "successful_recorded", "error_recording", "recording_cancelled",
                            "recording", "help_url", "no_internet", "Fade ON", "Fade OFF",
                            "appirater_message_title", "appirater_message", "appirater_cancel_button",
                            "appirater_rate_button", "appirater_rate_later"}) {
        EXPECT_NE(NSLocalizedString(QString::fromUtf8(key)), QString::fromUtf8(key)) << key;
    }
    EXPECT_EQ(NSLocalizedString(QStringLiteral("no_such_key")), QStringLiteral("no_such_key"));
}

TEST(NotificationCenter, DeliversByNameAndSenderAndStopsAfterRemoval) {
    NotificationCenter center;
    int a = 0, b = 0, any = 0;
    const int senderA = 0, senderB = 0;
    auto ta = center.addObserver(QStringLiteral("n"), &senderA, [&](const QString&, const void*) { ++a; });
    center.addObserver(QStringLiteral("n"), &senderB, [&](const QString&, const void*) { ++b; });
    center.addObserver(QStringLiteral("n"), nullptr, [&](const QString&, const void*) { ++any; });
    center.postNotificationName(QStringLiteral("n"), &senderA);
    center.postNotificationName(QStringLiteral("other"), &senderA);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(any, 1);
    center.removeObserver(ta);
    center.postNotificationName(QStringLiteral("n"), &senderA);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(any, 2);
}

TEST(NotificationCenter, AHandlerMayRemoveItselfWhileBeingCalled) {
    NotificationCenter center;
    int owner = 0, calls = 0;
    center.addObserver(&owner, QStringLiteral("n"), nullptr, [&](const QString&, const void*) {
        ++calls;
        center.removeObserver(&owner, QStringLiteral("n"));
    });
    center.postNotificationName(QStringLiteral("n"), nullptr);
    center.postNotificationName(QStringLiteral("n"), nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(UserDefaults, ValuesPersistInTheApplicationHome) {
    test::TempHome home;
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.reload();
    EXPECT_EQ(d.integerForKey(QStringLiteral("k")), 0);
    d.setInteger(QStringLiteral("k"), 7);
    d.setDouble(QStringLiteral("t"), 1.5e9);
    EXPECT_TRUE(d.synchronize());
    d.reload();
    EXPECT_EQ(d.integerForKey(QStringLiteral("k")), 7);
    EXPECT_DOUBLE_EQ(d.doubleForKey(QStringLiteral("t")), 1.5e9);
    EXPECT_TRUE(QFileInfo::exists(home.path() + QStringLiteral("/Preferences.ini")));
    d.reload();
}

#include "platform/core/NSTimer.h"

TEST(NSTimer, RepeatsUntilInvalidatedAndCarriesItsUserInfo) {
    int ticks = 0;
    int seen = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(
        0.01,
        [&](NSTimer* t) {
            seen = std::any_cast<int>(t->userInfo());
            if (++ticks == 3) t->invalidate();
        },
        std::any(42), true);
    std::weak_ptr<NSTimer> weak = timer;
    timer.reset(); // the scheduled timer keeps itself alive
    EXPECT_TRUE(test::waitUntil([&] { return ticks == 3; }, 5000));
    test::waitUntil([] { return false; }, 60);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(seen, 42);
    EXPECT_TRUE(weak.expired());
}

TEST(OSStatus, PrintableCodesShowTheirCharactersOthersOnlyTheirNumber) {
    EXPECT_EQ(formatOSStatus(OSStatus(fourCC("wht?"))), QStringLiteral("2003334207 'wht?'"));
    EXPECT_EQ(formatOSStatus(-34), QStringLiteral("-34")); // 0xFFFFFFDE: no characters to show
    EXPECT_EQ(formatOSStatus(-1), QStringLiteral("-1"));
    EXPECT_EQ(formatOSStatus(0), QStringLiteral("0"));
    EXPECT_EQ(formatOSStatus(OSStatus(fourCC("ab\x01" "c"))), QString::number(OSStatus(fourCC("ab\x01" "c"))));
}
