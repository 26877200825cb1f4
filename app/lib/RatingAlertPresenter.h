#pragma once
// Puts the rating prompt in front of the user: a window-modal alert on the
// canvas, and the desktop's opener for the review page.
#include "RatingPromptPresenter.h"

#include <QPointer>

namespace quorvel {

class AlertView;
class ScreenStack;

class RatingAlertPresenter : public RatingPromptPresenter {
public:
    explicit RatingAlertPresenter(ScreenStack& stack);

    void show(const RatingAlert& alert, ClickHandler clicked) override;
    bool isVisible() const override;
    void hide() override;
    bool openURL(const QUrl& url) override;

private:
    QPointer<ScreenStack> stack_;
    QPointer<AlertView> alert_;
};

} // namespace quorvel
