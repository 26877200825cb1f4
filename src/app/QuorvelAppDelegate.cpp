#include "QuorvelAppDelegate.h"

#include "Appirater.h"
#include "DBHelper.h"
#include "Log.h"
#include "Paths.h"

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
    if (fatalHandler()) fatalHandler()();
    // Nothing may touch the store after this; end at once.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

bool QuorvelAppDelegate::applicationDidFinishLaunchingWithOptions() {
    DBHelper::dbHelper().setManagedObjectContext(managedObjectContext());
    checkDB();
    if (showMainView_) showMainView_();
    Appirater::appLaunched(canPromptForRating_);
    return true;
}

void QuorvelAppDelegate::applicationWillEnterForeground() {
    checkDB();
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

void QuorvelAppDelegate::checkDB() {
    auto flags = DBHelper::dbHelper().getAppFlags();
    const int loaded = flags ? flags->oldRingtoneLoaded().value_or(0) : 0;
    if (loaded == 0)
        loadOldRingtones();
    else
        removeDeletedRingtones();
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
