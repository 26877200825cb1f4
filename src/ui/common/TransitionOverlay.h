#pragma once
// Plays one screen transition over the whole canvas from two snapshots (the
// screen below and the presented one), swallowing input while it runs. The
// real screens sit underneath and are swapped when it ends.
#include "ui/common/ModalTransitionStyle.h"

#include <QPixmap>
#include <QVariantAnimation>
#include <QWidget>
#include <functional>

namespace quorvel {

class TransitionOverlay : public QWidget {
    Q_OBJECT
public:
    TransitionOverlay(QWidget* parent, ModalTransitionStyle style, bool presenting, QPixmap lower,
                      QPixmap upper);

    static int durationMs(ModalTransitionStyle style);

    // Runs the animation; `finished` runs once at its end (or on finishNow()).
    void start(std::function<void()> finished);
    // Jumps to the end at once (a new transition is asked for while this one runs).
    void finishNow();
    bool isRunning() const { return running_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintFlip(QPainter& p, qreal t);
    void complete();

    ModalTransitionStyle style_;
    bool presenting_;
    QPixmap lower_;
    QPixmap upper_;
    QVariantAnimation animation_;
    qreal progress_ = 0.0; // 0 = start of the transition, 1 = its end
    bool running_ = false;
    std::function<void()> finished_;
};

} // namespace quorvel
