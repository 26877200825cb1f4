#include "screens/FileManagerViewController.h"

#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "screens/StoredRingtoneText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quorvel {

FileManagerViewController::FileManagerViewController(RingtoneFilePlayerFactory playerFactory, QObject* parent)
    : QObject(parent), playerFactory_(std::move(playerFactory)) {}

FileManagerViewController::~FileManagerViewController() {
    if (fetchedResultsController_) fetchedResultsController_->setDelegate(nullptr);
}

NSFetchedResultsController& FileManagerViewController::fetchedResultsController() {
    if (!fetchedResultsController_) {
        auto context = DBHelper::dbHelper().managedObjectContext();
        NSFetchRequest request;
        request.setEntity(NSEntityDescription::entityForName(QStringLiteral("Ringtone"), context.get()));
        request.setSortDescriptors({NSSortDescriptor{QStringLiteral("date"), false}});
        fetchedResultsController_ = std::make_unique<NSFetchedResultsController>(
            std::move(request), context, QString(), QStringLiteral("Ringtones"));
    }
    return *fetchedResultsController_;
}

bool FileManagerViewController::fetch(bool fatal) {
    NSError error;
    if (fetchedResultsController().performFetch(&error)) return true;
    NSLog("Unresolved error %@, %@", error, error.userInfo);
    if (fatal) {
        if (fatalHandler_) {
            fatalHandler_();
        } else {
            std::fflush(nullptr);
            std::_Exit(EXIT_FAILURE);
        }
    }
    return false;
}

void FileManagerViewController::viewDidLoad() {
    QUORVEL_ASSERT_MAIN_THREAD();
    viewLoaded_ = true;
    fetch(true);
}

void FileManagerViewController::viewWillAppear() {
    QUORVEL_ASSERT_MAIN_THREAD();
    // Fetched again, so that rows written by another program meanwhile show too.
    if (viewLoaded_) fetch(false);
    fetchedResultsController().setDelegate(this);
    // While on screen, what other programs store or delete comes in as it happens.
    if (!storeWatcher_) {
        auto context = fetchedResultsController().managedObjectContext();
        storeWatcher_ = std::make_unique<NSPersistentStoreWatcher>(context ? context->persistentStoreCoordinator()
                                                                           : nullptr);
        connect(storeWatcher_.get(), &NSPersistentStoreWatcher::storeChanged, this,
                &FileManagerViewController::storeChangedElsewhere);
    }
    storeWatcher_->start();
}

void FileManagerViewController::storeChangedElsewhere() {
    NSError error;
    if (!fetchedResultsController().refetch(&error)) NSLog("Unresolved error %@, %@", error, error.userInfo);
}

void FileManagerViewController::viewDidAppear() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->reloadData();
}

void FileManagerViewController::viewWillDisappear() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (storeWatcher_) storeWatcher_->stop();
    fetchedResultsController().setDelegate(nullptr);
}

void FileManagerViewController::back() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (delegate_) delegate_->fileManagerControllerDidFinish(this);
}

int FileManagerViewController::numberOfSections() {
    return std::max(1, fetchedResultsController().numberOfSections());
}

int FileManagerViewController::numberOfRowsInSection(int section) {
    auto& frc = fetchedResultsController();
    if (frc.numberOfSections() == 0) return 0;
    return frc.numberOfObjectsInSection(section);
}

std::shared_ptr<Ringtone> FileManagerViewController::ringtoneAtIndexPath(const NSIndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= numberOfRowsInSection(indexPath.section)) return nullptr;
    return std::dynamic_pointer_cast<Ringtone>(fetchedResultsController().objectAtIndexPath(indexPath));
}

FMCellContent FileManagerViewController::configureCell(const NSIndexPath& indexPath) {
    FMCellContent cell{};
    auto ringtone = ringtoneAtIndexPath(indexPath);
    if (!ringtone) return cell;
    cell.title = StoredRingtoneText::titleWithCounter(*ringtone);
    cell.artist = ringtone->artist();
    cell.durationShown = StoredRingtoneText::isDurationShown(*ringtone);
    cell.duration = StoredRingtoneText::durationText(*ringtone);
    cell.image = ringtone->image();
    cell.file = ringtone->file();
    return cell;
}

void FileManagerViewController::willBeginEditingRow(const NSIndexPath& indexPath) {
    deleteOverlayShown_ = true;
    if (view_) view_->showDeleteOverlay(indexPath);
}

void FileManagerViewController::didEndEditingRow(const NSIndexPath&) {
    if (!deleteOverlayShown_) return;
    deleteOverlayShown_ = false;
    if (view_) view_->removeDeleteOverlay();
}

void FileManagerViewController::commitDeleteRow(const NSIndexPath& indexPath) {
    QUORVEL_ASSERT_MAIN_THREAD();
    auto ringtone = ringtoneAtIndexPath(indexPath);
    if (!ringtone) return;
    // A file already gone still lets the row go; a row already gone (another
    // program deleted it) touches nothing, and the list catches up.
    QString error;
    switch (DBHelper::dbHelper().removeRingtone(ringtone, &error)) {
    case DBHelper::Removal::Removed: break;
    case DBHelper::Removal::Gone: storeChangedElsewhere(); break;
    case DBHelper::Removal::Failed: NSLog("The ringtone was not deleted: %@", error); break;
    }
    if (view_) view_->reloadVisibleRows();
}

void FileManagerViewController::didSelectRow(const NSIndexPath& indexPath) {
    QUORVEL_ASSERT_MAIN_THREAD();
    auto ringtone = ringtoneAtIndexPath(indexPath);
    if (!ringtone || !view_) return;
    auto player = std::make_unique<PlayViewController>(playerFactory_);
    player->setRingtone(ringtone);
    player->setFinishDelegate(this);
    view_->presentPlayViewController(std::move(player));
}

void FileManagerViewController::playViewControllerDidFinish(PlayViewController*) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->dismissPlayViewController(true);
    fetch(false);
    if (view_) view_->reloadData();
}

void FileManagerViewController::controllerWillChangeContent(NSFetchedResultsController&) {
    if (view_) view_->beginUpdates();
}

void FileManagerViewController::controllerDidChangeSection(NSFetchedResultsController&, int sectionIndex,
                                                           NSFetchedResultsChangeType type) {
    if (!view_) return;
    if (type == NSFetchedResultsChangeType::Insert) view_->insertSection(sectionIndex, UITableViewRowAnimation::Fade);
    else if (type == NSFetchedResultsChangeType::Delete)
        view_->deleteSection(sectionIndex, UITableViewRowAnimation::Fade);
}

void FileManagerViewController::controllerDidChangeObject(NSFetchedResultsController&,
                                                          const std::shared_ptr<NSManagedObject>&,
                                                          std::optional<NSIndexPath> indexPath,
                                                          NSFetchedResultsChangeType type,
                                                          std::optional<NSIndexPath> newIndexPath) {
    if (!view_) return;
    switch (type) {
    case NSFetchedResultsChangeType::Insert:
        if (newIndexPath) view_->insertRow(*newIndexPath, UITableViewRowAnimation::Fade);
        break;
    case NSFetchedResultsChangeType::Delete:
        if (indexPath) view_->deleteRow(*indexPath, UITableViewRowAnimation::Fade);
        break;
    case NSFetchedResultsChangeType::Move:
        if (indexPath) view_->deleteRow(*indexPath, UITableViewRowAnimation::Fade);
        if (newIndexPath) view_->reloadSection(newIndexPath->section, UITableViewRowAnimation::Fade);
        break;
    case NSFetchedResultsChangeType::Update:
        break;
    }
}

void FileManagerViewController::controllerDidChangeContent(NSFetchedResultsController&) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->endUpdates();
}

} // namespace quorvel
