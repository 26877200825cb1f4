#include "StoreFixture.h"
#include "platform/store/NSFetchedResultsController.h"
#include "platform/store/NSPersistentStoreWatcher.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

struct TableLog : NSFetchedResultsControllerDelegate {
    QStringList lines;
    static QString path(const std::optional<NSIndexPath>& p) { return p ? QString::number(p->row) : QStringLiteral("-"); }
    void controllerWillChangeContent(NSFetchedResultsController&) override { lines << QStringLiteral("begin"); }
    void controllerDidChangeSection(NSFetchedResultsController&, int section, NSFetchedResultsChangeType type) override {
        lines << QStringLiteral("section %1 %2").arg(section).arg(int(type));
    }
    void controllerDidChangeObject(NSFetchedResultsController&, const std::shared_ptr<NSManagedObject>& object,
                                   std::optional<NSIndexPath> from, NSFetchedResultsChangeType type,
                                   std::optional<NSIndexPath> to) override {
        lines << QStringLiteral("%1 %2 %3>%4")
                     .arg(object->valueForKey(QStringLiteral("title")).toString())
                     .arg(int(type))
                     .arg(path(from), path(to));
    }
    void controllerDidChangeContent(NSFetchedResultsController&) override { lines << QStringLiteral("end"); }
};

} // namespace

TEST_F(StoreTest, TheLiveQueryFollowsInsertsAndDeletesNewestFirst) {
    auto dated = [&](const QString& title, qint64 seconds) {
        auto o = insert(title);
        o->setValue(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC), QStringLiteral("date"));
        return o;
    };
    NSFetchRequest request;
    request.setEntity(NSEntityDescription::entityForName(QStringLiteral("Ringtone"), context.get()));
    request.setSortDescriptors({{QStringLiteral("date"), false}});
    NSFetchedResultsController live(request, context, {}, QStringLiteral("Ringtones"));
    TableLog log;
    live.setDelegate(&log);
    ASSERT_TRUE(live.performFetch(nullptr));
    EXPECT_EQ(live.numberOfSections(), 0); // an empty store has no rows to show

    auto older = dated(QStringLiteral("Older"), 100);
    context->processPendingChanges();
    EXPECT_EQ(log.lines, (QStringList{"begin", "section 0 1", "Older 1 ->0", "end"}));

    log.lines.clear();
    auto newer = dated(QStringLiteral("Newer"), 200);
    ASSERT_TRUE(context->save(nullptr)); // a save reports what is still unreported first
    EXPECT_EQ(log.lines, (QStringList{"begin", "Newer 1 ->0", "end"}));
    EXPECT_EQ(live.objectAtIndexPath({0, 1}), older);
    EXPECT_EQ(live.indexPathForObject(newer), (NSIndexPath{0, 0}));

    log.lines.clear();
    older->setValue(QDateTime::fromSecsSinceEpoch(300, Qt::UTC), QStringLiteral("date"));
    context->processPendingChanges();
    EXPECT_EQ(log.lines, (QStringList{"begin", "Older 3 1>0", "end"}));

    log.lines.clear();
    context->deleteObject(newer);
    context->deleteObject(older);
    context->processPendingChanges();
    EXPECT_EQ(log.lines, (QStringList{"begin", "section 0 2", "Older 2 0>-", "Newer 2 1>-", "end"}));
    EXPECT_EQ(live.numberOfObjectsInSection(0), 0);

    // Without a delegate nothing is followed; a fetch catches up.
    live.setDelegate(nullptr);
    dated(QStringLiteral("Unseen"), 400);
    context->processPendingChanges();
    EXPECT_EQ(live.fetchedObjects().size(), 0u);
    ASSERT_TRUE(live.performFetch(nullptr));
    EXPECT_EQ(live.fetchedObjects().size(), 1u);
}

// Rows another program stores or deletes come into the live query through
// the watcher and a refetch, with the same change reports as its own.
TEST_F(StoreTest, TheLiveQueryFollowsAnotherProgramThroughTheWatcher) {
    auto dated = [&](NSManagedObjectContext& in, const QString& title, qint64 seconds) {
        auto o = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), &in);
        o->setValue(title, QStringLiteral("title"));
        o->setValue(title + QStringLiteral(".m4r"), QStringLiteral("file"));
        o->setValue(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC), QStringLiteral("date"));
        return o;
    };
    dated(*context, QStringLiteral("Mine"), 100);
    ASSERT_TRUE(context->save(nullptr));
    NSFetchRequest request;
    request.setEntity(NSEntityDescription::entityForName(QStringLiteral("Ringtone"), context.get()));
    request.setSortDescriptors({{QStringLiteral("date"), false}});
    NSFetchedResultsController live(request, context);
    TableLog log;
    live.setDelegate(&log);
    ASSERT_TRUE(live.performFetch(nullptr));
    NSPersistentStoreWatcher watcher(context->persistentStoreCoordinator(), 20);
    int heard = 0;
    QObject::connect(&watcher, &NSPersistentStoreWatcher::storeChanged, [&] {
        ++heard;
        ASSERT_TRUE(live.refetch(nullptr));
    });
    watcher.start();

    // This program's own save is not another program's.
    dated(*context, QStringLiteral("Also mine"), 50);
    ASSERT_TRUE(context->save(nullptr));
    log.lines.clear();
    QCoreApplication::processEvents();
    QThread::msleep(60);
    QCoreApplication::processEvents();
    EXPECT_EQ(heard, 0);

    auto other = open();
    ASSERT_TRUE(other);
    dated(*other, QStringLiteral("Theirs"), 200);
    ASSERT_TRUE(other->save(nullptr));
    ASSERT_TRUE(waitUntil([&] { return heard == 1; }, 5000));
    EXPECT_EQ(log.lines, (QStringList{"begin", "Theirs 1 ->0", "end"}));

    log.lines.clear();
    ASSERT_EQ(sqlite(path, QStringLiteral("DELETE FROM Ringtone WHERE title = 'Mine'")), QString());
    ASSERT_TRUE(waitUntil([&] { return heard == 2; }, 5000));
    EXPECT_EQ(log.lines, (QStringList{"begin", "Mine 2 1>-", "end"}));
    EXPECT_EQ(titles(live.fetchedObjects()), (QStringList{"Theirs", "Also mine"}));
}
