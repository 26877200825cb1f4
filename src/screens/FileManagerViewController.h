#pragma once
// The stored-ringtones list: a live query over the store ("Ringtone", all
// rows, newest first) whose changes the table follows with a fade while the
// list is on screen, including what other programs store and delete (the
// store is watched while the list shows); deleting a row (file, row, save);
// opening the player for a row; the back action.
//
// Main thread only. All store access goes through the one store context.
#include "platform/store/NSFetchedResultsController.h"
#include "platform/store/NSPersistentStoreWatcher.h"
#include "screens/PlayViewController.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace quorvel {

class FileManagerViewController;
class Ringtone;

class FileManagerViewControllerDelegate {
public:
    virtual ~FileManagerViewControllerDelegate() = default;
    virtual void fileManagerControllerDidFinish(FileManagerViewController* controller) = 0;
};

enum class UITableViewRowAnimation { None, Fade };

// What the table widget does for the list. Row updates come in batches
// between beginUpdates() and endUpdates(): deletions name rows as they were
// before the batch, insertions as they are after it.
class FileManagerView {
public:
    virtual ~FileManagerView() = default;
    virtual void reloadData() = 0;
    virtual void beginUpdates() = 0;
    virtual void endUpdates() = 0;
    virtual void insertSection(int section, UITableViewRowAnimation animation) = 0;
    virtual void deleteSection(int section, UITableViewRowAnimation animation) = 0;
    virtual void reloadSection(int section, UITableViewRowAnimation animation) = 0;
    virtual void insertRow(const NSIndexPath& indexPath, UITableViewRowAnimation animation) = 0;
    virtual void deleteRow(const NSIndexPath& indexPath, UITableViewRowAnimation animation) = 0;
    virtual void reloadVisibleRows() = 0;
    // The delete button's overlay over a row (0.25 s fade), and its removal.
    virtual void showDeleteOverlay(const NSIndexPath& indexPath) = 0;
    virtual void removeDeleteOverlay() = 0;
    // Presents the player (animated); the view owns it from here on.
    virtual void presentPlayViewController(std::unique_ptr<PlayViewController> player) = 0;
    virtual void dismissPlayViewController(bool animated) = 0;
};

// One row as "FMCellView" shows it (tags 2, 3, 4/5, 8).
struct FMCellContent {
    QString title;      // tag 2
    QString artist;     // tag 3
    QString duration;   // tag 4
    bool durationShown; // tags 4 and 5
    QByteArray image;   // tag 8, PNG data; the layout's own image when it does not decode
    QString file;
};

class FileManagerViewController : public QObject,
                                  public NSFetchedResultsControllerDelegate,
                                  public PlayViewControllerFinishDelegate {
    Q_OBJECT
public:
    explicit FileManagerViewController(RingtoneFilePlayerFactory playerFactory = {}, QObject* parent = nullptr);
    ~FileManagerViewController() override;

    void setDelegate(FileManagerViewControllerDelegate* delegate) { delegate_ = delegate; }
    FileManagerViewControllerDelegate* delegate() const { return delegate_; }
    void setView(FileManagerView* view) { view_ = view; }

    // What ends the process when the first fetch fails (tests replace it).
    using FatalHandler = std::function<void()>;
    void setFatalHandler(FatalHandler handler) { fatalHandler_ = std::move(handler); }

    // Built on first use, kept for the controller's life.
    NSFetchedResultsController& fetchedResultsController();

    // Life cycle, called by the widget.
    void viewDidLoad();
    void viewWillAppear();
    void viewDidAppear();
    void viewWillDisappear();
    bool isViewLoaded() const { return viewLoaded_; }

    // The back button.
    void back();

    // Table data source and delegate.
    int numberOfSections();
    int numberOfRowsInSection(int section);
    static constexpr int kRowHeight = 76;
    std::shared_ptr<Ringtone> ringtoneAtIndexPath(const NSIndexPath& indexPath);
    FMCellContent configureCell(const NSIndexPath& indexPath);
    bool canEditRow(const NSIndexPath&) const { return true; }
    void willBeginEditingRow(const NSIndexPath& indexPath);
    void didEndEditingRow(const NSIndexPath& indexPath);
    void commitDeleteRow(const NSIndexPath& indexPath);
    void didSelectRow(const NSIndexPath& indexPath);
    bool isDeleteOverlayShown() const { return deleteOverlayShown_; }

    // PlayViewControllerFinishDelegate
    void playViewControllerDidFinish(PlayViewController* controller) override;

    // NSFetchedResultsControllerDelegate
    void controllerWillChangeContent(NSFetchedResultsController& controller) override;
    void controllerDidChangeSection(NSFetchedResultsController& controller, int sectionIndex,
                                    NSFetchedResultsChangeType type) override;
    void controllerDidChangeObject(NSFetchedResultsController& controller,
                                   const std::shared_ptr<NSManagedObject>& object, std::optional<NSIndexPath> indexPath,
                                   NSFetchedResultsChangeType type, std::optional<NSIndexPath> newIndexPath) override;
    void controllerDidChangeContent(NSFetchedResultsController& controller) override;

private:
    bool fetch(bool fatal);
    // Another program committed to the store: fetch again, animating what changed.
    void storeChangedElsewhere();

    RingtoneFilePlayerFactory playerFactory_;
    FileManagerViewControllerDelegate* delegate_ = nullptr;
    FileManagerView* view_ = nullptr;
    std::unique_ptr<NSFetchedResultsController> fetchedResultsController_;
    std::unique_ptr<NSPersistentStoreWatcher> storeWatcher_;
    FatalHandler fatalHandler_;
    bool viewLoaded_ = false;
    bool deleteOverlayShown_ = false;
};

} // namespace quorvel
