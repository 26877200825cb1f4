#pragma once
// The phone's canvas (320 x 480 points): a root screen and the screens
// presented modally over it, each covering the one below. Presenting and
// closing play the screen's transition; closing reveals the screen below and
// then runs the presentation's `dismissed` callback, where the presenter does
// what it does when its screen reappears.
//
// Alerts, action sheets and the processing notice (AlertView, ActionSheet)
// float above every screen; while one shows, the canvas takes no other input.
//
// Main thread only. Nothing here runs a nested event loop.
#include "ui/common/ModalTransitionStyle.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace quorvel {

class TransitionOverlay;

class ScreenStack : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 480;

    struct Presentation {
        ModalTransitionStyle style = ModalTransitionStyle::CoverVertical;
        bool animated = true;
        // What Esc does while this screen is on top (its done/cancel action);
        // empty: Esc closes the screen.
        std::function<void()> escape;
        // Runs after the screen has been closed and the one below revealed.
        std::function<void()> dismissed;
        // Delete the screen once it is closed; otherwise it is hidden and kept
        // (a screen that is presented again keeps its state).
        bool deleteOnDismiss = false;
    };

    explicit ScreenStack(QWidget* parent = nullptr);
    ~ScreenStack() override;

    // The screen at the bottom; the stack owns it.
    void setRootScreen(QWidget* screen);
    QWidget* rootScreen() const { return root_; }

    // Shows `screen` over the top screen. The stack becomes its parent. A
    // screen that is already presented is left as it is.
    void present(QWidget* screen, Presentation presentation);
    // Closes `screen` and every screen above it, as one transition; each
    // closed screen's `dismissed` runs, the top one first. Nothing happens
    // when `screen` is not presented.
    void dismiss(QWidget* screen, bool animated = true);
    // Closes the top screen; false when only the root shows.
    bool dismissTop(bool animated = true);
    // Closes every presented screen.
    void dismissAll(bool animated = true);

    // Esc: an alert's cancel button if an alert with one shows, else the top
    // screen's escape action, else its closing. False when there was nothing to do.
    // Pressed while a screen moves in, it acts when the move ends.
    bool escape();

    QWidget* topScreen() const;
    QList<QWidget*> presentedScreens() const;
    bool isPresented(const QWidget* screen) const;
    bool isTransitioning() const;
    // True while an alert, action sheet or processing notice shows.
    bool hasModalOverlay() const;
    // Whether the canvas takes input for its screens (no transition, no alert).
    bool isInteractive() const { return !isTransitioning() && !hasModalOverlay(); }

    // The scale the canvas is shown at (times the device pixel ratio), so
    // that transition snapshots are as sharp as the screens themselves.
    void setRenderScale(qreal scale) { renderScale_ = scale; }
    qreal renderScale() const { return renderScale_; }
    // The real window that window-modal dialogs (the music picker, file
    // dialogs) belong to.
    void setDialogParent(QWidget* window) { dialogParent_ = window; }
    QWidget* dialogParent() const;

    // Alerts register while they show; see AlertView.
    void addModalOverlay(QWidget* overlay);
    void removeModalOverlay(QWidget* overlay);
    // The cancel action of an overlay, run by Esc.
    void setOverlayEscape(QWidget* overlay, std::function<void()> escape);

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    static ScreenStack* stackOf(QWidget* widget);

signals:
    void screenPresented(QWidget* screen);
    // After a close: the screen now on top (the root when nothing is presented).
    void screenRevealed(QWidget* screen);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Tab goes round the controls of the screen on top (or of the alert over
    // it): past the last it comes to the first, and Shift+Tab the other way.
    // Inside the canvas the focus would neither go round nor stay in an alert.
    bool focusNextPrevChild(bool next) override;

private:
    struct Entry {
        QPointer<QWidget> screen;
        Presentation presentation;
    };
    struct Overlay {
        QPointer<QWidget> widget;
        std::function<void()> escape;
    };

    QPixmap snapshot(QWidget* screen) const;
    void finishRunningTransition();
    void dropTransition();
    void escapeIfAsked();
    void raiseOverlays();
    void focusScreen(QWidget* screen);
    void prune();
    QWidget* screenBelow(int index) const;

    QPointer<QWidget> root_;
    QList<Entry> entries_;
    QList<Overlay> overlays_;
    QPointer<TransitionOverlay> transition_;
    bool escapePending_ = false;
    QPointer<QWidget> dialogParent_;
    qreal renderScale_ = 1.0;
};

} // namespace quorvel
