#include "rating/LoggingRatingPromptPresenter.h"

#include "platform/core/Log.h"

namespace quorvel {

void LoggingRatingPromptPresenter::show(const RatingAlert& alert, ClickHandler) {
    NSLog("Rating prompt due (no alert on this build): %@ - %@", alert.title, alert.message);
}

bool LoggingRatingPromptPresenter::openURL(const QUrl& url) {
    NSLog("Cannot open %@: no URL opener on this build", url);
    return false;
}

} // namespace quorvel
