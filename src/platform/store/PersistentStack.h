#pragma once
// The persistent stack of the application: object model, store coordinator
// with the one SQLite store, and the one object context. Each part is made
// on first use and kept for the stack's life.
//
//   PersistentStack stack(Paths::documentPath(".Quorvel.sqlite"));
//   NSError error;
//   auto context = stack.managedObjectContext(&error); // nullptr: the store did not open
//
// Main thread only.
#include "platform/core/NSError.h"
#include "platform/store/NSManagedObjectContext.h"
#include "platform/store/NSManagedObjectModel.h"
#include "platform/store/NSPersistentStoreCoordinator.h"

#include <memory>

namespace quorvel {

class PersistentStack {
public:
    explicit PersistentStack(QString storePath);

    // The merged model of every description in the resources' "model" folder; nullptr if there is none.
    std::shared_ptr<NSManagedObjectModel> managedObjectModel(NSError* error = nullptr);
    // The coordinator with the store at the stack's path added; nullptr (and `error`) when it cannot be opened.
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator(NSError* error = nullptr);
    // The context over the coordinator; nullptr when there is no coordinator.
    std::shared_ptr<NSManagedObjectContext> managedObjectContext(NSError* error = nullptr);

    const QString& storePath() const { return storePath_; }
    static QString modelDirectory();

private:
    QString storePath_;
    std::shared_ptr<NSManagedObjectModel> model_;
    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
    std::shared_ptr<NSManagedObjectContext> context_;
};

} // namespace quorvel
