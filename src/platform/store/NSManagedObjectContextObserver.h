#pragma once
// What a live list follows: the objects inserted, changed and deleted in a
// context. Reports come on the context's thread, after the changes are made
// (at the next turn of the event loop, or earlier when the context saves or
// is asked to process its pending changes), and again once they are saved.
#include <memory>
#include <vector>

namespace quorvel {

class NSManagedObject;
class NSManagedObjectContext;

struct NSManagedObjectContextChanges {
    std::vector<std::shared_ptr<NSManagedObject>> inserted;
    std::vector<std::shared_ptr<NSManagedObject>> updated;
    std::vector<std::shared_ptr<NSManagedObject>> deleted;
    bool empty() const { return inserted.empty() && updated.empty() && deleted.empty(); }
};

class NSManagedObjectContextObserver {
public:
    virtual ~NSManagedObjectContextObserver() = default;
    // Changes made in the context since the last report (not yet saved).
    virtual void objectsDidChange(NSManagedObjectContext& context, const NSManagedObjectContextChanges& changes) = 0;
    // These changes were written to the store.
    virtual void contextDidSave(NSManagedObjectContext& /*context*/, const NSManagedObjectContextChanges& /*saved*/) {}
};

} // namespace quorvel
