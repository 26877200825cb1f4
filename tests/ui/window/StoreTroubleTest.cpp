// The program's start on a store it cannot open: a window says what happened
// and where the file is; a damaged store is moved aside (kept byte for byte)
// and a new, empty store starts that works.
#include "StoreTroubleDialog.h"
#include "TestSupport.h"
#include "app/QuorvelAppDelegate.h"
#include "rating/Appirater.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class StoreTroubleWindow : public ::testing::Test {
protected:
    // A launch starts the rating counter on a worker; it writes the user
    // defaults, which live in the home that goes with the test.
    void TearDown() override { Appirater::waitForPendingCounts(); }

    QString store() const { return home.documents() + QStringLiteral("/.Quorvel.sqlite"); }
    QString query(const QString& path, const QString& sql) const {
        const test::ToolResult r = test::runTool(QStringLiteral("sqlite3"), {path, sql});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r.out.trimmed();
    }
    void write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(home.documents());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Launches as the program does; `answer` sees the dialog and presses a button.
    bool launch(QuorvelAppDelegate& starting, const std::function<void(StoreTroubleDialog*)>& answer) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
            auto* dialog = qobject_cast<StoreTroubleDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll->stop();
            answer(dialog);
        });
        poll->start(20);
        const bool launched = StoreTroubleDialog::launch(starting);
        delete poll;
        return launched;
    }

    test::TempHome home;
    QuorvelAppDelegate delegate{false};
};

} // namespace

TEST_F(StoreTroubleWindow, ADamagedStoreIsSaidMovedAsideKeptAndANewOneWorks) {
    const QByteArray noise = QByteArray("SQLite format 3").repeated(300); // a header that lies
    write(store(), noise);
    QString shown;
    int dialogs = 0;
    ASSERT_TRUE(launch(delegate, [&](StoreTroubleDialog* dialog) {
        ++dialogs;
        shown = dialog->text() + QLatin1Char(' ') + dialog->informativeText();
        if (qEnvironmentVariableIsSet("QUORVEL_SHOT")) dialog->grab().save(qEnvironmentVariable("QUORVEL_SHOT"));
        dialog->findChild<QPushButton*>(QStringLiteral("moveAsideButton"))->click();
    }));
    EXPECT_EQ(dialogs, 1);
    const QString kept = store() + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
    EXPECT_TRUE(shown.contains(store())) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("damaged"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QFileInfo(kept).fileName())) << shown.toStdString();

    EXPECT_EQ(read(kept), noise);
    EXPECT_EQ(query(store(), QStringLiteral("PRAGMA integrity_check;")), QStringLiteral("ok"));
    EXPECT_EQ(query(store(), QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("0"));
    EXPECT_EQ(query(store(), QStringLiteral("SELECT oldRingtoneLoaded FROM AppFlags;")), QStringLiteral("1"));
}

TEST_F(StoreTroubleWindow, AStoreOfANewerVersionIsSaidAndOnlyQuitIsOffered) {
    ASSERT_TRUE(delegate.applicationDidFinishLaunchingWithOptions());
    delegate.applicationWillTerminate();
    QuorvelAppDelegate later{false};
    query(store(), QStringLiteral("PRAGMA user_version = 99;"));
    const QByteArray before = read(store());
    bool offered = true;
    QString shown;
    EXPECT_FALSE(launch(later, [&](StoreTroubleDialog* dialog) {
        offered = dialog->findChild<QPushButton*>(QStringLiteral("moveAsideButton")) != nullptr;
        shown = dialog->informativeText();
        dialog->findChild<QPushButton*>(QStringLiteral("quitButton"))->click();
    }));
    EXPECT_FALSE(offered);
    EXPECT_TRUE(shown.contains(QStringLiteral("newer version"))) << shown.toStdString();
    EXPECT_EQ(read(store()), before);
    EXPECT_EQ(QDir(home.documents()).entryList({QStringLiteral(".Quorvel.sqlite.damaged*")}, QDir::Files | QDir::Hidden),
              QStringList{});
}
