#include "platform/store/NSEntityDescription.h"

#include "platform/core/NSException.h"
#include "platform/store/NSManagedObjectContext.h"
#include "platform/store/NSManagedObjectModel.h"

namespace quorvel {

NSEntityDescription::NSEntityDescription(QString name, std::vector<NSAttributeDescription> attributes,
                                         QString className)
    : name_(std::move(name)), className_(std::move(className)), attributes_(std::move(attributes)) {
    for (int i = 0; i < int(attributes_.size()); ++i) index_.insert(attributes_[i].name, i);
}

int NSEntityDescription::indexOfAttribute(const QString& key) const { return index_.value(key, -1); }

std::shared_ptr<const NSEntityDescription> NSEntityDescription::entityForName(const QString& name,
                                                                              NSManagedObjectContext* context) {
    if (!context)
        throw NSException(NSInvalidArgumentException,
                          QStringLiteral("+entityForName: nil is not a legal NSManagedObjectContext parameter "
                                         "searching for entity name '%1'")
                              .arg(name));
    auto coordinator = context->persistentStoreCoordinator();
    auto entity = coordinator ? coordinator->managedObjectModel()->entityNamed(name) : nullptr;
    if (!entity)
        throw NSException(NSInvalidArgumentException,
                          QStringLiteral("+entityForName: could not locate an entity named '%1' in this model.")
                              .arg(name));
    return entity;
}

std::shared_ptr<NSManagedObject> NSEntityDescription::insertNewObjectForEntityForName(
    const QString& name, NSManagedObjectContext* context) {
    return context->insertObject(entityForName(name, context));
}

} // namespace quorvel
