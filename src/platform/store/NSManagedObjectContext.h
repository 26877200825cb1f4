#pragma once
// The object context: the one place where objects of a store are inserted,
// fetched, changed, deleted and saved.
//
// Changes are pending until save(): fetches see them (pending inserts are
// found, pending deletes are not, changed values count). save() writes every
// pending change in one transaction; when it fails, nothing is written, the
// changes stay pending and the error says why. Each object of a row exists
// once per context.
//
// A context belongs to one thread at a time (the main thread in this
// application); lock()/unlock() is the context's own re-entrant lock for
// callers that must keep others out while they work with it.
#include "platform/core/NSError.h"
#include "platform/store/NSFetchRequest.h"
#include "platform/store/NSManagedObject.h"
#include "platform/store/NSManagedObjectContextObserver.h"
#include "platform/store/NSPersistentStoreCoordinator.h"

#include <QObject>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quorvel {

using NSManagedObjectList = std::vector<std::shared_ptr<NSManagedObject>>;

class NSManagedObjectContext {
public:
    NSManagedObjectContext();
    ~NSManagedObjectContext();
    NSManagedObjectContext(const NSManagedObjectContext&) = delete;
    NSManagedObjectContext& operator=(const NSManagedObjectContext&) = delete;

    void setPersistentStoreCoordinator(std::shared_ptr<NSPersistentStoreCoordinator> coordinator);
    const std::shared_ptr<NSPersistentStoreCoordinator>& persistentStoreCoordinator() const { return coordinator_; }

    // A new object of `entity`, pending insert.
    std::shared_ptr<NSManagedObject> insertObject(const std::shared_ptr<const NSEntityDescription>& entity);
    // Marks the object deleted (pending); a pending insert is simply dropped.
    void deleteObject(const std::shared_ptr<NSManagedObject>& object);

    // The request's objects, pending changes included; nullopt with `error` on failure.
    std::optional<NSManagedObjectList> executeFetchRequest(const NSFetchRequest& request, NSError* error);

    bool hasChanges() const;
    const NSManagedObjectList& insertedObjects() const { return inserted_; }
    const NSManagedObjectList& updatedObjects() const { return updated_; }
    const NSManagedObjectList& deletedObjects() const { return deleted_; }

    // Writes all pending changes in one transaction. Missing mandatory values
    // fail the save before the store is touched: one such problem is the error
    // itself, several are listed under NSDetailedErrorsKey (each entry the
    // details dictionary of one error).
    bool save(NSError* error);

    // Sends the unreported changes to the observers now.
    void processPendingChanges();
    void addObserver(NSManagedObjectContextObserver* observer);
    void removeObserver(NSManagedObjectContextObserver* observer);

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }

private:
    friend class NSManagedObject;
    QVariant loadValue(const NSManagedObject& object, int attribute);
    void objectDidChange(NSManagedObject& object);
    std::shared_ptr<NSManagedObject> objectForRow(const std::shared_ptr<const NSEntityDescription>& entity,
                                                  NSPersistentStoreCoordinator::StoredRow& row,
                                                  std::unordered_map<long long, std::weak_ptr<NSManagedObject>>& rows,
                                                  const NSManagedObject::Factory& factory);
    bool validate(NSError* error) const;
    void scheduleReport();
    bool entityHasChanges(const NSEntityDescription* entity) const;

    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
    std::recursive_mutex mutex_;
    NSManagedObjectList inserted_, updated_, deleted_;
    NSManagedObjectContextChanges unreported_;
    // Every live object of a saved row, per entity, so that a row has one object.
    std::unordered_map<const NSEntityDescription*, std::unordered_map<long long, std::weak_ptr<NSManagedObject>>>
        registered_;
    std::vector<NSManagedObjectContextObserver*> observers_;
    QObject reportContext_; // a scheduled report is dropped with this context
    bool reportScheduled_ = false;
};

} // namespace quorvel
