#include "ui/waysout/FileDragSource.h"

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>

namespace quorvel {

FileDragSource::FileDragSource(QWidget* widget, DataAt data)
    : QObject(widget), widget_(widget), data_(std::move(data)) {
    widget->installEventFilter(this);
}

void FileDragSource::drag(QWidget* source, QMimeData* data, const QPixmap& picture) {
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    if (!picture.isNull()) drag->setPixmap(picture.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    drag->exec(Qt::CopyAction);
}

bool FileDragSource::eventFilter(QObject* watched, QEvent* event) {
    if (watched != widget_) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        pressing_ = e->button() == Qt::LeftButton;
        pressed_ = e->position().toPoint();
        return false;
    }
    case QEvent::MouseButtonRelease:
        pressing_ = false;
        return false;
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (!pressing_ || (e->position().toPoint() - pressed_).manhattanLength() < QApplication::startDragDistance())
            return false;
        pressing_ = false;
        QMimeData* data = mimeData(pressed_);
        if (!data) return false;
        const auto* label = qobject_cast<QLabel*>(widget_);
        drag(widget_, data, label ? label->pixmap() : QPixmap());
        return true;
    }
    default:
        return false;
    }
}

} // namespace quorvel
