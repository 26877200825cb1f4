#include "RatingAlertPresenter.h"

#include "AlertView.h"
#include "ScreenStack.h"

#include <QDesktopServices>

namespace quorvel {

RatingAlertPresenter::RatingAlertPresenter(ScreenStack& stack) : stack_(&stack) {}

void RatingAlertPresenter::show(const RatingAlert& alert, ClickHandler clicked) {
    if (!stack_) return;
    hide();
    alert_ = AlertView::show(stack_, alert.title, alert.message, alert.cancelButtonTitle, alert.otherButtonTitles,
                             std::move(clicked));
}

bool RatingAlertPresenter::isVisible() const { return alert_ && alert_->isVisible(); }

void RatingAlertPresenter::hide() {
    if (alert_) alert_->dismissWithClickedButtonIndex(0, false);
    alert_ = nullptr;
}

bool RatingAlertPresenter::openURL(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace quorvel
