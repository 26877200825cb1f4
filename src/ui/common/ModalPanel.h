#pragma once
// What alerts and action sheets share: a dimmed layer over the whole canvas
// that takes every click, a panel of text and buttons on it, registration
// with the screen stack while it shows, and one handler told which button
// closed it. Showing never waits: the handler runs later, from the event loop.
#include <QPointer>
#include <QWidget>
#include <functional>

class QPushButton;
class QVBoxLayout;

namespace quorvel {

class ScreenStack;

class ModalPanel : public QWidget {
    Q_OBJECT
public:
    using ClickHandler = std::function<void(int buttonIndex)>;

    // Closes the panel as if button `index` had been pressed, without telling
    // the handler (the owner closes it itself, as with the processing notice).
    void dismissWithClickedButtonIndex(int index, bool animated = true);
    // From now on Esc closes the panel with no choice made: the handler hears
    // index -1 (a prompt whose cancel button stores an answer).
    void escapeWithoutChoice();
    QPushButton* button(int index) const;
    int buttonCount() const { return int(buttons_.size()); }

signals:
    void dismissed(int buttonIndex);

protected:
    ModalPanel(ScreenStack* stack, ClickHandler clicked);
    // The panel's own area, where the background is painted.
    virtual QRect panelRect() const = 0;
    // A button that reports `index` when pressed.
    QPushButton* makeButton(const QString& title, int index, bool emphasised, bool destructive = false);
    // Shows the panel over the stack; Esc presses button `escapeIndex` (-1: Esc does nothing).
    void open(int escapeIndex);
    void paintEvent(QPaintEvent* event) override;

private:
    void close(int index, bool notify);

    QPointer<ScreenStack> stack_;
    ClickHandler clicked_;
    QList<QPushButton*> buttons_;
    bool closed_ = false;
};

} // namespace quorvel
