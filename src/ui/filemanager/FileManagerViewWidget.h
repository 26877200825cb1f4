#pragma once
// The stored-ringtones list's widget, built from "FileManagerTableView": the
// back button and a list of 76-point rows painted after "FMCellView". A
// horizontal drag on a row, or the Delete key, offers the row's delete button
// over the "artistBg_4delete.png" overlay; Esc or a click elsewhere takes it
// back. A click or Enter opens the player over the list.
//
// Navigation shows it with ScreenStack::present() (cross-dissolve) and sets
// itself as controller().setDelegate(...) to hear the back button.
#include "screens/FileManagerViewController.h"
#include "ui/player/PlayViewWidget.h"

#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QListView;
class QMimeData;
class QPushButton;

namespace Ui {
class FileManagerTableView;
}

namespace quorvel {

class FMCellDelegate;
class FileManagerTableModel;

class FileManagerViewWidget : public QWidget, public FileManagerView {
    Q_OBJECT
public:
    // Without a factory the ringtones play on the sound device.
    explicit FileManagerViewWidget(RingtoneFilePlayerFactory playerFactory = {}, QWidget* parent = nullptr);
    ~FileManagerViewWidget() override;

    FileManagerViewController& controller() { return controller_; }
    FileManagerTableModel& model() { return *model_; }
    QListView* tableView() const;
    // What dragging row `row` out carries: its file (null without one). The caller owns it.
    QMimeData* rowDragData(int row);
    PlayViewWidget* playView() const { return player_; }
    // The overlay while a row's delete button is offered, else nullptr.
    QWidget* deleteButtonBGView() const { return overlay_; }
    std::optional<int> editingRow() const { return editingRow_; }

    // What the drag, the keys and the overlay's button do.
    void offerDelete(int row);
    void confirmDelete();
    void cancelDelete();
    void openRow(int row);

    // FileManagerView
    void reloadData() override;
    void beginUpdates() override;
    void endUpdates() override;
    void insertSection(int section, UITableViewRowAnimation animation) override;
    void deleteSection(int section, UITableViewRowAnimation animation) override;
    void reloadSection(int section, UITableViewRowAnimation animation) override;
    void insertRow(const NSIndexPath& indexPath, UITableViewRowAnimation animation) override;
    void deleteRow(const NSIndexPath& indexPath, UITableViewRowAnimation animation) override;
    void reloadVisibleRows() override;
    void showDeleteOverlay(const NSIndexPath& indexPath) override;
    void removeDeleteOverlay() override;
    void presentPlayViewController(std::unique_ptr<PlayViewController> player) override;
    void dismissPlayViewController(bool animated) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void fadeOutRows(const std::vector<int>& rows);
    bool handleKey(QKeyEvent* event);
    // The row as the list shows it: as wide as the viewport, not under the scroll bar.
    QRect shownRowRect(int row) const;

    std::unique_ptr<Ui::FileManagerTableView> ui_;
    FileManagerViewController controller_;
    FileManagerTableModel* model_ = nullptr;
    FMCellDelegate* cellDelegate_ = nullptr;
    QPointer<QWidget> overlay_;
    std::optional<int> editingRow_;
    QPointer<PlayViewWidget> player_;
    QPixmap background_;
    QPoint pressPos_;
    int pressRow_ = -1;
    bool dragged_ = false;
    bool appeared_ = false;
};

} // namespace quorvel
