#pragma once
// The presenter until the screens bring a real alert: it logs the prompt and
// the review address and never shows anything.
#include "rating/RatingPromptPresenter.h"

namespace quorvel {

class LoggingRatingPromptPresenter : public RatingPromptPresenter {
public:
    void show(const RatingAlert& alert, ClickHandler clicked) override;
    bool isVisible() const override { return false; }
    void hide() override {}
    bool openURL(const QUrl& url) override;
};

} // namespace quorvel
