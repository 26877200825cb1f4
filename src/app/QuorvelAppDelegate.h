#pragma once
// The object the program hands control to: it owns the persistent stack of
// the ringtone store, gives its context to DBHelper, reconciles the store with
// the ringtone files at start-up and on every return to the foreground, saves
// pending changes when the program goes to the background or ends, and
// reports launches to the rating prompt.
//
// Main thread only.
#include "app/StoreTrouble.h"
#include "platform/store/PersistentStack.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quorvel {

class QuorvelAppDelegate {
public:
    // canPromptForRating: whether the rating prompt may be shown (a program
    // without a window passes false; the counts are kept either way).
    explicit QuorvelAppDelegate(bool canPromptForRating = true);
    ~QuorvelAppDelegate();

    // Shows the editor once the store is open and reconciled.
    void setShowMainView(std::function<void()> show) { showMainView_ = std::move(show); }

    // False when the store cannot be opened or read (storeTrouble() says
    // why): nothing was changed then, nothing shown. Called again once the
    // trouble is dealt with, it starts over.
    bool applicationDidFinishLaunchingWithOptions();
    const std::optional<StoreTrouble>& storeTrouble() const { return storeTrouble_; }
    // Keeps a damaged store under a dated name beside it (under the start-up
    // lock), so that the next launch starts a new one.
    bool moveDamagedStoreAside(QString* keptAs, QString* error);
    void applicationWillEnterForeground();
    void applicationDidEnterBackground();
    void applicationWillTerminate();

    std::shared_ptr<NSManagedObjectModel> managedObjectModel();
    std::shared_ptr<NSPersistentStoreCoordinator> persistentStoreCoordinator();
    std::shared_ptr<NSManagedObjectContext> managedObjectContext();

    // Chooses between the one-time migration and the clean-up. False (with
    // `error`) when the flags row could not be read or made: nothing was
    // renamed then.
    bool checkDB(NSError* error = nullptr);
    void loadOldRingtones();
    void removeDeletedRingtones();
    static QString applicationDocumentsDirectory();

    // How the process ends after an unrecoverable store error (tests replace it).
    using FatalHandler = std::function<void()>;
    static void setFatalHandler(FatalHandler handler);
    // How long the start-up waits for another program's start-up on the same folder.
    void setStartUpLockTimeout(std::chrono::milliseconds timeout) { startUpLockTimeout_ = timeout; }

    QuorvelAppDelegate(const QuorvelAppDelegate&) = delete;
    QuorvelAppDelegate& operator=(const QuorvelAppDelegate&) = delete;

private:
    void saveContextOrDie();
    [[noreturn]] static void unresolvedError(const NSError& error);
    [[noreturn]] static void endProcess();

    bool canPromptForRating_;
    PersistentStack stack_;
    std::function<void()> showMainView_;
    std::optional<StoreTrouble> storeTrouble_;
    std::chrono::milliseconds startUpLockTimeout_{std::chrono::seconds(60)};
};

} // namespace quorvel
