#include "ui/common/ActivityIndicator.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvel {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 1000 / kSpokes; // one turn a second
} // namespace

ActivityIndicator::ActivityIndicator(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timer_.setInterval(kStepMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
    setVisible(!hidesWhenStopped_);
}

void ActivityIndicator::startAnimating() {
    if (!timer_.isActive()) timer_.start();
    show();
}

void ActivityIndicator::stopAnimating() {
    timer_.stop();
    if (hidesWhenStopped_) hide();
    update();
}

void ActivityIndicator::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!isAnimating()) setVisible(!hides);
}

void ActivityIndicator::setColor(const QColor& color) {
    color_ = color;
    update();
}

void ActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    const qreal thickness = std::max<qreal>(1.5, side / 10.0);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is brightest; the ones behind it fade.
        const int age = (step_ - i + kSpokes) % kSpokes;
        QColor c = color_;
        c.setAlphaF(float(isAnimating() ? 1.0 - 0.75 * age / (kSpokes - 1) : 0.35));
        p.save();
        p.rotate(i * 360.0 / kSpokes);
        QPainterPath spoke;
        spoke.addRoundedRect(QRectF(-thickness / 2, -outer, thickness, outer - inner), thickness / 2,
                             thickness / 2);
        p.fillPath(spoke, c);
        p.restore();
    }
}

} // namespace quorvel
