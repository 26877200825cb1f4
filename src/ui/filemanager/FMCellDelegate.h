#pragma once
// Paints the list's rows after "FMCellView", decoding each artwork once
// (kept in a small cache) so that scrolling long lists stays smooth.
#include <QCache>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace quorvel {

class FileManagerTableModel;

class FMCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FMCellDelegate(FileManagerTableModel& model, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The decoded artwork of these PNG bytes; null when they do not decode.
    QPixmap artwork(const QString& file, const QByteArray& image) const;

private:
    FileManagerTableModel& model_;
    mutable QCache<QString, QPixmap> artwork_{400};
};

} // namespace quorvel
