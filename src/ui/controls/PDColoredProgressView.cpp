#include "ui/controls/PDColoredProgressView.h"

#include "ui/controls/drawing.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace quorvel {

namespace {

QColor grey(int level, qreal alpha) {
    const float l = float(level / 255.0);
    return QColor::fromRgbF(l, l, l, float(alpha));
}

// QPainter clips with aliased edges; the bar wants smooth rounded corners, so
// each drawing step goes to a layer of its own and its clips are applied as
// anti-aliased coverage masks before the layers are stacked.
class Layer {
public:
    Layer(const QSize& pixels, qreal devicePixelRatio) : image_(pixels, QImage::Format_ARGB32_Premultiplied) {
        image_.setDevicePixelRatio(devicePixelRatio);
        image_.fill(Qt::transparent);
    }
    QImage& image() { return image_; }

    void clipTo(const QPainterPath& clip) {
        QImage mask(image_.size(), QImage::Format_ARGB32_Premultiplied);
        mask.setDevicePixelRatio(image_.devicePixelRatio());
        mask.fill(Qt::transparent);
        {
            QPainter p(&mask);
            p.setRenderHint(QPainter::Antialiasing);
            p.fillPath(clip, Qt::black);
        }
        QPainter p(&image_);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(QPointF(0, 0), mask);
    }

    void drawOver(Layer& below) {
        QPainter p(&below.image_);
        p.drawImage(QPointF(0, 0), image_);
    }

private:
    QImage image_;
};

QPainterPath roundedRect(const QRectF& rect) {
    QPainterPath path;
    addRoundedRectToPath(path, rect);
    return path;
}

} // namespace

PDColoredProgressView::PDColoredProgressView(QWidget* parent) : PDColoredProgressView(UIProgressViewStyleDefault, parent) {}

PDColoredProgressView::PDColoredProgressView(ProgressViewStyle style, QWidget* parent)
    : QProgressBar(parent), style_(style),
      tintColor_(QColor::fromRgbF(float(125 / 255.0), float(228 / 255.0), float(30 / 255.0), 1.0f)) {
    setRange(0, kProgressSteps);
    setValue(0);
    setTextVisible(false);
}

float PDColoredProgressView::progress() const {
    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0) return 0.0f;
    return float(double(qint64(value()) - minimum()) / double(span));
}

void PDColoredProgressView::setProgress(float progress) {
    if (std::isnan(progress)) progress = 0.0f;
    const float clamped = std::clamp(progress, 0.0f, 1.0f);
    const qint64 span = qint64(maximum()) - minimum();
    setValue(int(minimum() + std::llround(double(clamped) * double(span))));
    // QProgressBar skips repaints for changes it deems too small to see on its own drawing.
    update();
}

void PDColoredProgressView::setProgressViewStyle(ProgressViewStyle style) {
    if (style_ == style) return;
    style_ = style;
    updateGeometry();
    update();
}

void PDColoredProgressView::setTintColor(const QColor& color) { tintColor_ = color; }

QSize PDColoredProgressView::sizeHint() const {
    if (style_ != UIProgressViewStyleDefault) return QProgressBar::sizeHint();
    return QSize(150, 9);
}

QSize PDColoredProgressView::minimumSizeHint() const {
    if (style_ != UIProgressViewStyleDefault) return QProgressBar::minimumSizeHint();
    return QSize(8, 9);
}

void PDColoredProgressView::paintEvent(QPaintEvent* event) {
    if (style_ != UIProgressViewStyleDefault) {
        QProgressBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawRect(painter, QRectF(rect()));
}

void PDColoredProgressView::drawRect(QPainter& painter, const QRectF& rect) {
    const float x = float(rect.x());
    const float y = float(rect.y());
    const float w = float(rect.width());
    const float h = float(rect.height());
    if (w <= 0 || h <= 0) return;

    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(int(std::ceil((x + w) * dpr)), int(std::ceil((y + h) * dpr)));
    const float bandHeight = h / 1.75f;

    // 1-4: the track.
    const QPainterPath trackClip = roundedRect(QRectF(x, y, w, h));
    Layer track(pixels, dpr);
    {
        QPainter p(&track.image());
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(QRectF(x, y, w, h), grey(255, 1.0));
        p.setPen(QPen(grey(178, 0.9), 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(2.2, h), QPointF(double(w) - 2.2, h));
        p.fillRect(QRectF(x, 0, w, bandHeight), grey(202, 0.9));
        p.fillRect(QRectF(x, 0, w, double(bandHeight) / 2.7), grey(163, 0.8));
    }
    track.clipTo(trackClip);

    // 5: the bar in the tint colour.
    const float pw = w * progress();
    const QPainterPath barClip = roundedRect(QRectF(x, y, pw, h));
    Layer bar(pixels, dpr);
    {
        QPainter p(&bar.image());
        p.fillRect(QRectF(x, y, pw, h), tintColor_);
    }
    bar.clipTo(trackClip);
    bar.clipTo(barClip);

    // 6-7: outline and gloss, inside the bar's inset.
    const QRectF inset(x + 0.625, y + 0.625, pw - 1.25, h - 1.25);
    Layer finish(pixels, dpr);
    {
        QPainter p(&finish.image());
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(grey(20, 0.6), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawRect(inset);

        p.save();
        p.translate(x, 0);
        QLinearGradient gloss(QPointF(0, bandHeight), QPointF(0, 0));
        gloss.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.45f));
        gloss.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.75));
        // The gradient does not extend past its two ends.
        p.fillRect(QRectF(-x, 0, pixels.width() / dpr, bandHeight), gloss);
        p.restore();
    }
    finish.clipTo(trackClip);
    finish.clipTo(barClip);
    finish.clipTo(roundedRect(inset));

    finish.drawOver(bar);
    bar.drawOver(track);
    painter.drawImage(QPointF(0, 0), track.image());
}

} // namespace quorvel
