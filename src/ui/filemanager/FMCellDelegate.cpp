#include "ui/filemanager/FMCellDelegate.h"

#include "ui/filemanager/FMCellView.h"
#include "ui/filemanager/FileManagerTableModel.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <algorithm>

namespace quorvel {

FMCellDelegate::FMCellDelegate(FileManagerTableModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QPixmap FMCellDelegate::artwork(const QString& file, const QByteArray& image) const {
    if (image.isEmpty()) return {};
    // Keyed by file and size: a row replaced under the same name has other bytes.
    const QString key = file + QLatin1Char('#') + QString::number(image.size()) + QLatin1Char('#') +
                        QString::number(qHash(image.left(256)));
    if (QPixmap* cached = artwork_.object(key)) return *cached;
    QImage decoded;
    QPixmap pixmap;
    if (decoded.loadFromData(image))
        pixmap = QPixmap::fromImage(decoded.scaled(120, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    artwork_.insert(key, new QPixmap(pixmap));
    return pixmap;
}

void FMCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const FMCellContent cell = model_.content(index.row());
    model_.notePainted(index.row(), cell);
    const qreal opacity = index.data(FileManagerTableModel::OpacityRole).toReal();
    painter->save();
    painter->setOpacity(opacity);
    // A row is as wide as what the list shows of it: not under its scroll bar.
    QRect rect = option.rect;
    if (const auto* view = qobject_cast<const QAbstractScrollArea*>(option.widget))
        rect.setRight(std::min(rect.right(), view->viewport()->rect().right()));
    FMCellView::paint(*painter, rect, cell, artwork(cell.file, cell.image), option.state.testFlag(QStyle::State_Selected));
    // The keyboard's row, while the list has the focus.
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        painter->setPen(QPen(Qt::white, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    }
    painter->restore();
}

QSize FMCellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {320, FMCellView::kHeight};
}

} // namespace quorvel
