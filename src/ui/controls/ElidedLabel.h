#pragma once
// A one-line label that fits its width by leaving out the middle of its text
// ("An Extraord…Song Remix-12"), so that the end (a ringtone's counter)
// stays. text() stays the whole text, and so does what a screen reader
// says; while it does not fit, hovering shows the whole text.
#include <QLabel>

namespace quorvel {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text as drawn at the current width.
    QString shownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace quorvel
