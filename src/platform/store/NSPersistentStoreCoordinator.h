#pragma once
// Joins an object model to one SQLite store file and does every read and
// write of that file for the contexts above it.
//
// Opening checks the file before SQLite may touch it: a file that is not an
// SQLite database, belongs to another application, has tables that do not
// fit the model or was written by a newer version is refused with an error
// and left exactly as it was. A missing (or empty) file gets a fresh store,
// built beside it and renamed into place, so a half-made store never exists.
// An older store is brought up to date by the model's upgrade steps in one
// transaction. Unique indexes and single-row entities of the model are
// enforced by the file itself, whatever writes to it. Each entity is a table
// of its name (key Z_PK, never given twice); binary
// attributes live in tables of their own ("<Entity>_<attribute>", same key)
// so that fetching rows never reads artwork. Writes go through SQLite's
// write-ahead log with synchronous=FULL: one sync per save, and a save is
// all there or not there after a crash. Several processes may open one
// file: a writer waits up to kBusyTimeoutMs for another one to finish.
//
// Thread-safe: calls are serialised by an internal lock. A held write
// transaction (beginWriteTransaction) belongs to the thread that began it.
#include "platform/core/NSError.h"
#include "platform/store/NSManagedObjectModel.h"
#include "platform/store/NSSortDescriptor.h"
#include "platform/store/SqliteDatabase.h"
#include "platform/store/SqliteTransaction.h"

#include <QUrl>
#include <QVariantMap>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quorvel {

class NSPredicate;

class NSPersistentStoreCoordinator {
public:
    explicit NSPersistentStoreCoordinator(std::shared_ptr<const NSManagedObjectModel> model);
    ~NSPersistentStoreCoordinator();
    NSPersistentStoreCoordinator(const NSPersistentStoreCoordinator&) = delete;
    NSPersistentStoreCoordinator& operator=(const NSPersistentStoreCoordinator&) = delete;

    const std::shared_ptr<const NSManagedObjectModel>& managedObjectModel() const { return model_; }

    // Adds the one store: `storeType` must be NSSQLiteStoreType and `storeURL`
    // a file URL. Configuration and options are not used. False with `error`
    // filled when the store cannot be opened.
    bool addPersistentStoreWithType(const QString& storeType, const QString& configuration, const QUrl& storeURL,
                                    const QVariantMap& options, NSError* error);
    QString storePath() const;

    // Used by the contexts.
    struct StoredRow {
        long long rowID = 0;
        std::vector<QVariant> values; // binary attributes are left out (invalid) and loaded on demand
    };
    std::optional<std::vector<StoredRow>> fetchRows(const NSEntityDescription& entity, const NSPredicate* predicate,
                                                    const std::vector<NSSortDescriptor>& sorts, NSError* error);
    QVariant loadValue(const NSEntityDescription& entity, long long rowID, int attribute);

    struct Insert {
        const NSEntityDescription* entity;
        const std::vector<QVariant>* values;
    };
    struct Update {
        const NSEntityDescription* entity;
        long long rowID;
        std::vector<int> attributes; // the changed ones
        const std::vector<QVariant>* values;
    };
    struct Delete {
        const NSEntityDescription* entity;
        long long rowID;
    };
    // Writes all in one transaction; on success `newRowIDs` holds the keys of
    // the inserts in order. On failure nothing is written.
    bool write(const std::vector<Insert>& inserts, const std::vector<Update>& updates,
               const std::vector<Delete>& deletes, std::vector<long long>* newRowIDs, NSError* error);

    // A number that changes whenever another connection (another process,
    // or another coordinator on the same file) has committed a change since
    // the last call; this coordinator's own writes leave it as it is.
    long long dataVersion();

    // A write transaction held across calls, for a read-decide-write step
    // that no other process may interleave: fetches in it read the newest
    // committed rows, and no other connection writes until it ends. The next
    // write() commits in it; endWriteTransaction() rolls back what no write()
    // committed. False (and `error`) when another connection kept the store
    // busy. Beginning while one is held changes nothing.
    bool beginWriteTransaction(NSError* error);
    void endWriteTransaction();
    bool inWriteTransaction() const;

    // The application id written into every store file's header.
    static constexpr quint32 kApplicationId = 0x5172766C; // "Qrvl"
    // How long a write waits for another connection's write to end.
    static constexpr int kBusyTimeoutMs = 5000;

private:
    bool createStore(const QString& path, NSError* error);
    bool checkHeader(const QString& path, NSError* error);
    bool openExisting(const QString& path, NSError* error);
    bool upgrade(NSError* error);
    bool checkTables(NSError* error);
    bool createTables();
    QVariant readValue(const SqliteStatement& statement, int column, const NSAttributeDescription& attribute);
    void fillError(NSError* error, long long code, const QString& description, const QString& reason);
    // The parts of write(); each keeps the connection's error when it fails.
    bool writeInsert(const Insert& insert, std::vector<long long>* rowIDs);
    bool writeUpdate(const Update& update);
    bool writeDelete(const Delete& del);
    bool writeBinary(const NSEntityDescription& entity, int index, long long rowID, const QVariant& value);
    bool run(SqliteStatement* statement);

    std::shared_ptr<const NSManagedObjectModel> model_;
    mutable std::mutex mutex_;
    SqliteDatabase db_;
    QString path_;
    std::unique_ptr<SqliteTransaction> held_; // declared after db_: rolled back before it closes
};

} // namespace quorvel
