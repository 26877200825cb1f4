#include "ui/common/ScreenStack.h"

#include "platform/core/MainThread.h"
#include "ui/common/TransitionOverlay.h"

#include <QLayout>
#include <QPixmap>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace quorvel {

ScreenStack::ScreenStack(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("screenStack"));
    resize(kWidth, kHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

ScreenStack::~ScreenStack() = default;

void ScreenStack::setRootScreen(QWidget* screen) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (root_ == screen) return;
    if (root_) root_->deleteLater();
    root_ = screen;
    if (!screen) return;
    screen->setParent(this);
    screen->setGeometry(rect());
    screen->lower();
    screen->setVisible(entries_.isEmpty());
}

QWidget* ScreenStack::dialogParent() const { return dialogParent_ ? dialogParent_.data() : window(); }

ScreenStack* ScreenStack::stackOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (auto* stack = qobject_cast<ScreenStack*>(w)) return stack;
    return nullptr;
}

void ScreenStack::prune() {
    entries_.removeIf([](const Entry& e) { return e.screen.isNull(); });
    overlays_.removeIf([](const Overlay& o) { return o.widget.isNull(); });
}

QWidget* ScreenStack::topScreen() const {
    for (auto it = entries_.crbegin(); it != entries_.crend(); ++it)
        if (it->screen) return it->screen;
    return root_;
}

QWidget* ScreenStack::screenBelow(int index) const {
    for (int i = index - 1; i >= 0; --i)
        if (entries_[i].screen) return entries_[i].screen;
    return root_;
}

QList<QWidget*> ScreenStack::presentedScreens() const {
    QList<QWidget*> screens;
    for (const Entry& e : entries_)
        if (e.screen) screens.append(e.screen);
    return screens;
}

bool ScreenStack::isPresented(const QWidget* screen) const {
    return screen && std::any_of(entries_.begin(), entries_.end(),
                                 [screen](const Entry& e) { return e.screen == screen; });
}

bool ScreenStack::isTransitioning() const { return transition_ && transition_->isRunning(); }

bool ScreenStack::hasModalOverlay() const {
    return std::any_of(overlays_.begin(), overlays_.end(), [](const Overlay& o) { return !o.widget.isNull(); });
}

QPixmap ScreenStack::snapshot(QWidget* screen) const {
    const qreal scale = std::max<qreal>(1.0, renderScale_);
    QPixmap pixmap(QSize(int(std::ceil(width() * scale)), int(std::ceil(height() * scale))));
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::black);
    if (screen) {
        if (QLayout* layout = screen->layout()) layout->activate();
        screen->render(&pixmap);
    }
    return pixmap;
}

void ScreenStack::finishRunningTransition() {
    if (transition_) transition_->finishNow();
    dropTransition();
}

void ScreenStack::escapeIfAsked() {
    if (!escapePending_) return;
    escapePending_ = false;
    escape();
}

void ScreenStack::dropTransition() {
    if (!transition_) return;
    transition_->hide();
    transition_->deleteLater();
    transition_ = nullptr;
}

void ScreenStack::raiseOverlays() {
    for (const Overlay& o : overlays_)
        if (o.widget) o.widget->raise();
}

void ScreenStack::focusScreen(QWidget* screen) {
    if (!screen) return;
    if (QWidget* focus = screen->focusWidget(); focus && focus->isVisible()) {
        focus->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (screen->focusPolicy() == Qt::NoFocus) screen->setFocusPolicy(Qt::StrongFocus);
    screen->setFocus(Qt::OtherFocusReason);
}

bool ScreenStack::focusNextPrevChild(bool next) {
    prune();
    // Tab stays within the alert on top, else within the screen on top.
    QWidget* scope = !overlays_.isEmpty() && overlays_.last().widget ? overlays_.last().widget.data() : topScreen();
    QWidget* before = focusWidget();
    const bool moved = QWidget::focusNextPrevChild(next);
    QWidget* now = focusWidget();
    if (!scope || (now != before && scope->isAncestorOf(now))) return moved;
    QList<QWidget*> chain;
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
        if (scope->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) chain << w;
    if (chain.isEmpty()) return moved;
    (next ? chain.first() : chain.last())->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void ScreenStack::present(QWidget* screen, Presentation presentation) {
    QUORVEL_ASSERT_MAIN_THREAD();
    prune();
    if (!screen || screen == root_ || isPresented(screen)) return;
    finishRunningTransition();
    QWidget* below = topScreen();
    const bool animated = presentation.animated;
    const ModalTransitionStyle style = presentation.style;
    screen->setParent(this);
    screen->setGeometry(rect());
    entries_.append(Entry{screen, std::move(presentation)});
    screen->show();
    screen->raise();

    QPointer<QWidget> guard(screen);
    QPointer<QWidget> covered(below);
    auto done = [this, guard, covered] {
        if (covered && covered != topScreen()) covered->hide();
        if (guard) {
            focusScreen(guard);
            emit screenPresented(guard);
        }
    };
    if (!animated) {
        raiseOverlays();
        done();
        return;
    }
    transition_ = new TransitionOverlay(this, style, true, snapshot(below), snapshot(screen));
    raiseOverlays();
    transition_->start([this, done] {
        dropTransition();
        done();
        escapeIfAsked();
    });
}

bool ScreenStack::dismissTop(bool animated) {
    QUORVEL_ASSERT_MAIN_THREAD();
    prune();
    if (entries_.isEmpty()) return false;
    dismiss(entries_.last().screen, animated);
    return true;
}

void ScreenStack::dismissAll(bool animated) {
    QUORVEL_ASSERT_MAIN_THREAD();
    prune();
    if (!entries_.isEmpty()) dismiss(entries_.first().screen, animated);
}

void ScreenStack::dismiss(QWidget* screen, bool animated) {
    QUORVEL_ASSERT_MAIN_THREAD();
    prune();
    if (!isPresented(screen)) return;
    finishRunningTransition();
    const auto found = std::find_if(entries_.begin(), entries_.end(), [screen](const Entry& e) { return e.screen == screen; });
    if (found == entries_.end()) return; // closed by a callback of the finished transition
    const int index = int(found - entries_.begin());
    QList<Entry> closing = entries_.mid(index);
    entries_.erase(entries_.begin() + index, entries_.end());
    QPointer<QWidget> revealed(screenBelow(index));
    QPointer<QWidget> top(closing.last().screen);
    if (revealed) {
        revealed->setGeometry(rect());
        revealed->show();
    }
    auto finish = [this, closing, revealed] {
        for (auto it = closing.crbegin(); it != closing.crend(); ++it) {
            if (!it->screen) continue;
            it->screen->hide();
            if (it->presentation.deleteOnDismiss) it->screen->deleteLater();
        }
        focusScreen(revealed);
        for (auto it = closing.crbegin(); it != closing.crend(); ++it)
            if (it->presentation.dismissed) it->presentation.dismissed();
        // A callback may have presented a screen already; report what is on top now.
        emit screenRevealed(topScreen());
    };
    if (!animated || !top) {
        finish();
        return;
    }
    if (revealed) revealed->stackUnder(top);
    transition_ = new TransitionOverlay(this, closing.last().presentation.style, false, snapshot(revealed),
                                        snapshot(top));
    raiseOverlays();
    transition_->start([this, finish] {
        dropTransition();
        finish();
        // An Esc during a closing move was for the screen that went.
        escapePending_ = false;
    });
}

bool ScreenStack::escape() {
    QUORVEL_ASSERT_MAIN_THREAD();
    prune();
    if (!overlays_.isEmpty()) {
        // The notice without buttons cannot be dismissed by the user.
        if (auto f = overlays_.last().escape) f();
        return true;
    }
    if (isTransitioning()) {
        // Kept for the end of the move, so that a key pressed early is not lost.
        escapePending_ = true;
        return true;
    }
    if (entries_.isEmpty()) return false;
    if (auto f = entries_.last().presentation.escape) f();
    else dismissTop(true);
    return true;
}

void ScreenStack::addModalOverlay(QWidget* overlay) {
    QUORVEL_ASSERT_MAIN_THREAD();
    prune();
    overlay->setParent(this);
    overlay->setGeometry(rect());
    overlays_.append(Overlay{overlay, {}});
    overlay->show();
    overlay->raise();
}

void ScreenStack::removeModalOverlay(QWidget* overlay) {
    QUORVEL_ASSERT_MAIN_THREAD();
    overlays_.removeIf([overlay](const Overlay& o) { return o.widget == overlay || o.widget.isNull(); });
    if (overlays_.isEmpty()) focusScreen(topScreen());
}

void ScreenStack::setOverlayEscape(QWidget* overlay, std::function<void()> escape) {
    for (Overlay& o : overlays_)
        if (o.widget == overlay) o.escape = std::move(escape);
}

void ScreenStack::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (root_) root_->setGeometry(rect());
    for (const Entry& e : entries_)
        if (e.screen) e.screen->setGeometry(rect());
    for (const Overlay& o : overlays_)
        if (o.widget) o.widget->setGeometry(rect());
    if (transition_) transition_->setGeometry(rect());
}

} // namespace quorvel
