#include "StoreFixture.h"
#include "platform/store/CoreDataErrors.h"

#include <QCoreApplication>
#include <QDateTime>

using namespace quorvel;
using namespace quorvel::test;

TEST_F(StoreTest, FetchesSeePendingInsertsAndNotPendingDeletes) {
    insert(QStringLiteral("Saved"), QStringLiteral("Band"), 1);
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT title, artist, counter, file FROM Ringtone")),
              QStringLiteral("Saved|Band|1|Saved.m4r"));

    auto pending = insert(QStringLiteral("Pending"));
    EXPECT_TRUE(context->hasChanges());
    auto found = fetch(QStringLiteral("file = %@"), {QStringLiteral("Pending.m4r")});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], pending);
    EXPECT_TRUE(found[0]->isInserted());

    auto saved = fetch(QStringLiteral("file = %@"), {QStringLiteral("Saved.m4r")});
    ASSERT_EQ(saved.size(), 1u);
    context->deleteObject(saved[0]);
    EXPECT_TRUE(fetch(QStringLiteral("file = %@"), {QStringLiteral("Saved.m4r")}).empty());
    EXPECT_EQ(titles(fetch()), QStringList{QStringLiteral("Pending")});
    // Nothing reached the file yet.
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(title) FROM Ringtone")), QStringLiteral("Saved"));

    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(title) FROM Ringtone")), QStringLiteral("Pending"));
    EXPECT_GT(pending->rowID(), 0);
}

TEST_F(StoreTest, NoArtistMatchesRowsWithoutArtistInStoreAndPending) {
    insert(QStringLiteral("Bells"), {}, 1);
    insert(QStringLiteral("Bells"), QStringLiteral("Band"), 5);
    ASSERT_TRUE(context->save(nullptr));
    insert(QStringLiteral("Bells"), {}, 2);
    const QString format = QStringLiteral("(title = %@) AND (artist = %@)");
    auto none = fetch(format, {QStringLiteral("Bells"), QVariant()}, {{QStringLiteral("counter"), false}});
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(none[0]->valueForKey(QStringLiteral("counter")).toInt(), 2);
    EXPECT_EQ(none[1]->valueForKey(QStringLiteral("counter")).toInt(), 1);
    // A null QString is no artist too.
    EXPECT_EQ(fetch(format, {QStringLiteral("Bells"), QString()}).size(), 2u);
    auto band = fetch(format, {QStringLiteral("Bells"), QStringLiteral("Band")});
    ASSERT_EQ(band.size(), 1u);
    EXPECT_EQ(band[0]->valueForKey(QStringLiteral("counter")).toInt(), 5);
    // Equality is exact and case-sensitive.
    EXPECT_TRUE(fetch(format, {QStringLiteral("bells"), QStringLiteral("Band")}).empty());
}

TEST_F(StoreTest, MergedFetchKeepsSortOrderAndRetestsChangedObjects) {
    insert(QStringLiteral("A"), {}, 1);
    insert(QStringLiteral("C"), {}, 3);
    ASSERT_TRUE(context->save(nullptr));
    insert(QStringLiteral("B"), {}, 2);
    insert(QStringLiteral("N")); // no counter: sorts last when descending
    EXPECT_EQ(titles(fetch({}, {}, {{QStringLiteral("counter"), false}})),
              (QStringList{"C", "B", "A", "N"}));
    EXPECT_EQ(titles(fetch({}, {}, {{QStringLiteral("counter"), true}})),
              (QStringList{"N", "A", "B", "C"}));

    // A changed saved object is judged by its new values.
    auto a = fetch(QStringLiteral("title = %@"), {QStringLiteral("A")});
    ASSERT_EQ(a.size(), 1u);
    a[0]->setValue(QStringLiteral("Z"), QStringLiteral("title"));
    EXPECT_TRUE(a[0]->isUpdated());
    EXPECT_TRUE(fetch(QStringLiteral("title = %@"), {QStringLiteral("A")}).empty());
    EXPECT_EQ(fetch(QStringLiteral("title = %@"), {QStringLiteral("Z")}).size(), 1u);
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT title FROM Ringtone WHERE counter = 1")), QStringLiteral("Z"));
}

TEST_F(StoreTest, ARowIsOneObjectAndValuesRoundTrip) {
    auto o = insert(QStringLiteral("Round"), QStringLiteral("Trip"), 7);
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    o->setValue(when, QStringLiteral("date"));
    o->setValue(29.5f, QStringLiteral("duration"));
    o->setValue(QByteArray("\x89PNG\r\n", 6), QStringLiteral("image"));
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT duration, length(image), typeof(start) FROM Ringtone LEFT JOIN Ringtone_image USING (Z_PK)")),
              QStringLiteral("29.5|6|null"));

    auto first = fetch(), second = fetch();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], second[0]);

    // A fresh context on the same file reads what was written, artwork on demand.
    context.reset();
    context = open();
    ASSERT_TRUE(context);
    auto back = fetch();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->valueForKey(QStringLiteral("date")).toDateTime(), when);
    EXPECT_EQ(back[0]->valueForKey(QStringLiteral("duration")).toFloat(), 29.5f);
    EXPECT_EQ(back[0]->valueForKey(QStringLiteral("counter")).toInt(), 7);
    EXPECT_EQ(back[0]->valueForKey(QStringLiteral("image")).toByteArray(), QByteArray("\x89PNG\r\n", 6));
    EXPECT_FALSE(back[0]->valueForKey(QStringLiteral("start")).isValid());
    EXPECT_THROW(back[0]->valueForKey(QStringLiteral("nope")), NSException);
}

TEST_F(StoreTest, FailedSaveWritesNothingAndKeepsChangesPending) {
    insert(QStringLiteral("Keep"), {}, 1);
    ASSERT_TRUE(context->save(nullptr));
    // A trigger added from outside makes the store refuse one row.
    sqlite(path, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Ringtone WHEN NEW.title = 'Refused' "
                                "BEGIN SELECT RAISE(ABORT, 'refused by test'); END;"));
    auto good = insert(QStringLiteral("Good"));
    auto bad = insert(QStringLiteral("Refused"));
    context->deleteObject(fetch(QStringLiteral("title = %@"), {QStringLiteral("Keep")}).at(0));

    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, NSPersistentStoreSaveError);
    EXPECT_TRUE(error.userInfo.value(NSReasonErrorKey).toString().contains(QStringLiteral("refused by test")));
    EXPECT_TRUE(context->hasChanges());
    EXPECT_TRUE(good->isInserted());
    EXPECT_EQ(good->rowID(), 0);
    EXPECT_EQ(context->deletedObjects().size(), 1u);
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(title) FROM Ringtone")), QStringLiteral("Keep"));
    EXPECT_EQ(titles(fetch({}, {}, {{QStringLiteral("title"), true}})), (QStringList{"Good", "Refused"}));

    sqlite(path, QStringLiteral("DROP TRIGGER refuse"));
    ASSERT_TRUE(context->save(&error));
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT group_concat(title, ',') FROM (SELECT title FROM Ringtone ORDER BY title)")),
              QStringLiteral("Good,Refused"));
}

TEST_F(StoreTest, MissingMandatoryValuesAreListedAsDetailedErrors) {
    auto model = std::make_shared<NSManagedObjectModel>(1);
    model->addEntity(NSEntityDescription(QStringLiteral("Note"),
                                         {{QStringLiteral("text"), NSAttributeType::String, false},
                                          {QStringLiteral("when"), NSAttributeType::Date, false}}));
    path = home.documents() + QStringLiteral("/notes.sqlite");
    context = open(model);
    ASSERT_TRUE(context);
    auto note = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Note"), context.get());
    NSError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, NSValidationMultipleErrorsError);
    const QVariantList detailed = error.userInfo.value(NSDetailedErrorsKey).toList();
    ASSERT_EQ(detailed.size(), 2);
    EXPECT_EQ(detailed[0].toMap().value(NSValidationKeyErrorKey).toString(), QStringLiteral("text"));
    EXPECT_EQ(detailed[1].toMap().value(NSValidationKeyErrorKey).toString(), QStringLiteral("when"));

    note->setValue(QStringLiteral("hello"), QStringLiteral("text"));
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, NSValidationMissingMandatoryPropertyError);
    EXPECT_EQ(error.userInfo.value(NSValidationKeyErrorKey).toString(), QStringLiteral("when"));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*) FROM Note")), QStringLiteral("0"));

    note->setValue(QDateTime::currentDateTimeUtc(), QStringLiteral("when"));
    EXPECT_TRUE(context->save(&error));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT text FROM Note")), QStringLiteral("hello"));
}

namespace {
struct Recorder : NSManagedObjectContextObserver {
    std::vector<NSManagedObjectContextChanges> changes, saves;
    void objectsDidChange(NSManagedObjectContext&, const NSManagedObjectContextChanges& c) override {
        changes.push_back(c);
    }
    void contextDidSave(NSManagedObjectContext&, const NSManagedObjectContextChanges& c) override {
        saves.push_back(c);
    }
};
} // namespace

TEST_F(StoreTest, ObserversHearInsertsAndDeletesWithTheObjects) {
    Recorder recorder;
    context->addObserver(&recorder);
    auto a = insert(QStringLiteral("A"));
    auto gone = insert(QStringLiteral("Gone"));
    context->deleteObject(gone); // never reported: it came and went within one turn
    EXPECT_TRUE(recorder.changes.empty()); // reported at the next turn of the event loop
    ASSERT_TRUE(waitUntil([&] { return !recorder.changes.empty(); }, 5000));
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].inserted, NSManagedObjectList{a});
    EXPECT_TRUE(recorder.changes[0].deleted.empty());

    ASSERT_TRUE(context->save(nullptr));
    ASSERT_EQ(recorder.saves.size(), 1u);
    EXPECT_EQ(recorder.saves[0].inserted, NSManagedObjectList{a});

    context->deleteObject(a);
    context->processPendingChanges();
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_EQ(recorder.changes[1].deleted, NSManagedObjectList{a});
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(recorder.saves.back().deleted, NSManagedObjectList{a});
    EXPECT_EQ(a->managedObjectContext(), nullptr);

    context->removeObserver(&recorder);
    insert(QStringLiteral("Quiet"));
    context->processPendingChanges();
    EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST_F(StoreTest, AReportScheduledByAContextThatIsGoneIsDropped) {
    Recorder recorder;
    context->addObserver(&recorder);
    insert(QStringLiteral("Unsaved")); // schedules the report for the next turn
    context.reset();
    bool turned = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { turned = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(waitUntil([&] { return turned; }, 5000));
    EXPECT_TRUE(recorder.changes.empty()) << "a destroyed context reported its changes";
}

TEST(NSPredicate, ParsesTheFormatsAndRejectsOthers) {
    EXPECT_NO_THROW(NSPredicate::predicateWithFormat(QStringLiteral("file = %@"), QStringLiteral("a")));
    EXPECT_NO_THROW(NSPredicate::predicateWithFormat(QStringLiteral("(title == %@) AND (artist = %@)"),
                                                     QStringLiteral("t"), QString()));
    EXPECT_THROW(NSPredicate::predicateWithFormat(QStringLiteral("file = %@"), QVariantList{}), NSException);
    EXPECT_THROW(NSPredicate::predicateWithFormat(QStringLiteral("(file = %@"), QStringLiteral("a")), NSException);
    EXPECT_THROW(NSPredicate::predicateWithFormat(QStringLiteral("file LIKE %@"), QStringLiteral("a")), NSException);
}

TEST_F(StoreTest, ArtworkGoesWithItsRowAndChangesInPlace) {
    auto o = insert(QStringLiteral("Art"));
    o->setValue(QByteArray(5000, 'a'), QStringLiteral("image"));
    insert(QStringLiteral("Plain"));
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*), sum(length(image)) FROM Ringtone_image")),
              QStringLiteral("1|5000"));
    o->setValue(QByteArray(10, 'b'), QStringLiteral("image"));
    ASSERT_TRUE(context->save(nullptr));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*), sum(length(image)) FROM Ringtone_image")),
              QStringLiteral("1|10"));
    // A row deleted from outside takes its artwork with it.
    sqlite(path, QStringLiteral("DELETE FROM Ringtone WHERE title = 'Art'"));
    EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*) FROM Ringtone_image")), QStringLiteral("0"));
}
