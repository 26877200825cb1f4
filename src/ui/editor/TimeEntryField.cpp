#include "ui/editor/TimeEntryField.h"

#include <QKeyEvent>

namespace quorvel {

TimeEntryField::TimeEntryField(QWidget* parent) : QLineEdit(parent) {
    hide();
    setMaxLength(16);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setPlaceholderText(tr("1:23.4"));
}

void TimeEntryField::open(const QRect& where, const QString& text) {
    setGeometry(where);
    setText(text);
    selectAll();
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

bool TimeEntryField::event(QEvent* event) {
    // Keys without Ctrl or Alt are typed here, not taken by the editor's shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TimeEntryField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit entered(text());
        return;
    case Qt::Key_Escape:
        leave();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void TimeEntryField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // An alert over the editor takes the focus for a moment; that is no leaving.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) leave();
}

void TimeEntryField::leave() {
    if (!isVisible()) return;
    hide();
    emit left();
}

} // namespace quorvel
