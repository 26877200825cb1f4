// The start-up on a documents folder that other programs use too: it waits
// for their start-up (and gives up, touching nothing, after its timeout), a
// return to the foreground never waits, and flag rows left by two start-ups
// at once are settled without a second migration.
#include "TestSupport.h"
#include "app/QuorvelAppDelegate.h"
#include "platform/core/DocumentsLock.h"
#include "platform/core/UserDefaults.h"
#include "rating/Appirater.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

class SharedFolder : public ::testing::Test {
protected:
    void SetUp() override { UserDefaults::standardUserDefaults().reload(); }
    void TearDown() override {
        Appirater::waitForPendingCounts();
        UserDefaults::standardUserDefaults().reload();
    }
    QString store() const { return home.documents() + QStringLiteral("/.Quorvel.sqlite"); }
    QString query(const QString& sql) const {
        auto r = test::runTool(QStringLiteral("sqlite3"), {store(), sql});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r.out.trimmed();
    }
    void touch(const QString& name) const {
        QFile f(home.documents() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("audio");
    }
    QStringList visibleFiles() const {
        return QDir(home.documents()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    test::TempHome home;
};

} // namespace

TEST_F(SharedFolder, SeveralFlagRowsKeepTheOldestAndNothingIsMigratedAgain) {
    {
        QuorvelAppDelegate first(false);
        ASSERT_TRUE(first.applicationDidFinishLaunchingWithOptions());
    }
    // What two start-ups at once left before the store refused it: two rows,
    // neither marked (each start-up then migrated on every start).
    query(QStringLiteral("DROP TRIGGER Z_AppFlags_ONE_ROW; UPDATE AppFlags SET oldRingtoneLoaded = 0; "
                         "INSERT INTO AppFlags (oldRingtoneLoaded) VALUES (0); "
                         "INSERT INTO Ringtone (file, title, counter) VALUES ('Bells_0.m4r', 'Bells_0', 0), "
                         "('Gone_0.m4r', 'Gone_0', 0)"));
    touch(QStringLiteral("Bells_0.m4r"));
    QuorvelAppDelegate again(false);
    ASSERT_TRUE(again.applicationDidFinishLaunchingWithOptions());
    EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("Bells_0.m4r")}); // not Bells_0_0.m4r
    EXPECT_EQ(query(QStringLiteral("SELECT Z_PK, oldRingtoneLoaded FROM AppFlags")), QStringLiteral("1|1"));
    // The clean-up ran instead.
    EXPECT_EQ(query(QStringLiteral("SELECT file FROM Ringtone")), QStringLiteral("Bells_0.m4r"));
}

TEST_F(SharedFolder, AReturnToTheForegroundDoesNotWaitForAnotherStartUp) {
    QuorvelAppDelegate delegate(false);
    ASSERT_TRUE(delegate.applicationDidFinishLaunchingWithOptions());
    query(QStringLiteral("INSERT INTO Ringtone (file, title, counter) VALUES ('Gone.m4r', 'Gone', 0)"));
    {
        test::LockHolder other(DocumentsLock::kStartUpLockName);
        ASSERT_TRUE(other.isHolding());
        delegate.applicationWillEnterForeground(); // returns at once; the clean-up waits
        EXPECT_EQ(query(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("1"));
    }
    delegate.applicationWillEnterForeground();
    EXPECT_EQ(query(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("0"));
}

using SharedFolderDeathTest = SharedFolder;

TEST_F(SharedFolderDeathTest, AStartThatCannotHaveTheFolderEndsAndTouchesNothing) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    touch(QStringLiteral("Bells.m4r"));
    test::LockHolder other(DocumentsLock::kStartUpLockName); // in the death test's child: already held
    EXPECT_EXIT(
        {
            QuorvelAppDelegate delegate(false);
            delegate.setStartUpLockTimeout(300ms);
            delegate.applicationDidFinishLaunchingWithOptions();
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "Another program has held the documents folder");
    EXPECT_FALSE(QFileInfo::exists(store()));
    EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("Bells.m4r")});
    // Once the other program has gone, the start-up runs.
    other.kill();
    QuorvelAppDelegate delegate(false);
    ASSERT_TRUE(delegate.applicationDidFinishLaunchingWithOptions());
    EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("Bells_0.m4r")});
}
