#include "ringtones/DBHelper.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/core/Log.h"
#include "platform/core/NSException.h"
#include "platform/core/Paths.h"
#include "platform/store/CoreDataErrors.h"
#include "platform/store/PersistentStack.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <type_traits>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QStringList logLines;
void captureLog(const QString& line) { logLines << line; }

QString sqlite(const QString& sql) {
    ToolResult r = runTool(QStringLiteral("sqlite3"), {Paths::documentPath(kStoreFileName), sql});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return r.out.trimmed();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DBHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        logLines.clear();
        setLogSink(captureLog);
        stack = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        NSError error;
        auto context = stack->managedObjectContext(&error);
        ASSERT_TRUE(context) << error.description().toStdString();
        db().setManagedObjectContext(context);
    }
    void TearDown() override {
        db().setManagedObjectContext(nullptr);
        setLogSink(nullptr);
    }
    static DBHelper& db() { return DBHelper::dbHelper(); }

    // One finished export of `title` by `artist`; the working file holds `audio` unless empty.
    std::shared_ptr<Ringtune> exportRingtone(const QString& title, const QString& artist, const QByteArray& audio,
                                             bool* saved = nullptr) {
        auto ringtune = std::make_shared<Ringtune>(QUrl(), title, artist, QImage());
        ringtune->setTimeRange({CMTimeMake(0, 1000), CMTimeMake(29500, 1000)});
        if (!audio.isEmpty()) writeFile(Ringtune::workFilePath(), audio);
        bool ok = db().storeRingtone(ringtune, QByteArray("PNGDATA"));
        if (saved) *saved = ok;
        return ringtune;
    }

    TempHome home;
    std::unique_ptr<PersistentStack> stack;
};

TEST_F(DBHelperTest, OneInstanceThatCannotBeCopied) {
    EXPECT_EQ(&DBHelper::dbHelper(), &DBHelper::dbHelper());
    static_assert(!std::is_copy_constructible_v<DBHelper> && !std::is_copy_assignable_v<DBHelper>);
    static_assert(!std::is_default_constructible_v<DBHelper>);
}

TEST_F(DBHelperTest, ExportsCountPerTitleAndArtistAndMoveTheirFiles) {
    bool saved = false;
    auto first = exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "one", &saved);
    EXPECT_TRUE(saved);
    auto second = exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "two", &saved);
    EXPECT_TRUE(saved);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT group_concat(file || ':' || counter || ':' || title || ':' || artist || ':' "
                                    "|| duration || ':' || length(image), ' ') FROM (SELECT * FROM Ringtone LEFT JOIN Ringtone_image USING (Z_PK) ORDER BY counter)")),
              QStringLiteral("Bells-1.m4r:1:Bells:Band:29.5:7 Bells-2.m4r:2:Bells:Band:29.5:7"));
    EXPECT_EQ(first->storedFilePath(), QUrl::fromLocalFile(Paths::documentPath(QStringLiteral("Bells-1.m4r"))));
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-1.m4r"))), QByteArray("one"));
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-2.m4r"))), QByteArray("two"));
    EXPECT_FALSE(QFile::exists(Paths::documentPath(QStringLiteral("Bells.m4r"))));

    // Another artist starts its own count, but Bells-1.m4r is taken: the next
    // free number is used, so no two rows ever name one file.
    auto other = exportRingtone(QStringLiteral("Bells"), QStringLiteral("Choir"), "three", &saved);
    EXPECT_TRUE(saved);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT file || ':' || counter FROM Ringtone WHERE artist = 'Choir'")),
              QStringLiteral("Bells-3.m4r:3"));
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-1.m4r"))), QByteArray("one"));
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-3.m4r"))), QByteArray("three"));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM (SELECT file FROM Ringtone GROUP BY file HAVING count(*) > 1)")),
              QStringLiteral("0"));
}

TEST_F(DBHelperTest, ACounterFreedByADeleteIsTakenAgainOnlyWhenItWasTheHighest) {
    exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "one");
    exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "two");
    auto deleteCounter = [&](int counter) {
        auto rows = db().loadRingtonesFromDB();
        ASSERT_TRUE(rows);
        for (const auto& row : *rows)
            if (row->counter() == counter) {
                QFile::remove(Paths::documentPath(row->file()));
                db().deleteRingtone(row);
            }
        ASSERT_TRUE(db().saveContext());
    };
    deleteCounter(2);
    exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "again");
    EXPECT_EQ(sqlite(QStringLiteral("SELECT group_concat(file, ' ') FROM (SELECT file FROM Ringtone ORDER BY counter)")),
              QStringLiteral("Bells-1.m4r Bells-2.m4r"));
    deleteCounter(1);
    exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "later");
    EXPECT_EQ(sqlite(QStringLiteral("SELECT group_concat(file, ' ') FROM (SELECT file FROM Ringtone ORDER BY counter)")),
              QStringLiteral("Bells-2.m4r Bells-3.m4r"));
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-3.m4r"))), QByteArray("later"));
}

TEST_F(DBHelperTest, AFileWithoutARowIsNeverOverwritten) {
    writeFile(Paths::documentPath(QStringLiteral("Bells-1.m4r")), "someone else's");
    auto ringtune = exportRingtone(QStringLiteral("Bells"), QString(), "mine");
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-1.m4r"))), QByteArray("someone else's"));
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-2.m4r"))), QByteArray("mine"));
    EXPECT_EQ(ringtune->storedFilePath(), QUrl::fromLocalFile(Paths::documentPath(QStringLiteral("Bells-2.m4r"))));
    // No artist is stored as none, and found again as none.
    EXPECT_EQ(sqlite(QStringLiteral("SELECT counter || ':' || typeof(artist) FROM Ringtone")), QStringLiteral("2:null"));
    auto last = db().loadLastRingtoneWithTitle(QStringLiteral("Bells"), QString());
    ASSERT_TRUE(last);
    EXPECT_EQ(last->counter(), 2);
}

TEST_F(DBHelperTest, AnExportWithoutItsFileIsStillRecorded) {
    const QUrl before = QUrl::fromLocalFile(QStringLiteral("/elsewhere/previous.m4r"));
    auto ringtune = std::make_shared<Ringtune>(QUrl(), QStringLiteral("Ghost"), QStringLiteral("Band"), QImage());
    ringtune->setStoredFilePath(before);
    EXPECT_TRUE(db().storeRingtone(ringtune, QByteArray()));
    EXPECT_EQ(ringtune->storedFilePath(), before);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT file || ':' || counter || ':' || typeof(image) FROM Ringtone LEFT JOIN Ringtone_image USING (Z_PK)")),
              QStringLiteral("Ghost-1.m4r:1:null"));
    EXPECT_EQ(QDir(Paths::documentsDirectory()).entryList(QDir::Files), QStringList());
}

TEST_F(DBHelperTest, ATitleWithASlashIsStoredDirectlyInTheDocuments) {
    auto ringtune = exportRingtone(QStringLiteral("AC/DC"), QStringLiteral("Band"), "loud");
    const QString stored = ringtune->storedFilePath().toLocalFile();
    EXPECT_EQ(QFileInfo(stored).absolutePath(), QFileInfo(Paths::documentsDirectory()).absoluteFilePath());
    EXPECT_EQ(readFile(stored), QByteArray("loud"));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT title || ':' || file FROM Ringtone")),
              QStringLiteral("AC/DC:") + QFileInfo(stored).fileName());
}

TEST_F(DBHelperTest, RecordingAFoundFile) {
    const QUrl url = QUrl::fromLocalFile(Paths::documentPath(QStringLiteral("Tone_0.m4r")));
    auto row = db().storeRingtone(url);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title(), QStringLiteral("Tone_0"));
    EXPECT_EQ(row->counter(), 0);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT title || ':' || counter || ':' || typeof(artist) || typeof(duration) || "
                                    "typeof(image) || ':' || (date > 0) FROM Ringtone LEFT JOIN Ringtone_image USING (Z_PK)")),
              QStringLiteral("Tone_0:0:nullnullnull:1"));
    // A recorded name gives back its row without saving anything new.
    const QString before = sqlite(QStringLiteral("SELECT count(*) FROM Ringtone"));
    auto again = db().storeRingtone(url);
    EXPECT_EQ(again, row);
    EXPECT_FALSE(db().managedObjectContext()->hasChanges());
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM Ringtone")), before);
}

TEST_F(DBHelperTest, AppFlagsAreMadeOnceAndFoundTheNextTime) {
    EXPECT_EQ(db().getAppFlags(), nullptr);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT group_concat(oldRingtoneLoaded) FROM AppFlags")), QStringLiteral("0"));
    auto flags = db().getAppFlags();
    ASSERT_TRUE(flags);
    EXPECT_EQ(flags->oldRingtoneLoaded(), 0);
    flags->setOldRingtoneLoaded(1);
    ASSERT_TRUE(db().saveContext());
    EXPECT_EQ(sqlite(QStringLiteral("SELECT group_concat(oldRingtoneLoaded) FROM AppFlags")), QStringLiteral("1"));
    // The store takes no second row, whoever writes it.
    EXPECT_NE(runTool(QStringLiteral("sqlite3"), {Paths::documentPath(kStoreFileName),
                                                   QStringLiteral("INSERT INTO AppFlags (oldRingtoneLoaded) VALUES (0)")})
                  .exitCode,
              0);
    EXPECT_EQ(db().getAppFlags(), flags);
    // Two rows (a store written without that guard): no answer, and nothing made.
    sqlite(QStringLiteral("DROP TRIGGER Z_AppFlags_ONE_ROW; INSERT INTO AppFlags (oldRingtoneLoaded) VALUES (0)"));
    EXPECT_EQ(db().getAppFlags(), nullptr);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM AppFlags")), QStringLiteral("2"));
    NSError error;
    auto all = db().fetchAppFlags(&error);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ(all->front(), flags); // oldest first
}

TEST_F(DBHelperTest, TwoRowsNamingOneFileAreNotAnAnswer) {
    // The store refuses them...
    EXPECT_NE(runTool(QStringLiteral("sqlite3"),
                      {Paths::documentPath(kStoreFileName),
                       QStringLiteral("INSERT INTO Ringtone (file, title, counter) VALUES ('Twin.m4r', 'Twin', 0), ('Twin.m4r', 'Twin', 0)")})
                  .exitCode,
              0);
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("0"));
    // ...and where a store has them anyway, they are no answer.
    sqlite(QStringLiteral("DROP INDEX Z_Ringtone_INDEX_1; "
                          "INSERT INTO Ringtone (file, title, counter) VALUES ('Twin.m4r', 'Twin', 0), ('Twin.m4r', 'Twin', 0)"));
    EXPECT_EQ(db().loadRingtoneWithNameFromDB(QStringLiteral("Twin.m4r")), nullptr);
    // Recording that file again adds no third row.
    EXPECT_TRUE(db().storeRingtone(QUrl::fromLocalFile(Paths::documentPath(QStringLiteral("Twin.m4r")))));
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("2"));
}

TEST_F(DBHelperTest, LookupsWithoutAContextLogAndFindNothing) {
    db().setManagedObjectContext(nullptr);
    EXPECT_EQ(db().loadRingtoneWithNameFromDB(QStringLiteral("x.m4r")), nullptr);
    EXPECT_EQ(db().loadLastRingtoneWithTitle(QStringLiteral("x"), QStringLiteral("y")), nullptr);
    EXPECT_FALSE(db().loadRingtonesFromDB());
    ASSERT_EQ(logLines.size(), 2);
    EXPECT_TRUE(logLines[0].contains(QStringLiteral("entityForName")));
    EXPECT_THROW(db().getAppFlags(), NSException);
}

TEST_F(DBHelperTest, AFailedSaveIsLoggedAndItsRowWaitsForTheNextSave) {
    sqlite(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Ringtone BEGIN SELECT RAISE(ABORT, 'disk says no'); END;"));
    bool saved = true;
    auto ringtune = exportRingtone(QStringLiteral("Bells"), QStringLiteral("Band"), "audio", &saved);
    EXPECT_FALSE(saved);
    // The file is still moved, as the row it belongs to is pending.
    EXPECT_EQ(readFile(Paths::documentPath(QStringLiteral("Bells-1.m4r"))), QByteArray("audio"));
    ASSERT_EQ(logLines.size(), 2);
    EXPECT_TRUE(logLines[0].startsWith(QStringLiteral("Failed to save to data store: class DBHelper ")));
    EXPECT_TRUE(logLines[1].startsWith(QStringLiteral("  {")) && logLines[1].contains(QStringLiteral("disk says no")))
        << logLines[1].toStdString();
    EXPECT_EQ(sqlite(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("0"));

    sqlite(QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_TRUE(db().saveContext());
    EXPECT_EQ(sqlite(QStringLiteral("SELECT file FROM Ringtone")), QStringLiteral("Bells-1.m4r"));
}

TEST_F(DBHelperTest, DetailedErrorsAreLoggedOneLineEach) {
    // A context over a schema with required values, to make the save refuse two of them.
    auto model = std::make_shared<NSManagedObjectModel>(1);
    model->addEntity(NSEntityDescription(QStringLiteral("Ringtone"),
                                         {{QStringLiteral("file"), NSAttributeType::String, false},
                                          {QStringLiteral("title"), NSAttributeType::String, false}},
                                         QStringLiteral("Ringtone")));
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    ASSERT_TRUE(coordinator->addPersistentStoreWithType(
        NSSQLiteStoreType, {}, QUrl::fromLocalFile(Paths::documentPath(QStringLiteral("strict.sqlite"))), {}, nullptr));
    auto context = std::make_shared<NSManagedObjectContext>();
    context->setPersistentStoreCoordinator(coordinator);
    db().setManagedObjectContext(context);
    NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get());
    EXPECT_FALSE(db().saveContext());
    ASSERT_EQ(logLines.size(), 3);
    EXPECT_EQ(logLines[0], QStringLiteral("Failed to save to data store: class DBHelper Multiple validation errors occurred."));
    EXPECT_TRUE(logLines[1].startsWith(QStringLiteral("  DetailedError: {")) && logLines[1].contains(QStringLiteral("file")));
    EXPECT_TRUE(logLines[2].startsWith(QStringLiteral("  DetailedError: {")) && logLines[2].contains(QStringLiteral("title")));
}

} // namespace
