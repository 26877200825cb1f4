#include "ui/picker/MPMediaPickerController.h"

#include "platform/musiclibrary/MPMediaLibrary.h"
#include "ui/common/ActivityIndicator.h"
#include "ui/picker/SongTableModel.h"

#include <QBoxLayout>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <algorithm>

namespace quorvel {

MPMediaPickerController::MPMediaPickerController(QWidget* parent, MPMediaLibrary& library)
    : QDialog(parent), library_(library), model_(new SongTableModel(this)) {
    setObjectName(QStringLiteral("mediaPicker"));
    setWindowTitle(tr("Music"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(640, 520);

    // Made in this order, the widgets take the keyboard focus in it.
    makePrompt();
    makeSearchField();
    makeSongTable();
    QWidget* loading = makeLoadingPage();
    pages_ = new QStackedWidget(this);
    pages_->addWidget(loading);
    pages_->addWidget(table_);
    QHBoxLayout* buttons = makeButtons();

    auto* column = new QVBoxLayout(this);
    column->addWidget(prompt_);
    column->addWidget(search_);
    column->addWidget(pages_, 1);
    column->addLayout(buttons);
    search_->setFocus();
}

void MPMediaPickerController::makePrompt() {
    prompt_ = new QLabel(this);
    prompt_->setObjectName(QStringLiteral("prompt"));
    prompt_->setAlignment(Qt::AlignCenter);
    prompt_->setWordWrap(true);
    QFont big = prompt_->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    big.setBold(true);
    prompt_->setFont(big);
}

void MPMediaPickerController::makeSearchField() {
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setAccessibleName(tr("Search title or artist"));
    search_->setPlaceholderText(tr("Search title or artist"));
    search_->setClearButtonEnabled(true);
    connect(search_, &QLineEdit::textChanged, model_, &SongTableModel::setFilterText);
    search_->installEventFilter(this);
}

void MPMediaPickerController::makeSongTable() {
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("songTable"));
    table_->setAccessibleName(tr("Songs"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setIconSize(QSize(SongTableModel::kArtworkSide, SongTableModel::kArtworkSide));
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Fixed row heights and column widths: the view never measures 10,000 rows.
    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(SongTableModel::kArtworkSide + 6);
    QHeaderView* columns = table_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionResizeMode(SongTableModel::TitleColumn, QHeaderView::Stretch);
    columns->resizeSection(SongTableModel::ArtistColumn, 170);
    columns->resizeSection(SongTableModel::LengthColumn, 70);
    columns->resizeSection(SongTableModel::ArtworkColumn, SongTableModel::kArtworkSide + 24);
    columns->setHighlightSections(false);
    connect(table_, &QTableView::activated, this, [this] { choose(); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MPMediaPickerController::updateChooseButton);
    connect(model_, &QAbstractItemModel::modelReset, this, &MPMediaPickerController::updateChooseButton);
}

QWidget* MPMediaPickerController::makeLoadingPage() {
    auto* loading = new QWidget(this);
    loading->setObjectName(QStringLiteral("loadingView"));
    auto* loadingColumn = new QVBoxLayout(loading);
    loadingColumn->addStretch();
    activity_ = new ActivityIndicator(loading);
    activity_->setColor(palette().color(QPalette::WindowText));
    activity_->setFixedSize(32, 32);
    loadingColumn->addWidget(activity_, 0, Qt::AlignHCenter);
    status_ = new QLabel(tr("Looking for songs…"), loading);
    status_->setAlignment(Qt::AlignCenter);
    loadingColumn->addWidget(status_);
    loadingColumn->addStretch();
    return loading;
}

QHBoxLayout* MPMediaPickerController::makeButtons() {
    openFile_ = new QPushButton(tr("Open File…"), this);
    openFile_->setObjectName(QStringLiteral("openFileButton"));
    openFile_->setToolTip(tr("Take any audio file from disk"));
    connect(openFile_, &QPushButton::clicked, this, &MPMediaPickerController::openFile);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &MPMediaPickerController::reject);
    choose_ = new QPushButton(tr("Choose"), this);
    choose_->setObjectName(QStringLiteral("chooseButton"));
    choose_->setDefault(true);
    choose_->setEnabled(false);
    connect(choose_, &QPushButton::clicked, this, &MPMediaPickerController::choose);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(openFile_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(choose_);
    return buttons;
}

MPMediaPickerController::~MPMediaPickerController() = default;

void MPMediaPickerController::setPrompt(const QString& prompt) {
    prompt_->setText(prompt);
    prompt_->setVisible(!prompt.isEmpty());
}

QString MPMediaPickerController::prompt() const { return prompt_->text(); }

void MPMediaPickerController::present() {
    if (library_.hasScanned() && !library_.isScanning()) {
        populate();
    } else {
        pages_->setCurrentIndex(0);
        activity_->startAnimating();
        QPointer<MPMediaPickerController> self(this);
        library_.beginScan([self] {
            if (self) self->populate();
        });
    }
    open();
}

void MPMediaPickerController::populate() {
    if (dismissed_) return;
    model_->setItems(library_.items());
    activity_->stopAnimating();
    pages_->setCurrentIndex(1);
    loaded_ = true;
    if (model_->totalCount() == 0) {
        status_->setText(tr("No songs were found in your music folder. Open a file instead."));
        pages_->setCurrentIndex(0);
    }
    emit loaded();
}

// Typing in the search field, the arrows walk the table and Return takes the
// highlighted song (the first one when none is).
bool MPMediaPickerController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != search_ || event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int rows = model_->rowCount();
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    const int current = selected.isEmpty() ? -1 : selected.first().row();
    if ((key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown || key == Qt::Key_PageUp) && rows > 0) {
        const int page = std::max(1, table_->viewport()->height() / std::max(1, table_->rowHeight(0)));
        const int step = key == Qt::Key_Down ? 1 : key == Qt::Key_Up ? -1 : key == Qt::Key_PageDown ? page : -page;
        const int row = std::clamp(current < 0 ? 0 : current + step, 0, rows - 1);
        table_->selectRow(row);
        table_->scrollTo(model_->index(row, 0));
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && rows > 0) {
        if (current < 0) table_->selectRow(0);
        choose();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MPMediaPickerController::updateChooseButton() {
    choose_->setEnabled(table_->selectionModel()->hasSelection());
}

void MPMediaPickerController::choose() {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty() || dismissed_) return;
    const MPMediaItem item = model_->itemAt(rows.first().row());
    if (delegate_) delegate_->mediaPickerDidPickMediaItems(this, {item});
    else dismiss();
}

void MPMediaPickerController::openFile() {
    QStringList folders = MPMediaLibrary::libraryFolders();
    auto* dialog = new QFileDialog(this, tr("Open an audio file"), folders.isEmpty() ? QString() : folders.first(),
                                   tr("Audio files (*.mp3 *.m4a *.m4v *.wav *.aif *.aiff);;All files (*)"));
    dialog->setObjectName(QStringLiteral("openFileDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &MPMediaPickerController::pickFile);
    dialog->open();
}

void MPMediaPickerController::pickFile(const QString& path) {
    if (dismissed_) return;
    const std::optional<MPMediaItem> item = library_.addFile(path);
    if (!item || item->isNull()) {
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Not a song"),
                                    tr("%1 is not an audio file Quorvel can use.").arg(path), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    if (delegate_) delegate_->mediaPickerDidPickMediaItems(this, {*item});
    else dismiss();
}

void MPMediaPickerController::reject() {
    if (dismissed_) return;
    if (delegate_) delegate_->mediaPickerDidCancel(this);
    else dismiss();
}

void MPMediaPickerController::dismiss(bool) {
    if (dismissed_) return;
    dismissed_ = true;
    hide();
    // The window below takes the keyboard back.
    if (QWidget* owner = parentWidget()) owner->activateWindow();
    deleteLater();
}

} // namespace quorvel
