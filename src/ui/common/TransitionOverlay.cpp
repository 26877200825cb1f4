#include "ui/common/TransitionOverlay.h"

#include <QPainter>
#include <QTransform>
#include <cmath>

namespace quorvel {

TransitionOverlay::TransitionOverlay(QWidget* parent, ModalTransitionStyle style, bool presenting, QPixmap lower,
                                     QPixmap upper)
    : QWidget(parent), style_(style), presenting_(presenting), lower_(std::move(lower)), upper_(std::move(upper)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(parent->rect());
    animation_.setStartValue(0.0);
    animation_.setEndValue(1.0);
    animation_.setDuration(durationMs(style));
    animation_.setEasingCurve(style == ModalTransitionStyle::FlipHorizontal ? QEasingCurve::InOutSine
                                                                             : QEasingCurve::OutCubic);
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        progress_ = v.toReal();
        update();
    });
    connect(&animation_, &QVariantAnimation::finished, this, &TransitionOverlay::complete);
}

int TransitionOverlay::durationMs(ModalTransitionStyle style) {
    switch (style) {
    case ModalTransitionStyle::FlipHorizontal: return 600;
    case ModalTransitionStyle::CrossDissolve: return 300;
    case ModalTransitionStyle::CoverVertical: break;
    }
    return 350;
}

void TransitionOverlay::start(std::function<void()> finished) {
    finished_ = std::move(finished);
    running_ = true;
    show();
    raise();
    animation_.start();
}

void TransitionOverlay::finishNow() {
    if (!running_) return;
    animation_.stop();
    progress_ = 1.0;
    complete();
}

void TransitionOverlay::complete() {
    if (!running_) return;
    running_ = false;
    if (auto f = std::move(finished_)) f();
}

void TransitionOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal t = progress_;
    if (style_ == ModalTransitionStyle::FlipHorizontal) {
        paintFlip(p, t);
        return;
    }
    // How far the presented screen is in: 0 (out) .. 1 (covering the canvas).
    const qreal in = presenting_ ? t : 1.0 - t;
    p.drawPixmap(0, 0, lower_);
    if (style_ == ModalTransitionStyle::CrossDissolve) {
        p.setOpacity(in);
        p.drawPixmap(0, 0, upper_);
    } else {
        p.drawPixmap(QPointF(0, height() * (1.0 - in)), upper_);
    }
}

// The canvas turns 180 degrees around its vertical axis: the face that was
// showing for the first half, the other face for the second.
void TransitionOverlay::paintFlip(QPainter& p, qreal t) {
    p.fillRect(rect(), Qt::black);
    const QPixmap& front = presenting_ ? lower_ : upper_;
    const QPixmap& back = presenting_ ? upper_ : lower_;
    const qreal direction = presenting_ ? 1.0 : -1.0;
    qreal angle = 180.0 * t;
    const QPixmap& face = angle < 90.0 ? front : back;
    if (angle >= 90.0) angle -= 180.0;
    const qreal cx = width() / 2.0, cy = height() / 2.0;
    QTransform turn;
    turn.translate(cx, cy);
    turn.rotate(direction * angle, Qt::YAxis);
    turn.translate(-cx, -cy);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(turn, true);
    p.drawPixmap(0, 0, face);
}

} // namespace quorvel
