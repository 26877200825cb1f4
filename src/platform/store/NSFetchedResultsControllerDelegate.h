#pragma once
// What a live list hears from its fetched-results controller: one batch per
// round of context changes, rows reported with the index path they had
// before the batch (deletes, moves) and the one they have after it (inserts,
// moves). The change types use the platform's numbering.
#include <memory>
#include <optional>

namespace quorvel {

class NSFetchedResultsController;
class NSManagedObject;

struct NSIndexPath {
    int section = 0;
    int row = 0;
    bool operator==(const NSIndexPath&) const = default;
};

enum class NSFetchedResultsChangeType { Insert = 1, Delete = 2, Move = 3, Update = 4 };

class NSFetchedResultsControllerDelegate {
public:
    virtual ~NSFetchedResultsControllerDelegate() = default;
    virtual void controllerWillChangeContent(NSFetchedResultsController& /*controller*/) {}
    virtual void controllerDidChangeSection(NSFetchedResultsController& /*controller*/, int /*sectionIndex*/,
                                            NSFetchedResultsChangeType /*type*/) {}
    virtual void controllerDidChangeObject(NSFetchedResultsController& /*controller*/,
                                           const std::shared_ptr<NSManagedObject>& /*object*/,
                                           std::optional<NSIndexPath> /*indexPath*/, NSFetchedResultsChangeType /*type*/,
                                           std::optional<NSIndexPath> /*newIndexPath*/) {}
    virtual void controllerDidChangeContent(NSFetchedResultsController& /*controller*/) {}
};

} // namespace quorvel
