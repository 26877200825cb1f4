#include "TestSupport.h"
#include "app/QuorvelAppDelegate.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class StartUp : public ::testing::Test {
protected:
    void SetUp() override { UserDefaults::standardUserDefaults().reload(); }
    void TearDown() override {
        Appirater::waitForPendingCounts();
        UserDefaults::standardUserDefaults().reload();
    }

    QString store() const { return home.documents() + QStringLiteral("/.Quorvel.sqlite"); }
    // Reads the store back with the sqlite3 program.
    QString query(const QString& sql) const {
        auto r = test::runTool(QStringLiteral("sqlite3"), {store(), sql});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r.out.trimmed();
    }
    void touch(const QString& name, const QByteArray& content = "audio") const {
        QFile f(home.documents() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QStringList visibleFiles() const {
        return QDir(home.documents()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    long long significantEvents() {
        Appirater::waitForPendingCounts();
        return UserDefaults::standardUserDefaults().integerForKey(QStringLiteral("kAppiraterSignificantEventCount"));
    }

    test::TempHome home;
};

} // namespace

TEST_F(StartUp, AFirstStartOnAnEmptyFolderOnlySetsTheMigrationFlag) {
    QuorvelAppDelegate delegate(false);
    ASSERT_TRUE(delegate.applicationDidFinishLaunchingWithOptions());
    EXPECT_EQ(query(QStringLiteral("SELECT oldRingtoneLoaded FROM AppFlags;")), QStringLiteral("1"));
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("0"));
    EXPECT_TRUE(visibleFiles().isEmpty());
}

TEST_F(StartUp, FoundFilesAreMovedRecordedAndCountedOnce) {
    touch(QStringLiteral("A.m4r"));
    touch(QStringLiteral("B.m4a"));
    QDir(home.documents()).mkdir(QStringLiteral("folder"));
    {
        QuorvelAppDelegate delegate(false);
        delegate.applicationDidFinishLaunchingWithOptions();
    }
    EXPECT_EQ(visibleFiles(), (QStringList{QStringLiteral("A_0.m4r"), QStringLiteral("B_0.m4r")}));
    EXPECT_EQ(query(QStringLiteral("SELECT file, title, counter FROM Ringtone ORDER BY file;")),
              QStringLiteral("A_0.m4r|A_0|0\nB_0.m4r|B_0|0"));
    EXPECT_EQ(significantEvents(), 2);
    EXPECT_TRUE(QFileInfo(home.documents() + QStringLiteral("/folder")).isDir()); // folders are left alone

    // A second start-up moves and records nothing.
    touch(QStringLiteral("C.m4r"));
    QuorvelAppDelegate again(false);
    again.applicationDidFinishLaunchingWithOptions();
    EXPECT_TRUE(visibleFiles().contains(QStringLiteral("C.m4r")));
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("2"));
    EXPECT_EQ(significantEvents(), 2);
}

TEST_F(StartUp, ShortNamesAreMigratedInsideTheDocumentsFolder) {
    touch(QStringLiteral("ab"));
    QuorvelAppDelegate delegate(false);
    delegate.applicationDidFinishLaunchingWithOptions();
    EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("_0.m4r")});
    EXPECT_EQ(query(QStringLiteral("SELECT file FROM Ringtone;")), QStringLiteral("_0.m4r"));
}

TEST_F(StartUp, RowsWhoseFileIsGoneDisappearOnTheReturnToTheForeground) {
    touch(QStringLiteral("Keep.m4r"));
    touch(QStringLiteral("Gone.m4r"));
    QuorvelAppDelegate delegate(false);
    delegate.applicationDidFinishLaunchingWithOptions();
    ASSERT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("2"));
    ASSERT_TRUE(QFile::remove(home.documents() + QStringLiteral("/Gone_0.m4r")));
    touch(QStringLiteral("Unlisted.m4r"));
    delegate.applicationWillEnterForeground();
    EXPECT_EQ(query(QStringLiteral("SELECT file FROM Ringtone;")), QStringLiteral("Keep_0.m4r"));
    EXPECT_TRUE(visibleFiles().contains(QStringLiteral("Unlisted.m4r")));
}

TEST_F(StartUp, TheStoreIsReconciledBeforeTheEditorShowsAndTheLaunchIsCountedLast) {
    touch(QStringLiteral("Bells.m4r"));
    QuorvelAppDelegate delegate(false);
    QString seenAtShow;
    delegate.setShowMainView([&] {
        seenAtShow = query(QStringLiteral("SELECT file FROM Ringtone;"));
        Appirater::waitForPendingCounts();
        EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(QStringLiteral("kAppiraterUseCount")), 0);
    });
    delegate.applicationDidFinishLaunchingWithOptions();
    EXPECT_EQ(seenAtShow, QStringLiteral("Bells_0.m4r"));
    Appirater::waitForPendingCounts();
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(QStringLiteral("kAppiraterUseCount")), 1);
}

TEST_F(StartUp, PendingChangesAreSavedWhenTheProgramGoesToTheBackground) {
    QuorvelAppDelegate delegate(false);
    delegate.applicationDidFinishLaunchingWithOptions();
    touch(QStringLiteral("Late.m4r"));
    auto context = delegate.managedObjectContext();
    DBHelper& db = DBHelper::dbHelper();
    auto row = db.loadRingtoneWithNameFromDB(QStringLiteral("Late.m4r"));
    EXPECT_EQ(row, nullptr);
    ASSERT_NE(db.storeRingtone(QUrl::fromLocalFile(home.documents() + QStringLiteral("/Late.m4r"))), nullptr);
    auto rows = db.loadRingtonesFromDB();
    ASSERT_TRUE(rows);
    db.deleteRingtone(rows->front());
    EXPECT_TRUE(context->hasChanges());
    delegate.applicationDidEnterBackground();
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("0"));
}

// It once ended the process with a line on standard error; now the launch
// says why, so that the program can show it and offer to move the store aside.
TEST_F(StartUp, AStoreThatIsNotSQLiteIsReportedLeftAsItWasAndCanBeMovedAside) {
    const QByteArray garbage("this is not an SQLite database, just text that sits where the store should be\n");
    touch(QStringLiteral(".Quorvel.sqlite"), garbage);
    touch(QStringLiteral("Bells.m4r"));
    QuorvelAppDelegate delegate(false);
    bool shown = false;
    delegate.setShowMainView([&shown] { shown = true; });
    EXPECT_FALSE(delegate.applicationDidFinishLaunchingWithOptions());
    EXPECT_FALSE(shown);
    ASSERT_TRUE(delegate.storeTrouble());
    EXPECT_EQ(delegate.storeTrouble()->kind(), StoreTrouble::Kind::Damaged);
    EXPECT_TRUE(delegate.storeTrouble()->what().contains(store())) << delegate.storeTrouble()->what().toStdString();
    QFile f(store());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), garbage);
    f.close();
    EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("Bells.m4r")}); // nothing migrated

    // A second move on the same day takes the next name; neither is lost.
    touch(QStringLiteral(".Quorvel.sqlite.damaged-") + QDate::currentDate().toString(Qt::ISODate), "older");
    QString keptAs, error;
    ASSERT_TRUE(delegate.moveDamagedStoreAside(&keptAs, &error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(keptAs).fileName(),
              QStringLiteral(".Quorvel.sqlite.damaged-%1-2").arg(QDate::currentDate().toString(Qt::ISODate)));
    QFile kept(keptAs);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    ASSERT_TRUE(delegate.applicationDidFinishLaunchingWithOptions());
    EXPECT_TRUE(shown);
    EXPECT_EQ(query(QStringLiteral("PRAGMA integrity_check;")), QStringLiteral("ok"));
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("1")); // Bells, migrated now
}

TEST_F(StartUp, OldCacheAndWindowSettingsMoveToTheirFoldersAtStartUp) {
    QDir().mkpath(home.path() + QStringLiteral("/.SongCache"));
    QFile(home.path() + QStringLiteral("/.SongCache/5-6.wav")).open(QIODevice::WriteOnly);
    UserDefaults::standardUserDefaults().setInteger(QStringLiteral("window_scale_percent"), 100);
    UserDefaults::standardUserDefaults().synchronize();
    QuorvelAppDelegate delegate(false);
    ASSERT_TRUE(delegate.applicationDidFinishLaunchingWithOptions());
    EXPECT_TRUE(QFileInfo::exists(Paths::songCacheDirectory() + QStringLiteral("/5-6.wav")));
    EXPECT_EQ(UserDefaults::windowDefaults().integerForKey(QStringLiteral("window_scale_percent")), 100);
    EXPECT_FALSE(UserDefaults::standardUserDefaults().hasKey(QStringLiteral("window_scale_percent")));
    UserDefaults::windowDefaults().reload();
}
