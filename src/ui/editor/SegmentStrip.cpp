#include "ui/editor/SegmentStrip.h"

#include "editor/GenericHelper.h"
#include "screens/MainViewController.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

namespace quorvel {

namespace {
constexpr double kPoints = GenericHelper::kPointsPerSecond;
}

SegmentStrip::SegmentStrip(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    autoScroll_.setInterval(30);
    autoScroll_.callOnTimeout(this, &SegmentStrip::autoScroll);
}

void SegmentStrip::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (!active_) {
        drag_ = Grip::None;
        autoScroll_.stop();
    }
    unsetCursor();
}

SegmentStrip::Grip SegmentStrip::gripAt(double x) const {
    if (!active_ || !presenter_) return Grip::None;
    const QRectF marker = presenter_->rangeFrame();
    if (std::fabs(x - marker.right()) <= kEdgeGrip) return Grip::Resize;
    if (x >= marker.left() && x < marker.right()) return Grip::Move;
    return Grip::Jump;
}

void SegmentStrip::showCursorFor(double x) {
    switch (drag_ != Grip::None ? drag_ : gripAt(x)) {
    case Grip::None: unsetCursor(); break;
    case Grip::Move: setCursor(drag_ == Grip::Move ? Qt::ClosedHandCursor : Qt::OpenHandCursor); break;
    case Grip::Resize: setCursor(Qt::SizeHorCursor); break;
    case Grip::Jump: setCursor(Qt::PointingHandCursor); break;
    }
}

void SegmentStrip::mousePressEvent(QMouseEvent* event) {
    const double x = event->position().x();
    const Grip grip = event->button() == Qt::LeftButton ? gripAt(x) : Grip::None;
    if (grip == Grip::None) {
        event->ignore();
        return;
    }
    if (grip == Grip::Jump) {
        // The time under the pointer, counted from the marker's start.
        const QRectF marker = presenter_->rangeFrame();
        presenter_->startValueChanged(float(presenter_->controls().start() + (x - marker.left()) / kPoints));
    }
    drag_ = grip == Grip::Resize ? Grip::Resize : Grip::Move;
    pressX_ = lastX_ = x;
    scrolled_ = 0.0;
    startAtPress_ = presenter_->controls().start();
    lengthAtPress_ = presenter_->controls().length();
    showCursorFor(x);
    event->accept();
}

void SegmentStrip::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (drag_ == Grip::None) {
        showCursorFor(x);
        return;
    }
    lastX_ = x;
    dragTo(x);
    const bool beyond = drag_ == Grip::Move && (x < 0 || x > width());
    if (beyond && !autoScroll_.isActive()) autoScroll_.start();
    if (!beyond) autoScroll_.stop();
}

void SegmentStrip::dragTo(double x) {
    if (!active_ || !presenter_) return;
    const double seconds = (x - pressX_ + scrolled_) / kPoints;
    // A press without a move changes nothing (a preview goes on playing).
    if (drag_ == Grip::Resize) {
        const float length = float(lengthAtPress_ + seconds);
        if (length != presenter_->controls().length()) presenter_->rangeValueChanged(length);
    } else {
        const float start = float(startAtPress_ + seconds);
        if (start != presenter_->controls().start()) presenter_->startValueChanged(start);
    }
}

void SegmentStrip::autoScroll() {
    if (drag_ != Grip::Move) {
        autoScroll_.stop();
        return;
    }
    const double beyond = lastX_ < 0 ? lastX_ : lastX_ > width() ? lastX_ - width() : 0.0;
    scrolled_ += beyond * kAutoScrollRate;
    dragTo(lastX_);
}

void SegmentStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_ == Grip::None) {
        event->ignore();
        return;
    }
    dragTo(event->position().x());
    drag_ = Grip::None;
    autoScroll_.stop();
    showCursorFor(event->position().x());
}

void SegmentStrip::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (drag_ == Grip::None) unsetCursor();
}

void SegmentStrip::wheelEvent(QWheelEvent* event) {
    if (!active_ || !presenter_) {
        event->ignore();
        return;
    }
    // Scrolling up or left shows earlier song, as a scroll bar does.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    double points = 0.0;
    if (!pixels.isNull()) points = std::abs(pixels.x()) > std::abs(pixels.y()) ? pixels.x() : pixels.y();
    else points = (std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y()) / 120.0 * kWheelNotchPoints;
    if (points != 0.0) presenter_->startValueChanged(float(presenter_->controls().start() - points / kPoints));
    event->accept();
}

} // namespace quorvel
