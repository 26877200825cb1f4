#include "ui/filemanager/FileManagerViewWidget.h"

#include "platform/core/Paths.h"
#include "ringtones/Ringtone.h"
#include "screens/RingtoneWaysOut.h"
#include "ui/waysout/FileDragSource.h"

#include "screens/AVAudioFilePlayer.h"
#include "ui/common/ScreenStack.h"
#include "ui/controls/TextFit.h"
#include "ui/controls/UIImage.h"
#include "ui/filemanager/FMCellDelegate.h"
#include "ui/filemanager/FMCellView.h"
#include "ui/filemanager/FileManagerTableModel.h"
#include "ui/player/PlayViewWidget.h"
#include "ui_FileManagerTableView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace quorvel {

namespace {

constexpr int kDragThreshold = 24;

// The delete button's backdrop: "artistBg_4delete.png" tiled over the row.
class DeleteOverlay : public QWidget {
public:
    explicit DeleteOverlay(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("deleteButtonBGView"));
        tile_ = UIImage::imageNamed(QStringLiteral("artistBg_4delete.png"));
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 0, 10, 0);
        layout->addStretch(1);
        button_ = new QPushButton(QObject::tr("Delete"), this);
        button_->setObjectName(QStringLiteral("deleteConfirmButton"));
        button_->setAccessibleName(QObject::tr("Delete this ringtone"));
        button_->setCursor(Qt::PointingHandCursor);
        button_->setStyleSheet(QStringLiteral(
            "QPushButton { color: white; font-weight: bold; font-size: 15px; padding: 6px 14px;"
            " border: 1px solid #7a1d18; border-radius: 6px;"
            " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e8675d, stop:1 #b3312a); }"));
        layout->addWidget(button_);
    }
    QPushButton* button() const { return button_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!tile_.isNull()) p.drawTiledPixmap(rect(), tile_);
        else p.fillRect(rect(), QColor(60, 20, 20, 200));
    }

private:
    QPixmap tile_;
    QPushButton* button_ = nullptr;
};

} // namespace

FileManagerViewWidget::FileManagerViewWidget(RingtoneFilePlayerFactory playerFactory, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::FileManagerTableView>()), controller_(playerFactory ? std::move(playerFactory) : AVAudioFilePlayer::factory()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("FileManagerTableView"));
    // A longer translation of "Back" gets a smaller font rather than being cut.
    TextFit::shrinkToFit(ui_->backButton, 14);
    background_ = UIImage::imageNamed(QStringLiteral("fmBG.png"));
    controller_.setView(this);
    model_ = new FileManagerTableModel(controller_, this);
    cellDelegate_ = new FMCellDelegate(*model_, this);
    QListView* list = ui_->tableView;
    list->setModel(model_);
    list->setItemDelegate(cellDelegate_);
    list->setUniformItemSizes(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->verticalScrollBar()->setSingleStep(FileManagerViewController::kRowHeight / 2);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAutoFillBackground(false);
    list->viewport()->setAutoFillBackground(false);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    connect(model_, &FileManagerTableModel::rowsWillBeDeleted, this, &FileManagerViewWidget::fadeOutRows);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (editingRow_) cancelDelete();
    });
    connect(ui_->backButton, &QPushButton::clicked, this, [this] { controller_.back(); });
    // Rows fading in are painted again until they are whole.
    auto* fadeTimer = new QTimer(this);
    fadeTimer->setInterval(16);
    connect(fadeTimer, &QTimer::timeout, this, [this, fadeTimer] {
        ui_->tableView->viewport()->update();
        if (!model_->isFading()) fadeTimer->stop();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, fadeTimer, qOverload<>(&QTimer::start));
    controller_.viewDidLoad();
    model_->reloadData();
}

FileManagerViewWidget::~FileManagerViewWidget() {
    controller_.viewWillDisappear();
    controller_.setView(nullptr);
}

QListView* FileManagerViewWidget::tableView() const { return ui_->tableView; }

QMimeData* FileManagerViewWidget::rowDragData(int row) {
    const auto ringtone = row >= 0 ? controller_.ringtoneAtIndexPath(NSIndexPath{0, row}) : nullptr;
    return ringtone ? RingtoneWaysOut::dragDataForFile(Paths::documentPath(ringtone->file())) : nullptr;
}

void FileManagerViewWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    controller_.viewWillAppear();
    controller_.viewDidAppear();
    appeared_ = true;
    ui_->tableView->setFocus();
}

void FileManagerViewWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous() || !appeared_) return;
    appeared_ = false;
    if (editingRow_) cancelDelete();
    controller_.viewWillDisappear();
}

void FileManagerViewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull()) p.drawTiledPixmap(rect(), background_);
    else p.fillRect(rect(), QColor(24, 40, 52));
}

void FileManagerViewWidget::reloadData() { model_->reloadData(); }
void FileManagerViewWidget::beginUpdates() { model_->beginUpdates(); }
void FileManagerViewWidget::endUpdates() { model_->endUpdates(); }
void FileManagerViewWidget::insertSection(int, UITableViewRowAnimation) { model_->reloadSection(); }
void FileManagerViewWidget::deleteSection(int, UITableViewRowAnimation) { model_->reloadSection(); }
void FileManagerViewWidget::reloadSection(int, UITableViewRowAnimation) { model_->reloadSection(); }
void FileManagerViewWidget::insertRow(const NSIndexPath& indexPath, UITableViewRowAnimation) {
    model_->insertRow(indexPath.row);
}
void FileManagerViewWidget::deleteRow(const NSIndexPath& indexPath, UITableViewRowAnimation) {
    model_->deleteRow(indexPath.row);
}
void FileManagerViewWidget::reloadVisibleRows() { ui_->tableView->viewport()->update(); }

void FileManagerViewWidget::fadeOutRows(const std::vector<int>& rows) {
    QListView* list = ui_->tableView;
    if (!list->isVisible()) return;
    for (int row : rows) {
        const QRect r = shownRowRect(row);
        if (!r.isValid() || !r.intersects(list->viewport()->rect())) continue;
        const std::optional<FMCellContent> shown = model_->paintedContent(row);
        if (!shown) continue;
        const qreal dpr = list->devicePixelRatioF();
        QPixmap picture(r.size() * dpr);
        picture.setDevicePixelRatio(dpr);
        {
            QPainter p(&picture);
            FMCellView::paint(p, QRect(QPoint(0, 0), r.size()), *shown, cellDelegate_->artwork(shown->file, shown->image),
                              false);
        }
        auto* ghost = new QLabel(list->viewport());
        ghost->setPixmap(picture);
        ghost->setGeometry(r);
        ghost->setAttribute(Qt::WA_TransparentForMouseEvents);
        auto* effect = new QGraphicsOpacityEffect(ghost);
        ghost->setGraphicsEffect(effect);
        ghost->show();
        auto* fade = new QPropertyAnimation(effect, "opacity", ghost);
        fade->setDuration(FileManagerTableModel::kFadeMs);
        fade->setStartValue(1.0);
        fade->setEndValue(0.0);
        connect(fade, &QPropertyAnimation::finished, ghost, &QObject::deleteLater);
        fade->start();
    }
}

QRect FileManagerViewWidget::shownRowRect(int row) const {
    QListView* list = ui_->tableView;
    QRect area = list->visualRect(model_->index(row));
    area.setRight(std::min(area.right(), list->viewport()->rect().right()));
    return area;
}

void FileManagerViewWidget::offerDelete(int row) {
    if (row < 0 || row >= model_->rowCount()) return;
    if (editingRow_) cancelDelete();
    if (!controller_.canEditRow({0, row})) return;
    editingRow_ = row;
    ui_->tableView->setCurrentIndex(model_->index(row));
    controller_.willBeginEditingRow({0, row});
}

void FileManagerViewWidget::showDeleteOverlay(const NSIndexPath& indexPath) {
    removeDeleteOverlay();
    QListView* list = ui_->tableView;
    auto* overlay = new DeleteOverlay(list->viewport());
    // Over what the list shows of the row: the button stays clear of the scroll bar.
    overlay->setGeometry(shownRowRect(indexPath.row));
    connect(overlay->button(), &QPushButton::clicked, this, &FileManagerViewWidget::confirmDelete);
    auto* effect = new QGraphicsOpacityEffect(overlay);
    effect->setOpacity(0.0);
    overlay->setGraphicsEffect(effect);
    overlay->show();
    auto* fade = new QPropertyAnimation(effect, "opacity", overlay);
    fade->setDuration(250);
    fade->setEasingCurve(QEasingCurve::InQuad);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    // The effect goes once the fade is done; the overlay then paints directly.
    connect(fade, &QPropertyAnimation::finished, overlay, [overlay] { overlay->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
    overlay_ = overlay;
}

void FileManagerViewWidget::removeDeleteOverlay() {
    if (overlay_) overlay_->deleteLater();
    overlay_ = nullptr;
}

void FileManagerViewWidget::confirmDelete() {
    if (!editingRow_) return;
    const int row = *editingRow_;
    editingRow_.reset();
    controller_.commitDeleteRow({0, row});
    controller_.didEndEditingRow({0, row});
}

void FileManagerViewWidget::cancelDelete() {
    if (!editingRow_) return;
    const int row = *editingRow_;
    editingRow_.reset();
    controller_.didEndEditingRow({0, row});
}

void FileManagerViewWidget::openRow(int row) {
    if (editingRow_) {
        cancelDelete();
        return;
    }
    if (player_ || row < 0 || row >= model_->rowCount()) return;
    controller_.didSelectRow({0, row});
}

void FileManagerViewWidget::presentPlayViewController(std::unique_ptr<PlayViewController> player) {
    auto* widget = new PlayViewWidget(std::move(player));
    player_ = widget;
    ScreenStack* stack = ScreenStack::stackOf(this);
    if (!stack) {
        widget->setParent(this);
        widget->setGeometry(rect());
        widget->show();
        return;
    }
    ScreenStack::Presentation how;
    how.style = ModalTransitionStyle::CoverVertical;
    how.animated = true;
    QPointer<PlayViewWidget> guard(widget);
    how.escape = [guard] {
        if (guard) guard->controller().cancelFinish();
    };
    how.deleteOnDismiss = true;
    stack->present(widget, how);
}

void FileManagerViewWidget::dismissPlayViewController(bool animated) {
    if (!player_) return;
    PlayViewWidget* widget = player_;
    player_ = nullptr;
    // The sound stops now, not when the closing transition ends.
    widget->controller().viewDidDisappear();
    ScreenStack* stack = ScreenStack::stackOf(widget);
    if (stack && stack->isPresented(widget)) stack->dismiss(widget, animated);
    else widget->deleteLater();
}

bool FileManagerViewWidget::handleKey(QKeyEvent* event) {
    QListView* list = ui_->tableView;
    const int current = list->currentIndex().isValid() ? list->currentIndex().row() : -1;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!editingRow_) return false;
        cancelDelete();
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (editingRow_) confirmDelete();
        else offerDelete(current);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (editingRow_) confirmDelete();
        else openRow(current);
        return true;
    default:
        if (editingRow_) cancelDelete();
        return false;
    }
}

bool FileManagerViewWidget::eventFilter(QObject* watched, QEvent* event) {
    QListView* list = ui_->tableView;
    if (watched == list) {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Esc takes back an offered delete before the window's Esc closes the list.
            if (key->key() == Qt::Key_Escape && editingRow_) {
                event->accept();
                return true;
            }
        }
        if (event->type() == QEvent::KeyPress) return handleKey(static_cast<QKeyEvent*>(event));
        return false;
    }
    if (watched != list->viewport()) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (editingRow_) {
            // A click anywhere but the delete button takes the offer back.
            if (!(overlay_ && overlay_->geometry().contains(mouse->position().toPoint()))) cancelDelete();
            else return false;
            return true;
        }
        pressPos_ = mouse->position().toPoint();
        pressRow_ = list->indexAt(pressPos_).row();
        dragged_ = false;
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (pressRow_ < 0 || dragged_ || !(mouse->buttons() & Qt::LeftButton)) return false;
        const QPoint delta = mouse->position().toPoint() - pressPos_;
        if (std::abs(delta.x()) >= kDragThreshold && std::abs(delta.x()) > 2 * std::abs(delta.y())) {
            dragged_ = true;
            offerDelete(pressRow_);
            return true;
        }
        // Up or down: the row leaves as its file (to a file manager, a mail or a chat).
        if (std::abs(delta.y()) >= kDragThreshold) {
            const int row = pressRow_;
            pressRow_ = -1;
            if (QMimeData* dragData = rowDragData(row)) FileDragSource::drag(list->viewport(), dragData, QPixmap());
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const int row = pressRow_;
        pressRow_ = -1;
        if (dragged_) {
            dragged_ = false;
            return true;
        }
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (row >= 0 && list->indexAt(mouse->position().toPoint()).row() == row) {
            list->setCurrentIndex(model_->index(row));
            openRow(row);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace quorvel
