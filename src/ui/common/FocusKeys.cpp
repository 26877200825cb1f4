#include "ui/common/FocusKeys.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QKeyEvent>

namespace quorvel {

namespace {

bool isButtonKey(int key) { return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter; }

bool isSliderKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

void FocusKeys::install(QWidget* screen) {
    auto* keys = new FocusKeys(screen);
    for (QAbstractButton* button : screen->findChildren<QAbstractButton*>()) button->installEventFilter(keys);
    for (QAbstractSlider* slider : screen->findChildren<QAbstractSlider*>()) slider->installEventFilter(keys);
}

bool FocusKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // Shift+arrow and the like stay the screen's.
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier) return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    const bool ours = button ? isButtonKey(key->key()) : isSliderKey(key->key());
    if (!ours) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Accepted: the key goes to the control instead of a shortcut.
        event->accept();
        return true;
    }
    if (button && key->key() != Qt::Key_Space) {
        // A plain button outside a dialog ignores Return; a person expects a click.
        if (button->isEnabled()) button->click();
        return true;
    }
    return false;
}

} // namespace quorvel
