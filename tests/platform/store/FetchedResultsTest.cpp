#include "NSFetchedResultsController.h"
#include "StoreFixture.h"

#include <QDateTime>

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
