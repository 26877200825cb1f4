#pragma once
// Lets a widget (artwork, a list's rows) be dragged out as a file: a press
// and a move past the drag distance start a QDrag with the data `data`
// gives (the file's URL and "audio/mp4"), showing `pixmap`'s picture.
// Installed as an event filter on the widget, which owns it.
#include <QObject>
#include <QPoint>
#include <functional>

class QMimeData;
class QPixmap;
class QWidget;

namespace quorvel {

class FileDragSource : public QObject {
    Q_OBJECT
public:
    // `data` gets the press position in the widget and returns the data or null.
    using DataAt = std::function<QMimeData*(const QPoint&)>;
    FileDragSource(QWidget* widget, DataAt data);

    // Drags `data` (taken over) out of `source`, showing `picture` when it has one.
    static void drag(QWidget* source, QMimeData* data, const QPixmap& picture);
    // What a drag from `position` would carry (the caller owns it).
    QMimeData* mimeData(const QPoint& position) const { return data_ ? data_(position) : nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    DataAt data_;
    QPoint pressed_;
    bool pressing_ = false;
};

} // namespace quorvel
