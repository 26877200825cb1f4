#include "ui/editor/EditorSlider.h"

#include "ui/controls/UIImage.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QTransform>
#include <cmath>

namespace quorvel {

namespace {

constexpr int kTrackCap = 10;

// The image turned a quarter for an upright slider, keeping its density.
QPixmap turned(const QPixmap& pixmap) {
    QPixmap out = pixmap.transformed(QTransform().rotate(90), Qt::SmoothTransformation);
    out.setDevicePixelRatio(pixmap.devicePixelRatio());
    return out;
}

// A track image stretched over `target`, its rounded ends kept whole.
void drawTrack(QPainter& p, const QRectF& target, const QPixmap& image, Qt::Orientation orientation) {
    if (target.isEmpty() || image.isNull()) return;
    const QSizeF size = UIImage::pointSize(image);
    const qreal dpr = image.devicePixelRatio();
    if (orientation == Qt::Horizontal) {
        const qreal cap = std::min<qreal>(kTrackCap, target.width() / 2);
        p.drawPixmap(QRectF(target.left(), target.top(), cap, target.height()), image,
                     QRectF(0, 0, cap * dpr, size.height() * dpr));
        p.drawPixmap(QRectF(target.left() + cap, target.top(), target.width() - 2 * cap, target.height()), image,
                     QRectF(kTrackCap * dpr, 0, (size.width() - 2 * kTrackCap) * dpr, size.height() * dpr));
        p.drawPixmap(QRectF(target.right() - cap, target.top(), cap, target.height()), image,
                     QRectF((size.width() - cap) * dpr, 0, cap * dpr, size.height() * dpr));
    } else {
        const qreal cap = std::min<qreal>(kTrackCap, target.height() / 2);
        p.drawPixmap(QRectF(target.left(), target.top(), target.width(), cap), image,
                     QRectF(0, 0, size.width() * dpr, cap * dpr));
        p.drawPixmap(QRectF(target.left(), target.top() + cap, target.width(), target.height() - 2 * cap), image,
                     QRectF(0, kTrackCap * dpr, size.width() * dpr, (size.height() - 2 * kTrackCap) * dpr));
        p.drawPixmap(QRectF(target.left(), target.bottom() - cap, target.width(), cap), image,
                     QRectF(0, (size.height() - cap) * dpr, size.width() * dpr, cap * dpr));
    }
}

} // namespace

EditorSlider::EditorSlider(QWidget* parent) : QSlider(parent) {
    // Reached with Tab, not by a click: a click keeps the editor's keys working.
    setFocusPolicy(Qt::TabFocus);
    applyStyle();
    connect(this, &QSlider::valueChanged, this, [this](int) {
        if (isSliderDown()) emit valueChangedWhileDragging(floatValue());
        else emit valueChangedReleased(floatValue());
    });
    // The snap happens here, once the thumb is let go.
    connect(this, &QSlider::sliderReleased, this, [this] { emit valueChangedReleased(floatValue()); });
}

void EditorSlider::showValue(float minimum, float maximum, float value) {
    const QSignalBlocker quiet(this);
    setRange(int(std::lround(minimum * kScale)), int(std::lround(maximum * kScale)));
    if (!isSliderDown()) setValue(int(std::lround(value * kScale)));
}

void EditorSlider::changeEvent(QEvent* event) {
    QSlider::changeEvent(event);
    if (event->type() == QEvent::OrientationChange) applyStyle();
}

// The style sheet gives the track and the thumb their sizes, so that clicks
// and drags hit what paintEvent() draws.
void EditorSlider::applyStyle() {
    if (orientation() == Qt::Horizontal) {
        setStyleSheet(QStringLiteral(
            "QSlider::groove:horizontal { height: 8px; background: transparent; border: none; margin: 0 4px; }"
            "QSlider::handle:horizontal { width: 28px; height: 28px; margin: -10px -4px; background: transparent; }"));
        setMinimumHeight(28);
    } else {
        setStyleSheet(QStringLiteral(
            "QSlider::groove:vertical { width: 8px; background: transparent; border: none; margin: 4px 0; }"
            "QSlider::handle:vertical { width: 36px; height: 20px; margin: -4px -14px; background: transparent; }"));
        setMinimumWidth(36);
    }
}

void EditorSlider::paintEvent(QPaintEvent*) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled()) p.setOpacity(0.5);
    const QPixmap full = UIImage::imageNamed(QStringLiteral("horizontalSliderFull.png"));
    const QPixmap empty = UIImage::imageNamed(QStringLiteral("horizontalSliderBg.png"));
    if (orientation() == Qt::Horizontal) {
        const QRectF track(groove.left(), groove.center().y() - 3.5, groove.width(), 8);
        drawTrack(p, track, empty, Qt::Horizontal);
        drawTrack(p, QRectF(track.left(), track.top(), handle.center().x() - track.left() + 1, 8), full,
                  Qt::Horizontal);
        const QPixmap thumb = UIImage::imageNamed(QStringLiteral("horizontalSliderThumb.png"));
        const QSizeF size = UIImage::pointSize(thumb);
        p.drawPixmap(QPointF(handle.center().x() + 0.5 - size.width() / 2, handle.center().y() + 0.5 - size.height() / 2),
                     thumb);
    } else {
        // Upright: the tracks and the thumb turned, filled from the bottom.
        const QRectF track(groove.center().x() - 3.5, groove.top(), 8, groove.height());
        drawTrack(p, track, turned(empty), Qt::Vertical);
        drawTrack(p, QRectF(track.left(), handle.center().y(), 8, track.bottom() - handle.center().y() + 1),
                  turned(full), Qt::Vertical);
        const QPixmap thumb = turned(UIImage::imageNamed(QStringLiteral("verticalSliderThumb.png")));
        const QSizeF size = UIImage::pointSize(thumb);
        p.drawPixmap(QPointF(handle.center().x() + 0.5 - size.width() / 2, handle.center().y() + 0.5 - size.height() / 2),
                     thumb);
    }
    if (hasFocus()) {
        p.setOpacity(1.0);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
}

} // namespace quorvel
