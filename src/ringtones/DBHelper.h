#pragma once
// The one way into the ringtone store: creates, finds, deletes and saves
// Ringtone rows, keeps the one AppFlags row, and gives every exported
// ringtone its final file name (working name + "-" + counter + ".m4r").
//
// Every operation runs under one re-entrant lock of the singleton, so
// operations may call each other. The store context itself belongs to the
// main thread; callers are on the main thread.
#include "platform/store/NSManagedObjectContext.h"
#include "ringtones/AppFlags.h"
#include "ringtones/Ringtone.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quorvel {

class Ringtune;

// The store file's name in the documents directory.
inline const QString kStoreFileName = QStringLiteral(".Quorvel.sqlite");

class DBHelper {
public:
    static DBHelper& dbHelper();

    std::shared_ptr<NSManagedObjectContext> managedObjectContext() const;
    void setManagedObjectContext(std::shared_ptr<NSManagedObjectContext> context);

    // The one flags row. With none yet, one is made (oldRingtoneLoaded = 0)
    // and saved, and this call returns nullptr; with several, nullptr.
    std::shared_ptr<AppFlags> getAppFlags();
    // Every flags row, oldest first, so that "none", "several" and "the fetch
    // failed" (nullopt, with `error`) can be told apart. Makes nothing.
    std::optional<std::vector<std::shared_ptr<AppFlags>>> fetchAppFlags(NSError* error);
    // The one row whose file is `name`; nullptr for none or several.
    std::shared_ptr<Ringtone> loadRingtoneWithNameFromDB(const QString& name);
    // The row of that title and artist with the highest counter (pending rows
    // included); an empty artist matches rows without one.
    std::shared_ptr<Ringtone> loadLastRingtoneWithTitle(const QString& title, const QString& artist);
    // Every Ringtone row, unordered; nullopt when the fetch fails.
    std::optional<std::vector<std::shared_ptr<Ringtone>>> loadRingtonesFromDB();
    // Records a file already in the documents directory (counter 0); the
    // existing row when the name is recorded; nullptr when the save fails.
    std::shared_ptr<Ringtone> storeRingtone(const QUrl& fileURL);
    // Records a finished export and moves its file from the work name
    // (Ringtune::workFilePath) to a final name that no row and no file has,
    // never replacing a file, and sets the ringtune's storedFilePath. True
    // when the row was saved.
    bool storeRingtone(const std::shared_ptr<Ringtune>& ringtune, const QByteArray& artworkPng);
    // Deletes a stored ringtone (its file, then its row, saved) only while the
    // row is still in the store: a row another process deleted meanwhile is
    // Gone and nothing is touched. Failed (with `error`): the file could not
    // be removed (the row stays) or the store not saved.
    enum class Removal { Removed, Gone, Failed };
    Removal removeRingtone(const std::shared_ptr<Ringtone>& ringtone, QString* error = nullptr);
    // Marks the row deleted (saved by the next saveContext); the file is the caller's.
    void deleteRingtone(const std::shared_ptr<Ringtone>& ringtone);
    // Saves the context under its own lock; logs a failure.
    bool saveContext();

    DBHelper(const DBHelper&) = delete;
    DBHelper& operator=(const DBHelper&) = delete;

private:
    DBHelper();
    std::optional<NSManagedObjectList> fetchRingtones(const QString& format, const QVariantList& arguments,
                                                      const std::vector<NSSortDescriptor>& sorts, bool logErrors);
    bool fileNameTaken(const QString& name);

    mutable std::recursive_mutex lock_;
    std::shared_ptr<NSManagedObjectContext> context_;
};

} // namespace quorvel
