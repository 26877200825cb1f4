#pragma once
// A line for typing a precise time over the start or the length label
// (double-click the label, or Ctrl+T for the start). Return or Enter hands
// the text on; Esc, or the focus going elsewhere, leaves it. While it has
// the focus, the editor's keys (Space, the arrows, Home, End) are its own.
//
// Main thread only.
#include <QLineEdit>

namespace quorvel {

class TimeEntryField : public QLineEdit {
    Q_OBJECT
public:
    explicit TimeEntryField(QWidget* parent = nullptr);

    // Shows the field over `label`'s place with `text` selected, and takes the focus.
    void open(const QRect& where, const QString& text);

signals:
    void entered(const QString& text);
    void left();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void leave();
};

} // namespace quorvel
