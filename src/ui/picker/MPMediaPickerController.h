#pragma once
// The music picker: a window-modal dialog listing the music library (title,
// artist, length, artwork) with a search field, one song at a time, and a
// button to take any audio file from disk instead. The library is scanned on
// its worker if it has not been yet; the table shows when the scan is done.
//
// The choice goes to the delegate; the dialog stays open until its opener
// calls dismiss(). Cancel, Esc and closing the window report a cancel. It
// never runs a nested event loop.
#include "platform/musiclibrary/MPMediaPickerControllerDelegate.h"

#include <QDialog>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace quorvel {

class MPMediaLibrary;
class SongTableModel;
class ActivityIndicator;

class MPMediaPickerController : public QDialog {
    Q_OBJECT
public:
    explicit MPMediaPickerController(QWidget* parent, MPMediaLibrary& library);
    ~MPMediaPickerController() override;

    void setDelegate(MPMediaPickerControllerDelegate* delegate) { delegate_ = delegate; }
    void setPrompt(const QString& prompt);
    QString prompt() const;
    // Only one song can be chosen here; the setting is kept for the caller's sake.
    void setAllowsPickingMultipleItems(bool allows) { allowsMultiple_ = allows; }
    bool allowsPickingMultipleItems() const { return allowsMultiple_; }

    // Shows the dialog window-modally and returns at once.
    void present();
    // Closes the dialog for good (it deletes itself).
    void dismiss(bool animated = true);

    bool isLoaded() const { return loaded_; }
    SongTableModel* model() const { return model_; }

    // Takes the audio file at `path` as the choice, as the open-file button does.
    void pickFile(const QString& path);

signals:
    // The table is filled (at once, or after the library's scan).
    void loaded();

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's parts, each making one area of the dialog.
    void makePrompt();
    void makeSearchField();
    void makeSongTable();
    QWidget* makeLoadingPage();
    QHBoxLayout* makeButtons();

    void populate();
    void choose();
    void openFile();
    void updateChooseButton();

    MPMediaLibrary& library_;
    MPMediaPickerControllerDelegate* delegate_ = nullptr;
    bool allowsMultiple_ = false;
    bool loaded_ = false;
    bool dismissed_ = false;
    SongTableModel* model_;
    QLabel* prompt_ = nullptr;
    QLineEdit* search_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QTableView* table_ = nullptr;
    ActivityIndicator* activity_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* openFile_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* choose_ = nullptr;
};

} // namespace quorvel
