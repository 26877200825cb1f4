#include "app/QuorvelAppDelegate.h"

#include "app/StaleWorkFiles.h"
#include "platform/core/DocumentsLock.h"
#include "platform/core/FolderMigration.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <exception>

namespace quorvel {

namespace {
QuorvelAppDelegate::FatalHandler& fatalHandler() {
    static QuorvelAppDelegate::FatalHandler handler;
    return handler;
}
} // namespace

QuorvelAppDelegate::QuorvelAppDelegate(bool canPromptForRating)
    : canPromptForRating_(canPromptForRating), stack_(Paths::documentPath(kStoreFileName)) {}

QuorvelAppDelegate::~QuorvelAppDelegate() = default;

void QuorvelAppDelegate::setFatalHandler(FatalHandler handler) { fatalHandler() = std::move(handler); }

void QuorvelAppDelegate::unresolvedError(const NSError& error) {
    NSLog("Unresolved error %@, %@", error, error.userInfo);
    endProcess();
}

void QuorvelAppDelegate::endProcess() {
    if (fatalHandler()) fatalHandler()();
    // Nothing may touch the store after this; end at once.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

bool QuorvelAppDelegate::applicationDidFinishLaunchingWithOptions() {
    {
        // Another program on this folder may be creating the store or migrating:
        // the whole start-up work runs as one, in one process at a time.
        DocumentsLock lock(DocumentsLock::kStartUpLockName);
        if (lock.lock(startUpLockTimeout_) == DocumentsLock::Result::Busy) {
            NSLog("Another program has held the documents folder for %d seconds; nothing was changed: %@",
                  int(std::chrono::duration_cast<std::chrono::seconds>(startUpLockTimeout_).count()),
                  lock.errorString());
            endProcess();
        }
        // A lock file that cannot be made (a full or read-only disk) leaves
        // the start unguarded rather than impossible: listing and deleting
        // are what frees the disk.
        if (!lock.isLocked()) NSLog("Starting without the documents folder's lock: %@", lock.errorString());
        FolderMigration::moveOldFiles();
        storeTrouble_.reset();
        NSError error;
        if (!stack_.persistentStoreCoordinator(&error)) {
            storeTrouble_.emplace(stack_.storePath(), error);
            NSLog("The store cannot be opened: %@", error);
            return false;
        }
        DBHelper::dbHelper().setManagedObjectContext(managedObjectContext());
        if (!checkDB(&error)) {
            // A store that opens but cannot be read is damaged all the same.
            DBHelper::dbHelper().setManagedObjectContext(nullptr);
            stack_ = PersistentStack(stack_.storePath());
            storeTrouble_.emplace(stack_.storePath(), error);
            NSLog("The store cannot be read: %@", error);
            return false;
        }
    }
    // What an export that never finished left (its program was killed).
    StaleWorkFiles::remove();
    if (showMainView_) showMainView_();
    Appirater::appLaunched(canPromptForRating_);
    return true;
}

bool QuorvelAppDelegate::moveDamagedStoreAside(QString* keptAs, QString* error) {
    if (!storeTrouble_) return true;
    DocumentsLock lock(DocumentsLock::kStartUpLockName);
    if (lock.lock(startUpLockTimeout_) == DocumentsLock::Result::Busy) {
        if (error) *error = lock.errorString();
        return false;
    }
    if (!storeTrouble_->moveAside(QDate::currentDate(), keptAs, error)) return false;
    NSLog("The damaged store is kept as %@", keptAs ? *keptAs : QString());
    storeTrouble_.reset();
    return true;
}

void QuorvelAppDelegate::applicationWillEnterForeground() {
    // The clean-up can wait for the next return when another program is
    // starting on this folder; the main thread does not.
    DocumentsLock lock(DocumentsLock::kStartUpLockName);
    if (lock.tryLock() == DocumentsLock::Result::Busy) {
        NSLog("The store's clean-up waits for the next return: %@", lock.errorString());
    } else {
        NSError error;
        if (!checkDB(&error)) NSLog("The store's clean-up did not run: %@", error);
    }
    Appirater::appEnteredForeground(canPromptForRating_);
}

void QuorvelAppDelegate::applicationDidEnterBackground() { saveContextOrDie(); }

void QuorvelAppDelegate::applicationWillTerminate() { saveContextOrDie(); }

void QuorvelAppDelegate::saveContextOrDie() {
    auto context = managedObjectContext();
    if (!context || !context->hasChanges()) return;
    NSError error;
    if (!context->save(&error)) unresolvedError(error);
}

std::shared_ptr<NSManagedObjectModel> QuorvelAppDelegate::managedObjectModel() {
    return stack_.managedObjectModel();
}

std::shared_ptr<NSPersistentStoreCoordinator> QuorvelAppDelegate::persistentStoreCoordinator() {
    NSError error;
    auto coordinator = stack_.persistentStoreCoordinator(&error);
    if (!coordinator) unresolvedError(error);
    return coordinator;
}

std::shared_ptr<NSManagedObjectContext> QuorvelAppDelegate::managedObjectContext() {
    if (!persistentStoreCoordinator()) return nullptr;
    return stack_.managedObjectContext();
}

QString QuorvelAppDelegate::applicationDocumentsDirectory() { return Paths::documentsDirectory(); }

bool QuorvelAppDelegate::checkDB(NSError* error) {
    DBHelper& db = DBHelper::dbHelper();
    // A flags row that cannot be read says nothing about the migration:
    // stop rather than rename every ringtone again.
    auto flags = db.fetchAppFlags(error);
    if (!flags) return false;
    if (flags->empty()) {
        db.getAppFlags(); // makes the row with oldRingtoneLoaded = 0
        // Files are only renamed once the row that marks the migration is
        // stored; otherwise the next start would rename them again.
        auto context = managedObjectContext();
        if (context->hasChanges() && !context->save(error)) return false;
        loadOldRingtones();
    } else if (flags->size() > 1) {
        // Only start-ups that migrated made these rows: keep the oldest, marked done.
        flags->front()->setOldRingtoneLoaded(1);
        for (size_t i = 1; i < flags->size(); ++i) managedObjectContext()->deleteObject((*flags)[i]);
        if (!db.saveContext()) NSLog("The extra AppFlags rows stay until the next save.");
        removeDeletedRingtones();
    } else if (flags->front()->oldRingtoneLoaded().value_or(0) == 0) {
        loadOldRingtones();
    } else {
        removeDeletedRingtones();
    }
    return true;
}

void QuorvelAppDelegate::loadOldRingtones() {
    try {
        const QString docs = applicationDocumentsDirectory();
        // Hidden entries (the store, work files) are never listed. Folders are
        // not ringtones and stay where they are.
        const QStringList names = QDir(docs).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QString& name : names) {
            // The name without its extension (its last four characters), plus "_0.m4r".
            const QString stem = name.left(std::max<qsizetype>(0, name.size() - 4));
            const QString target = docs + QLatin1Char('/') + stem + QStringLiteral("_0.m4r");
            QFile::rename(docs + QLatin1Char('/') + name, target); // a failed move is ignored
            DBHelper::dbHelper().storeRingtone(QUrl::fromLocalFile(target));
            Appirater::userDidSignificantEvent(canPromptForRating_);
        }
        auto flags = DBHelper::dbHelper().getAppFlags();
        if (flags) {
            flags->setOldRingtoneLoaded(1);
            NSError ignored;
            managedObjectContext()->save(&ignored);
        }
    } catch (const std::exception& e) {
        NSLog("Exception: %@", e.what());
    }
}

void QuorvelAppDelegate::removeDeletedRingtones() {
    try {
        DBHelper& db = DBHelper::dbHelper();
        const QString docs = applicationDocumentsDirectory();
        if (auto rows = db.loadRingtonesFromDB()) {
            for (const auto& row : *rows)
                if (!QFileInfo::exists(docs + QLatin1Char('/') + row->file())) db.deleteRingtone(row);
        }
        db.saveContext();
    } catch (const std::exception& e) {
        NSLog("Exception: %@", e.what());
    }
}

} // namespace quorvel
