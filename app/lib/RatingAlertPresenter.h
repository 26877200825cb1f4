#pragma once
// Puts the rating prompt in front of the user: a window-modal alert on the
// canvas (held back while the processing notice is up), and the desktop's
// opener for the review page. Hiding it, or Esc, stores no choice.
#include "rating/RatingPromptPresenter.h"
#include "ui/common/AlertView.h"

#include <QMetaObject>
#include <QPointer>

namespace quorvel {

class ScreenStack;

class RatingAlertPresenter : public RatingPromptPresenter {
public:
    explicit RatingAlertPresenter(ScreenStack& stack);

    void show(const RatingAlert& alert, ClickHandler clicked) override;
    bool isVisible() const override;
    void hide() override;
    bool openURL(const QUrl& url) override;
    // Held back until the processing notice closes.
    bool isWaiting() const;
    AlertView* alertView() const { return alert_; }

private:
    QPointer<ScreenStack> stack_;
    QPointer<AlertView> alert_;
    QMetaObject::Connection waiting_;
};

} // namespace quorvel
