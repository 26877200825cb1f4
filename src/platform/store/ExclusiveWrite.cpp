#include "platform/store/ExclusiveWrite.h"

#include "platform/store/NSManagedObjectContext.h"

namespace quorvel {

ExclusiveWrite::ExclusiveWrite(NSManagedObjectContext* context) {
    if (context) coordinator_ = context->persistentStoreCoordinator();
    if (!coordinator_) return;
    if (coordinator_->inWriteTransaction()) {
        active_ = true; // an outer scope holds it and ends it
        return;
    }
    active_ = owner_ = coordinator_->beginWriteTransaction(&error_);
}

ExclusiveWrite::~ExclusiveWrite() {
    if (owner_) coordinator_->endWriteTransaction();
}

} // namespace quorvel
