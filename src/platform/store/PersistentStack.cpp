#include "platform/store/PersistentStack.h"

#include "platform/core/Paths.h"
#include "platform/store/CoreDataErrors.h"

#include <QUrl>

namespace quorvel {

PersistentStack::PersistentStack(QString storePath) : storePath_(std::move(storePath)) {}

QString PersistentStack::modelDirectory() { return Paths::resourcePath(QStringLiteral("model")); }

std::shared_ptr<NSManagedObjectModel> PersistentStack::managedObjectModel(NSError* error) {
    if (!model_) model_ = NSManagedObjectModel::mergedModelFromDirectory(modelDirectory(), error);
    return model_;
}

std::shared_ptr<NSPersistentStoreCoordinator> PersistentStack::persistentStoreCoordinator(NSError* error) {
    if (coordinator_) return coordinator_;
    auto model = managedObjectModel(error);
    if (!model) return nullptr;
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, QString(), QUrl::fromLocalFile(storePath_), {},
                                                 error))
        return nullptr;
    coordinator_ = coordinator;
    return coordinator_;
}

std::shared_ptr<NSManagedObjectContext> PersistentStack::managedObjectContext(NSError* error) {
    if (context_) return context_;
    auto coordinator = persistentStoreCoordinator(error);
    if (!coordinator) return nullptr;
    context_ = std::make_shared<NSManagedObjectContext>();
    context_->setPersistentStoreCoordinator(coordinator);
    return context_;
}

} // namespace quorvel
