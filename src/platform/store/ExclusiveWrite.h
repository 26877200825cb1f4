#pragma once
// Holds the store's write transaction from construction until the context's
// next save, which commits in it, or until destruction, which rolls back
// when no save came. Between the two, fetches see the newest committed rows
// and no other process can write, so a choice made from them (the next
// counter, a free file name, "no flags row yet") still holds when the row
// that uses it is saved.
//
//   ExclusiveWrite write(context.get());
//   auto rows = context->executeFetchRequest(request, &error);   // decide
//   ... insert ...
//   context->save(&error);                                      // commits
//
// When another process keeps the store busy past its timeout, isActive() is
// false and the save takes a transaction of its own. Nested scopes leave the
// outer one in charge. Same thread as the context.
#include "platform/core/NSError.h"

#include <memory>

namespace quorvel {

class NSManagedObjectContext;
class NSPersistentStoreCoordinator;

class ExclusiveWrite {
public:
    // Without a context (or a store) nothing is held.
    explicit ExclusiveWrite(NSManagedObjectContext* context);
    ~ExclusiveWrite();
    ExclusiveWrite(const ExclusiveWrite&) = delete;
    ExclusiveWrite& operator=(const ExclusiveWrite&) = delete;

    bool isActive() const { return active_; }
    // Why the transaction could not begin.
    const NSError& error() const { return error_; }

private:
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
    bool active_ = false;
    bool owner_ = false;
    NSError error_;
};

} // namespace quorvel
