#include "RatingAlertPresenter.h"

#include "ui/common/AlertView.h"
#include "ui/common/ScreenStack.h"

#include <QDesktopServices>

namespace quorvel {

RatingAlertPresenter::RatingAlertPresenter(ScreenStack& stack) : stack_(&stack) {}

namespace {
// The processing notice on the canvas, if one is up: the only alert with a spinner.
AlertView* processingNotice(ScreenStack* stack) {
    for (AlertView* view : stack->findChildren<AlertView*>())
        if (view->activityIndicator() && !view->isHidden()) return view;
    return nullptr;
}
} // namespace

void RatingAlertPresenter::show(const RatingAlert& alert, ClickHandler clicked) {
    if (!stack_) return;
    hide();
    // Never over the processing notice: the prompt waits until the work is done.
    if (AlertView* notice = processingNotice(stack_)) {
        waiting_ = QObject::connect(notice, &ModalPanel::dismissed, stack_, [this, alert, clicked](int) {
            QObject::disconnect(waiting_);
            show(alert, clicked);
        });
        return;
    }
    alert_ = AlertView::show(stack_, alert.title, alert.message, alert.cancelButtonTitle, alert.otherButtonTitles,
                             std::move(clicked));
    // Esc is no answer: "No, Thanks" alone declines for good.
    alert_->escapeWithoutChoice();
}

bool RatingAlertPresenter::isVisible() const { return alert_ && alert_->isVisible(); }

bool RatingAlertPresenter::isWaiting() const { return bool(waiting_); }

void RatingAlertPresenter::hide() {
    QObject::disconnect(waiting_);
    // Index -1: no choice was made, so nothing is stored.
    if (alert_) alert_->dismissWithClickedButtonIndex(-1, false);
    alert_ = nullptr;
}

bool RatingAlertPresenter::openURL(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace quorvel
