#include "platform/store/NSManagedObjectContext.h"

#include "platform/core/MainThread.h"
#include "platform/store/CoreDataErrors.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <unordered_set>

namespace quorvel {

NSManagedObjectContext::NSManagedObjectContext() = default;

NSManagedObjectContext::~NSManagedObjectContext() {
    // Objects may outlive their context; they must not call back into it.
    for (auto& [entity, rows] : registered_)
        for (auto& [rowID, weak] : rows)
            if (auto object = weak.lock()) object->context_ = nullptr;
    for (const auto* list : {&inserted_, &updated_, &deleted_})
        for (const auto& object : *list) object->context_ = nullptr;
}

void NSManagedObjectContext::setPersistentStoreCoordinator(std::shared_ptr<NSPersistentStoreCoordinator> coordinator) {
    coordinator_ = std::move(coordinator);
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::insertObject(
    const std::shared_ptr<const NSEntityDescription>& entity) {
    auto object = NSManagedObject::make(entity, NSManagedObject::factoryFor(*entity));
    object->context_ = this;
    object->inserted_ = true;
    object->reportedInsert_ = false;
    inserted_.push_back(object);
    unreported_.inserted.push_back(object);
    scheduleReport();
    return object;
}

void NSManagedObjectContext::deleteObject(const std::shared_ptr<NSManagedObject>& object) {
    if (!object || object->context_ != this || object->deleted_) return;
    if (object->inserted_) {
        // Never saved: it just leaves the context.
        std::erase(inserted_, object);
        object->inserted_ = false;
        object->context_ = nullptr;
        if (object->reportedInsert_) unreported_.deleted.push_back(object);
        else std::erase(unreported_.inserted, object);
        scheduleReport();
        return;
    }
    object->deleted_ = true;
    deleted_.push_back(object);
    unreported_.deleted.push_back(object);
    scheduleReport();
}

void NSManagedObjectContext::objectDidChange(NSManagedObject& object) {
    if (object.inserted_ || object.deleted_ || object.updated_) return;
    object.updated_ = true;
    auto shared = object.shared_from_this();
    updated_.push_back(shared);
    unreported_.updated.push_back(shared);
    scheduleReport();
}

QVariant NSManagedObjectContext::loadValue(const NSManagedObject& object, int attribute) {
    if (!coordinator_) return QVariant();
    return coordinator_->loadValue(*object.entity_, object.rowID_, attribute);
}

bool NSManagedObjectContext::hasChanges() const { return !inserted_.empty() || !updated_.empty() || !deleted_.empty(); }

bool NSManagedObjectContext::entityHasChanges(const NSEntityDescription* entity) const {
    for (const auto* list : {&inserted_, &updated_, &deleted_})
        for (const auto& object : *list)
            if (object->entity_.get() == entity) return true;
    return false;
}

std::shared_ptr<NSManagedObject> NSManagedObjectContext::objectForRow(
    const std::shared_ptr<const NSEntityDescription>& entity, NSPersistentStoreCoordinator::StoredRow& row,
    std::unordered_map<long long, std::weak_ptr<NSManagedObject>>& rows, const NSManagedObject::Factory& factory) {
    const auto& attributes = entity->attributes();
    auto& slot = rows[row.rowID];
    if (auto existing = slot.lock()) {
        // An unchanged object takes the stored values; a changed one keeps its own.
        if (!existing->hasChanges()) {
            for (size_t i = 0; i < attributes.size(); ++i) {
                const bool lazy = attributes[i].type == NSAttributeType::Binary;
                existing->values_[i] = lazy ? QVariant() : std::move(row.values[i]);
                existing->loaded_[i] = lazy ? 0 : 1;
            }
        }
        return existing;
    }
    auto object = NSManagedObject::make(entity, factory);
    object->context_ = this;
    object->rowID_ = row.rowID;
    object->values_ = std::move(row.values);
    for (size_t i = 0; i < attributes.size(); ++i)
        object->loaded_[i] = attributes[i].type == NSAttributeType::Binary ? 0 : 1;
    slot = object;
    return object;
}

std::optional<NSManagedObjectList> NSManagedObjectContext::executeFetchRequest(const NSFetchRequest& request,
                                                                               NSError* error) {
    const auto& entity = request.entity();
    if (!entity || !coordinator_) {
        if (error) {
            error->domain = NSCocoaErrorDomain;
            error->code = NSCoreDataError;
            error->localizedDescription = entity ? QStringLiteral("The context has no store.")
                                                 : QStringLiteral("A fetch request must have an entity.");
            error->userInfo.clear();
        }
        return std::nullopt;
    }
    const NSPredicate* predicate = request.predicate().get();
    auto rows = coordinator_->fetchRows(*entity, predicate, request.sortDescriptors(), error);
    if (!rows) return std::nullopt;
    NSManagedObjectList result;
    result.reserve(rows->size());
    auto& registered = registered_[entity.get()];
    registered.reserve(rows->size());
    const NSManagedObject::Factory factory = NSManagedObject::factoryFor(*entity);
    for (auto& row : *rows) result.push_back(objectForRow(entity, row, registered, factory));
    if (!entityHasChanges(entity.get())) return result; // already in the store's order

    // Overlay the pending changes: drop deletes, re-test changed objects, add inserts.
    auto matches = [&](const NSManagedObject& object) { return !predicate || predicate->evaluateWithObject(object); };
    std::unordered_set<const NSManagedObject*> seen;
    NSManagedObjectList merged;
    merged.reserve(result.size() + inserted_.size());
    for (auto& object : result) {
        seen.insert(object.get());
        if (object->deleted_ || (object->updated_ && !matches(*object))) continue;
        merged.push_back(std::move(object));
    }
    for (const auto& object : updated_)
        if (object->entity_ == entity && !object->deleted_ && !seen.count(object.get()) && matches(*object))
            merged.push_back(object);
    for (const auto& object : inserted_)
        if (object->entity_ == entity && matches(*object)) merged.push_back(object);
    sortObjects(merged, request.sortDescriptors());
    return merged;
}

bool NSManagedObjectContext::validate(NSError* error) const {
    QVariantList problems;
    auto check = [&](const NSManagedObject& object) {
        const auto& attributes = object.entity_->attributes();
        for (size_t i = 0; i < attributes.size(); ++i) {
            if (attributes[i].optional || object.valueAt(int(i)).isValid()) continue;
            problems.append(QVariantMap{
                {NSLocalizedDescriptionKey, QStringLiteral("%1 is a required value.").arg(attributes[i].name)},
                {NSValidationKeyErrorKey, attributes[i].name},
                {NSValidationObjectErrorKey, object.description()}});
        }
    };
    for (const auto& object : inserted_) check(*object);
    for (const auto& object : updated_)
        if (!object->deleted_) check(*object);
    if (problems.isEmpty()) return true;
    if (error) {
        error->domain = NSCocoaErrorDomain;
        if (problems.size() == 1) {
            error->code = NSValidationMissingMandatoryPropertyError;
            error->userInfo = problems.front().toMap();
            error->localizedDescription = error->userInfo.value(NSLocalizedDescriptionKey).toString();
        } else {
            error->code = NSValidationMultipleErrorsError;
            error->localizedDescription = QStringLiteral("Multiple validation errors occurred.");
            error->userInfo = {{NSDetailedErrorsKey, problems}};
        }
    }
    return false;
}

bool NSManagedObjectContext::save(NSError* error) {
    processPendingChanges();
    if (!hasChanges()) return true;
    if (!coordinator_) {
        if (error) {
            error->domain = NSCocoaErrorDomain;
            error->code = NSPersistentStoreSaveError;
            error->localizedDescription = QStringLiteral("The context has no store.");
            error->userInfo.clear();
        }
        return false;
    }
    if (!validate(error)) return false;

    std::vector<NSPersistentStoreCoordinator::Insert> inserts;
    std::vector<NSPersistentStoreCoordinator::Update> updates;
    std::vector<NSPersistentStoreCoordinator::Delete> deletes;
    inserts.reserve(inserted_.size());
    for (const auto& object : inserted_) inserts.push_back({object->entity_.get(), &object->values_});
    for (const auto& object : updated_) {
        if (object->deleted_) continue;
        std::vector<int> changed;
        for (size_t i = 0; i < object->dirty_.size(); ++i)
            if (object->dirty_[i]) changed.push_back(int(i));
        if (!changed.empty()) updates.push_back({object->entity_.get(), object->rowID_, std::move(changed), &object->values_});
    }
    deletes.reserve(deleted_.size());
    for (const auto& object : deleted_) deletes.push_back({object->entity_.get(), object->rowID_});

    std::vector<long long> rowIDs;
    if (!coordinator_->write(inserts, updates, deletes, &rowIDs, error)) return false; // all stays pending

    for (size_t i = 0; i < inserted_.size(); ++i) {
        auto& object = inserted_[i];
        object->inserted_ = false;
        object->rowID_ = rowIDs[i];
        std::fill(object->dirty_.begin(), object->dirty_.end(), 0);
        registered_[object->entity_.get()][object->rowID_] = object;
    }
    for (const auto& object : updated_) {
        object->updated_ = false;
        std::fill(object->dirty_.begin(), object->dirty_.end(), 0);
    }
    for (const auto& object : deleted_) {
        registered_[object->entity_.get()].erase(object->rowID_);
        object->context_ = nullptr;
    }
    NSManagedObjectContextChanges saved;
    saved.inserted = std::move(inserted_);
    saved.updated = std::move(updated_);
    saved.deleted = std::move(deleted_);
    inserted_.clear();
    updated_.clear();
    deleted_.clear();
    const auto observers = observers_;
    for (auto* observer : observers)
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
            observer->contextDidSave(*this, saved);
    return true;
}

void NSManagedObjectContext::processPendingChanges() {
    if (unreported_.empty()) return;
    NSManagedObjectContextChanges changes = std::move(unreported_);
    unreported_ = {};
    for (const auto& object : changes.inserted) object->reportedInsert_ = true;
    const auto observers = observers_;
    for (auto* observer : observers)
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
            observer->objectsDidChange(*this, changes);
}

void NSManagedObjectContext::scheduleReport() {
    auto* app = QCoreApplication::instance();
    if (reportScheduled_ || observers_.empty() || !app || QThread::currentThread() != app->thread()) return;
    reportScheduled_ = true;
    postToMainThread(&reportContext_, [this] {
        reportScheduled_ = false;
        processPendingChanges();
    });
}

void NSManagedObjectContext::addObserver(NSManagedObjectContextObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void NSManagedObjectContext::removeObserver(NSManagedObjectContextObserver* observer) {
    std::erase(observers_, observer);
}

} // namespace quorvel
