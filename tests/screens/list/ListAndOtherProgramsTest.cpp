// The ringtone list while quorvel-cli processes store and delete ringtones in
// the same documents folder: the list follows them, and a row that is stale
// (another program deleted it) never takes another ringtone with it.
#include "TestSupport.h"
#include "platform/core/Paths.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "screens/FileManagerViewController.h"
#include "screens/PlayViewController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// What the table would do, one line per call.
class TableLog : public FileManagerView {
public:
    void reloadData() override { lines << QStringLiteral("reload"); }
    void beginUpdates() override { lines << QStringLiteral("begin"); }
    void endUpdates() override { lines << QStringLiteral("end"); }
    void insertSection(int s, UITableViewRowAnimation) override { lines << QStringLiteral("+section %1").arg(s); }
    void deleteSection(int s, UITableViewRowAnimation) override { lines << QStringLiteral("-section %1").arg(s); }
    void reloadSection(int s, UITableViewRowAnimation) override { lines << QStringLiteral("~section %1").arg(s); }
    void insertRow(const NSIndexPath& p, UITableViewRowAnimation a) override {
        lines << QStringLiteral("+row %1%2").arg(p.row).arg(a == UITableViewRowAnimation::Fade ? " fade" : "");
    }
    void deleteRow(const NSIndexPath& p, UITableViewRowAnimation a) override {
        lines << QStringLiteral("-row %1%2").arg(p.row).arg(a == UITableViewRowAnimation::Fade ? " fade" : "");
    }
    void reloadVisibleRows() override { lines << QStringLiteral("reload visible"); }
    void showDeleteOverlay(const NSIndexPath&) override {}
    void removeDeleteOverlay() override {}
    void presentPlayViewController(std::unique_ptr<PlayViewController>) override {}
    void dismissPlayViewController(bool) override {}
    QStringList lines;
};

class ListAndOtherPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* title : {"A", "B", "C"}) {
            ASSERT_EQ(runTool(QStringLiteral("ffmpeg"),
                              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                               QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=4"),
                               QStringLiteral("-metadata"), QStringLiteral("title=%1").arg(QLatin1String(title)),
                               QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), song(QLatin1String(title))})
                          .exitCode,
                      0);
        }
        ASSERT_EQ(cli({QStringLiteral("make"), song(QStringLiteral("A"))}).exitCode, 0);
        Ringtone::registerClass();
        stack = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        DBHelper::dbHelper().setManagedObjectContext(stack->managedObjectContext());
        list = std::make_unique<FileManagerViewController>();
        list->setView(&table);
        list->viewDidLoad();
        list->viewWillAppear();
        list->viewDidAppear();
    }
    void TearDown() override {
        list.reset();
        DBHelper::dbHelper().setManagedObjectContext(nullptr);
    }
    QString song(const QString& title) const { return music.path() + QLatin1Char('/') + title + QStringLiteral(".mp3"); }
    ToolResult cli(const QStringList& args) {
        return runTool(QStringLiteral(QUORVEL_CLI), args, 120000, cliEnvironment(home.path(), music.path()));
    }
    QString stored() const {
        return runTool(QStringLiteral("sqlite3"), {Paths::documentPath(kStoreFileName),
                                                   QStringLiteral("SELECT group_concat(file, ' ') FROM "
                                                                  "(SELECT file FROM Ringtone ORDER BY file)")})
            .out.trimmed();
    }
    QString rowTitle(int row) { return list->configureCell({0, row}).title; }

    TempHome home;
    QTemporaryDir music;
    TableLog table;
    std::unique_ptr<PersistentStack> stack;
    std::unique_ptr<FileManagerViewController> list;
};

} // namespace

// With the list open: `delete A-1.m4r`, then `make c.mp3`, then Delete on the
// stale row A. Once, C's row went (it had taken A's key) and its file stayed
// without a row, never listed again.
TEST_F(ListAndOtherPrograms, DeletingAStaleRowNeverTakesAnotherRingtone) {
    ASSERT_EQ(list->numberOfRowsInSection(0), 1);
    ASSERT_EQ(rowTitle(0), QStringLiteral("A-1"));
    ASSERT_EQ(cli({QStringLiteral("delete"), QStringLiteral("A-1.m4r")}).exitCode, 0);
    ASSERT_EQ(cli({QStringLiteral("make"), song(QStringLiteral("C"))}).exitCode, 0);
    // No event has run: the list still shows A.
    ASSERT_EQ(rowTitle(0), QStringLiteral("A-1"));
    table.lines.clear();
    list->commitDeleteRow({0, 0});
    EXPECT_EQ(stored(), QStringLiteral("C-1.m4r"));
    EXPECT_TRUE(QFileInfo::exists(Paths::documentPath(QStringLiteral("C-1.m4r"))));
    // The gone row leaves the list, the new one comes in.
    ASSERT_EQ(list->numberOfRowsInSection(0), 1);
    EXPECT_EQ(rowTitle(0), QStringLiteral("C-1"));
    EXPECT_TRUE(table.lines.contains(QStringLiteral("-row 0 fade"))) << table.lines.join(", ").toStdString();
    EXPECT_TRUE(table.lines.contains(QStringLiteral("+row 0 fade"))) << table.lines.join(", ").toStdString();

    // The same from the player, when a program made a ringtone of A's file name meanwhile.
    ASSERT_EQ(cli({QStringLiteral("make"), song(QStringLiteral("A"))}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return list->numberOfRowsInSection(0) == 2; }, 5000));
    auto staleA = list->ringtoneAtIndexPath({0, 0});
    ASSERT_EQ(staleA->file(), QStringLiteral("A-1.m4r"));
    ASSERT_EQ(cli({QStringLiteral("delete"), QStringLiteral("A-1.m4r")}).exitCode, 0);
    ASSERT_EQ(cli({QStringLiteral("make"), song(QStringLiteral("A"))}).exitCode, 0); // A-1.m4r again
    PlayViewController player({});
    player.setRingtone(staleA);
    player.viewDidLoad();
    player.actionSheetDidDismissWithButtonIndex(0);
    EXPECT_EQ(stored(), QStringLiteral("A-1.m4r C-1.m4r"));
    EXPECT_TRUE(QFileInfo::exists(Paths::documentPath(QStringLiteral("A-1.m4r"))));
}

// Rows that other programs store or delete show in the open list within a
// second, with the list's fade, without reopening it.
TEST_F(ListAndOtherPrograms, TheOpenListFollowsOtherPrograms) {
    table.lines.clear();
    ASSERT_EQ(cli({QStringLiteral("make"), song(QStringLiteral("B"))}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return list->numberOfRowsInSection(0) == 2; }, 1500));
    EXPECT_EQ(rowTitle(0), QStringLiteral("B-1"));
    EXPECT_EQ(table.lines, (QStringList{"begin", "+row 0 fade", "end"}));

    table.lines.clear();
    ASSERT_EQ(cli({QStringLiteral("delete"), QStringLiteral("A-1.m4r")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return list->numberOfRowsInSection(0) == 1; }, 1500));
    EXPECT_EQ(rowTitle(0), QStringLiteral("B-1"));
    EXPECT_EQ(table.lines, (QStringList{"begin", "-row 1 fade", "end"}));

    // Behind another screen nothing is followed; coming back catches up.
    list->viewWillDisappear();
    table.lines.clear();
    ASSERT_EQ(cli({QStringLiteral("delete"), QStringLiteral("B-1.m4r")}).exitCode, 0);
    QThread::msleep(600);
    QCoreApplication::processEvents();
    EXPECT_TRUE(table.lines.isEmpty());
    list->viewWillAppear();
    EXPECT_EQ(list->numberOfRowsInSection(0), 0);
}

// A row whose file another program or the user removed says so when opened.
TEST_F(ListAndOtherPrograms, OpeningARowWhoseFileIsGoneSaysSo) {
    ASSERT_TRUE(QFile::remove(Paths::documentPath(QStringLiteral("A-1.m4r"))));
    PlayViewController player({});
    player.setRingtone(list->ringtoneAtIndexPath({0, 0}));
    player.viewDidLoad();
    EXPECT_TRUE(player.notice().contains(QStringLiteral("A-1.m4r"))) << player.notice().toStdString();
    player.playOrPauseMusic();
    EXPECT_EQ(player.playStopButtonImage(), QStringLiteral("BigPlay.png"));
    EXPECT_FALSE(player.holdsPlayer());
}
