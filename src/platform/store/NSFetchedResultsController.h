#pragma once
// A live query: the objects of a fetch request in order, kept up to date with
// the inserts, changes and deletes of its context while it has a delegate,
// which hears each change as table rows (one section, no grouping: the
// section exists while there are objects).
//
// Main thread only, like its context.
#include "platform/core/NSError.h"
#include "platform/store/NSFetchRequest.h"
#include "platform/store/NSFetchedResultsControllerDelegate.h"
#include "platform/store/NSManagedObjectContext.h"

#include <memory>
#include <optional>
#include <unordered_set>

namespace quorvel {

class NSFetchedResultsController : private NSManagedObjectContextObserver {
public:
    // `sectionNameKeyPath` must be empty (one section); the cache name is kept but not used.
    NSFetchedResultsController(NSFetchRequest request, std::shared_ptr<NSManagedObjectContext> context,
                               QString sectionNameKeyPath = {}, QString cacheName = {});
    ~NSFetchedResultsController() override;
    NSFetchedResultsController(const NSFetchedResultsController&) = delete;
    NSFetchedResultsController& operator=(const NSFetchedResultsController&) = delete;

    // Fetches anew (pending changes included). False with `error` on failure;
    // the objects fetched before are kept then.
    bool performFetch(NSError* error);
    // Fetches anew and, with a delegate, reports the rows that came and went
    // since the last fetch as one batch (what other processes committed).
    bool refetch(NSError* error);

    // Not retained. Changes are followed only while a delegate is set.
    void setDelegate(NSFetchedResultsControllerDelegate* delegate) { delegate_ = delegate; }
    NSFetchedResultsControllerDelegate* delegate() const { return delegate_; }

    const NSManagedObjectList& fetchedObjects() const { return objects_; }
    int numberOfSections() const { return objects_.empty() ? 0 : 1; }
    int numberOfObjectsInSection(int section) const { return section == 0 ? int(objects_.size()) : 0; }
    std::shared_ptr<NSManagedObject> objectAtIndexPath(const NSIndexPath& indexPath) const;
    std::optional<NSIndexPath> indexPathForObject(const std::shared_ptr<NSManagedObject>& object) const;

    const NSFetchRequest& fetchRequest() const { return request_; }
    const std::shared_ptr<NSManagedObjectContext>& managedObjectContext() const { return context_; }
    const QString& cacheName() const { return cacheName_; }

private:
    void objectsDidChange(NSManagedObjectContext& context, const NSManagedObjectContextChanges& changes) override;
    bool belongs(const NSManagedObject& object) const;
    // Makes `updated` the list and tells the delegate how it differs from the
    // old one; `touched` objects that stay are reported as updated or moved.
    void takeObjectsAndReport(NSManagedObjectList updated, const std::unordered_set<const NSManagedObject*>& touched);

    NSFetchRequest request_;
    std::shared_ptr<NSManagedObjectContext> context_;
    QString cacheName_;
    NSManagedObjectList objects_;
    NSFetchedResultsControllerDelegate* delegate_ = nullptr;
};

} // namespace quorvel
