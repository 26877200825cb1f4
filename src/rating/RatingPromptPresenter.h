#pragma once
// How the rating prompt reaches the user: an alert with a title, a message, a
// cancel button and further buttons, and the desktop's URL opener for the
// review page. The screens put a real alert behind this; the default presenter
// only logs. Every call comes on the main thread.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace quorvel {

// What the alert shows. Button indexes: 0 is the cancel button, then the
// further buttons in order.
struct RatingAlert {
    QString title;
    QString message;
    QString cancelButtonTitle;
    QStringList otherButtonTitles;
};

class RatingPromptPresenter {
public:
    using ClickHandler = std::function<void(int buttonIndex)>;

    virtual ~RatingPromptPresenter() = default;

    // Shows `alert`; when the user picks a button the presenter calls `clicked`
    // with its index, on the main thread.
    virtual void show(const RatingAlert& alert, ClickHandler clicked) = 0;
    virtual bool isVisible() const = 0;
    // Dismisses the shown alert without animation. `clicked` is not called.
    virtual void hide() = 0;
    // Asks the desktop to open `url`; false when nothing could open it.
    virtual bool openURL(const QUrl& url) = 0;
};

} // namespace quorvel
