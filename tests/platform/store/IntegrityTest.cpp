// What the store file itself refuses, whatever writes to it; how a store of
// the first version is brought up to date; and the held write transaction
// that keeps other connections out between a choice and its row.
#include "StoreFixture.h"
#include "platform/store/ExclusiveWrite.h"

#include <QThread>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The schema as the first version wrote it: files and flag rows unguarded.
const char* kVersionOneModel = R"({
  "version": 1,
  "entities": [
    {"name": "Ringtone", "class": "Ringtone",
     "attributes": [
       {"name": "artist", "type": "string"}, {"name": "start", "type": "double"},
       {"name": "file", "type": "string"}, {"name": "date", "type": "date"},
       {"name": "duration", "type": "float"}, {"name": "image", "type": "binary"},
       {"name": "title", "type": "string"}, {"name": "song", "type": "string"},
       {"name": "counter", "type": "int32"}, {"name": "fadein", "type": "double"},
       {"name": "fadeout", "type": "double"}, {"name": "pitch", "type": "double"},
       {"name": "speed", "type": "double"}],
     "indexes": [["file"], ["title", "artist", "counter"]]},
    {"name": "AppFlags", "class": "AppFlags", "attributes": [{"name": "oldRingtoneLoaded", "type": "int16"}]}
  ],
  "upgrades": []
})";

std::shared_ptr<NSManagedObject> insertRow(NSManagedObjectContext& context, const QString& file,
                                           const QVariant& image = {}) {
    auto o = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), &context);
    o->setValue(file, QStringLiteral("file"));
    o->setValue(file.chopped(4), QStringLiteral("title"));
    o->setValue(image, QStringLiteral("image"));
    return o;
}

std::shared_ptr<NSManagedObject> insertFlags(NSManagedObjectContext& context, int loaded) {
    auto o = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("AppFlags"), &context);
    o->setValue(loaded, QStringLiteral("oldRingtoneLoaded"));
    return o;
}

int sqliteExit(const QString& path, const QString& sql) {
    return runTool(QStringLiteral("sqlite3"), {path, sql}).exitCode;
}

} // namespace

TEST_F(StoreTest, TheFileRefusesTwoRowsNamingOneFileAndASecondFlagsRow) {
    insertRow(*context, QStringLiteral("Bells-1.m4r"));
    insertFlags(*context, 0);
    ASSERT_TRUE(context->save(nullptr));

    // Through the context: the save fails whole and writes nothing.
    insertRow(*context, QStringLiteral("Other-1.m4r"));
    insertRow(*context, QStringLiteral("Bells-1.m4r"));
    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_TRUE(error.userInfo.value(NSReasonErrorKey).toString().contains(QStringLiteral("UNIQUE")))
        << error.description().toStdString();
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(file) FROM Ringtone")), QStringLiteral("Bells-1.m4r"));
    context = open();
    ASSERT_TRUE(context);

    insertFlags(*context, 1);
    EXPECT_FALSE(context->save(&error));
    EXPECT_TRUE(error.userInfo.value(NSReasonErrorKey).toString().contains(QStringLiteral("AppFlags holds one row")))
        << error.description().toStdString();
    context = open();

    // Through another program: the same refusals.
    EXPECT_NE(sqliteExit(path, QStringLiteral("INSERT INTO Ringtone (file) VALUES ('Bells-1.m4r')")), 0);
    EXPECT_NE(sqliteExit(path, QStringLiteral("INSERT INTO AppFlags (oldRingtoneLoaded) VALUES (1)")), 0);
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT (SELECT count(*) FROM Ringtone) || '/' || (SELECT count(*) FROM AppFlags)")),
              QStringLiteral("1/1"));
    // Rows without a file are not ringtones of one file: any number may exist.
    EXPECT_EQ(sqliteExit(path, QStringLiteral("INSERT INTO Ringtone (title) VALUES ('a'), ('b')")), 0);
}

TEST_F(StoreTest, AFirstVersionStoreIsUpgradedAndKeepsItsRows) {
    context.reset();
    QFile::remove(path);
    NSError error;
    auto versionOne = NSManagedObjectModel::modelFromJson(kVersionOneModel, &error);
    ASSERT_TRUE(versionOne) << error.description().toStdString();
    context = open(versionOne);
    ASSERT_TRUE(context);
    // What two programs at once could leave: two rows naming one file, two flag rows.
    insertRow(*context, QStringLiteral("Twin-1.m4r"), QByteArray("first"));
    insertRow(*context, QStringLiteral("Solo-1.m4r"), QByteArray("solo"));
    insertRow(*context, QStringLiteral("Twin-1.m4r"), QByteArray("second"));
    insertFlags(*context, 0);
    insertFlags(*context, 0);
    ASSERT_TRUE(context->save(nullptr));
    context.reset();

    context = open();
    ASSERT_TRUE(context) << lastError.description().toStdString();
    EXPECT_EQ(sqlite(path, QStringLiteral("PRAGMA user_version")), QStringLiteral("3"));
    // The oldest row of a shared file stays (with its artwork); the other rows are untouched.
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT r.Z_PK, file, CAST(image AS TEXT) FROM Ringtone r "
                                          "LEFT JOIN Ringtone_image i ON i.Z_PK = r.Z_PK ORDER BY r.Z_PK")),
              QStringLiteral("1|Twin-1.m4r|first\n2|Solo-1.m4r|solo"));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*) FROM Ringtone_image")), QStringLiteral("2"));
    // Flag rows are left for the start-up to settle; no new one gets in.
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*) FROM AppFlags")), QStringLiteral("2"));
    EXPECT_NE(sqliteExit(path, QStringLiteral("INSERT INTO AppFlags (oldRingtoneLoaded) VALUES (1)")), 0);
    EXPECT_NE(sqliteExit(path, QStringLiteral("INSERT INTO Ringtone (file) VALUES ('Solo-1.m4r')")), 0);
    // A fresh store and an upgraded one have the same schema.
    const QString schema = QStringLiteral("SELECT group_concat(type || ' ' || name, ', ') FROM "
                                          "(SELECT type, name FROM sqlite_master ORDER BY name)");
    const QString upgraded = sqlite(path, schema);
    context.reset();
    QFile::remove(path);
    context = open();
    ASSERT_TRUE(context);
    EXPECT_EQ(sqlite(path, schema), upgraded);
}

TEST_F(StoreTest, AnExclusiveWriteKeepsOtherConnectionsOutUntilItsSave) {
    auto other = open(); // a second connection, as another process would have
    ASSERT_TRUE(other);
    insertRow(*other, QStringLiteral("Before.m4r"));
    ASSERT_TRUE(other->save(nullptr));

    std::shared_ptr<NSManagedObject> mine;
    bool otherSaved = false;
    {
        ExclusiveWrite write(context.get());
        ASSERT_TRUE(write.isActive());
        // What the other connection committed before is seen.
        ASSERT_EQ(fetch(QStringLiteral("file = %@"), {QStringLiteral("Before.m4r")}).size(), 1u);
        // The other connection's save waits for this one; given time, it would
        // otherwise commit first and take the lower key.
        std::thread writer([&] {
            insertRow(*other, QStringLiteral("Other.m4r"));
            otherSaved = other->save(nullptr);
        });
        QThread::msleep(300);
        mine = insertRow(*context, QStringLiteral("Mine.m4r"));
        ASSERT_TRUE(context->save(nullptr));
        writer.join();
    }
    EXPECT_TRUE(otherSaved);
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(file) FROM (SELECT file FROM Ringtone ORDER BY Z_PK)")),
              QStringLiteral("Before.m4r,Mine.m4r,Other.m4r"));

    // Ended without a save, it leaves nothing held and nothing written; the
    // insert stays pending for the next save.
    {
        ExclusiveWrite write(context.get());
        ASSERT_TRUE(write.isActive());
        insertRow(*context, QStringLiteral("Pending.m4r"));
    }
    EXPECT_FALSE(context->persistentStoreCoordinator()->inWriteTransaction());
    insertRow(*other, QStringLiteral("After.m4r"));
    EXPECT_TRUE(other->save(nullptr));
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(file) FROM (SELECT file FROM Ringtone ORDER BY Z_PK)")),
              QStringLiteral("Before.m4r,Mine.m4r,Other.m4r,After.m4r,Pending.m4r"));

    // A nested scope leaves the outer one in charge.
    {
        ExclusiveWrite outer(context.get());
        {
            ExclusiveWrite inner(context.get());
            EXPECT_TRUE(inner.isActive());
        }
        EXPECT_TRUE(context->persistentStoreCoordinator()->inWriteTransaction());
    }
    EXPECT_FALSE(context->persistentStoreCoordinator()->inWriteTransaction());
}

// An object of a row that another program deleted must never reach a row
// inserted later: its delete would take that one instead.
TEST_F(StoreTest, AKeyIsNeverGivenTwiceInAFreshOrAnUpgradedStore) {
    for (bool upgraded : {false, true}) {
        SCOPED_TRACE(upgraded ? "upgraded" : "fresh");
        context.reset();
        QFile::remove(path);
        if (upgraded) {
            NSError error;
            auto versionOne = NSManagedObjectModel::modelFromJson(kVersionOneModel, &error);
            ASSERT_TRUE(versionOne);
            context = open(versionOne);
            ASSERT_TRUE(context);
            context.reset();
        }
        context = open();
        ASSERT_TRUE(context);
        auto stale = insertRow(*context, QStringLiteral("A-1.m4r"), QByteArray("a"));
        ASSERT_TRUE(context->save(nullptr));
        // Another program deletes A and stores C.
        ASSERT_EQ(sqliteExit(path, QStringLiteral("DELETE FROM Ringtone WHERE file = 'A-1.m4r'; "
                                                  "INSERT INTO Ringtone (file, title) VALUES ('C-1.m4r', 'C');")),
                  0);
        EXPECT_NE(sqlite(path, QStringLiteral("SELECT Z_PK FROM Ringtone WHERE file = 'C-1.m4r'")),
                  QString::number(stale->rowID()));
        // The stale object's delete changes nothing.
        context->deleteObject(stale);
        ASSERT_TRUE(context->save(nullptr));
        EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(file) FROM Ringtone")), QStringLiteral("C-1.m4r"));
    }
}
