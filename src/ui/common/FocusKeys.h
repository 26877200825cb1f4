#pragma once
// Keys that belong to the focused control, ahead of the screen's shortcuts:
// a focused button takes Space (press) and Return or Enter (a click), a
// focused slider its arrows, Page Up/Down, Home and End. Without it a screen
// whose shortcuts use those keys (the editor's Space and arrows) would let a
// keyboard user reach a control with Tab but not work it.
//
// Main thread only.
#include <QObject>

class QWidget;

namespace quorvel {

class FocusKeys : public QObject {
public:
    // Watches every button and slider below `screen` (made before the call).
    static void install(QWidget* screen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusKeys(QObject* parent) : QObject(parent) {}
};

} // namespace quorvel
