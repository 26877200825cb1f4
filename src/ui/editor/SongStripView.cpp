#include "ui/editor/SongStripView.h"

#include "platform/media/WaveformPeaks.h"
#include "ui/controls/UIImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {
// The colours of the tiled picture (tools/images).
const QColor kGround(0x0c, 0x0e, 0x12);
const QColor kGroundMiddle(0x14, 0x17, 0x1e);
const QColor kToneLight(0x6a, 0xee, 0xdc);
const QColor kToneDark(0x0c, 0x8a, 0x7e);
} // namespace

SongStripView::SongStripView(QWidget* parent) : QWidget(parent), fade_(new QVariantAnimation(this)) {
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    fade_->setDuration(kFadeMs);
    fade_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        opacity_ = value.toReal();
        update();
    });
}

void SongStripView::setPeaks(std::shared_ptr<const WaveformPeaks> peaks) {
    if (peaks == peaks_) return;
    peaks_ = std::move(peaks);
    fade_->stop();
    opacity_ = 0.0;
    if (peaks_) fade_->start();
    update();
}

void SongStripView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = event->rect();
    if (opacity_ < 1.0) p.drawTiledPixmap(rect(), UIImage::imageNamed(QStringLiteral("wave.png")));
    if (!peaks_ || opacity_ <= 0.0) return;
    p.setOpacity(opacity_);
    paintWaveform(p, area);
}

void SongStripView::paintWaveform(QPainter& p, const QRect& area) {
    const qreal h = height();
    const qreal centre = h / 2.0;
    QLinearGradient ground(0, 0, 0, h);
    ground.setColorAt(0, kGround);
    ground.setColorAt(0.5, kGroundMiddle);
    ground.setColorAt(1, kGround);
    p.fillRect(area, ground);

    // Two columns a point (the peaks are at twice the strip's scale).
    const int columns = peaks_->columnCount();
    const int first = std::max(0, int(std::floor(area.left() * 2.0)));
    const int last = std::min(columns, int(std::ceil((area.right() + 1) * 2.0)));
    QLinearGradient tone(0, centre - kFullScale, 0, centre + kFullScale);
    tone.setColorAt(0, kToneDark);
    tone.setColorAt(0.5, kToneLight);
    tone.setColorAt(1, kToneDark);
    const QBrush brush(tone);
    for (int c = first; c < last; ++c) {
        const qreal top = centre - std::clamp<qreal>(peaks_->maximum(c), -1, 1) * kFullScale;
        const qreal bottom = centre - std::clamp<qreal>(peaks_->minimum(c), -1, 1) * kFullScale;
        // Even a silent column keeps a hairline, so the song's extent shows.
        const qreal height = std::max<qreal>(bottom - top, 0.5);
        p.fillRect(QRectF(c / 2.0, std::min(top, centre - 0.25), 0.5, height), brush);
    }
    p.fillRect(QRectF(area.left(), 0, area.width(), 0.5), QColor(255, 255, 255, 15));
    p.fillRect(QRectF(area.left(), h - 0.5, area.width(), 0.5), QColor(0, 0, 0, 128));
    p.fillRect(QRectF(area.left(), centre - 0.25, area.width(), 0.5), QColor(255, 255, 255, 46));
    // After the song's end (the room the strip scrolls into) the ground stays empty.
}

} // namespace quorvel
