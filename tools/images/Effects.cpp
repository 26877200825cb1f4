#include "Effects.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace quorvel::images {

namespace {

// Three box blurs of the alpha channel approximate a Gaussian.
void blurAlpha(QImage& image, int radius) {
    if (radius <= 0) return;
    const int w = image.width(), h = image.height();
    std::vector<int> alpha(size_t(w) * h), scratch(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) alpha[size_t(y) * w + x] = qAlpha(image.pixel(x, y));
    auto pass = [&](std::vector<int>& src, std::vector<int>& dst, bool horizontal) {
        const int n = horizontal ? w : h, lines = horizontal ? h : w;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> int& {
                const int c = std::clamp(i, 0, n - 1);
                return horizontal ? src[size_t(l) * w + c] : src[size_t(c) * w + l];
            };
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) sum += (i < 0 || i >= n) ? 0 : at(i);
            for (int i = 0; i < n; ++i) {
                (horizontal ? dst[size_t(l) * w + i] : dst[size_t(i) * w + l]) = sum / (2 * radius + 1);
                const int out = i - radius, in = i + radius + 1;
                sum -= (out < 0) ? 0 : at(out);
                sum += (in >= n) ? 0 : at(in);
            }
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(alpha, scratch, true);
        pass(scratch, alpha, false);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), alpha[size_t(y) * w + x]));
        }
}

} // namespace

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

QImage canvas(const QSize& points, double scale) {
    QImage image(int(std::lround(points.width() * scale)), int(std::lround(points.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

namespace {
// The shape filled with `color` (opaque), offset and blurred, in device pixels.
QImage shadowLayer(QPainter& painter, const QPainterPath& shape, const QColor& color, double radius,
                   const QPointF& offset) {
    const QTransform toPixels = painter.worldTransform();
    const double scale = std::sqrt(std::abs(toPixels.determinant()));
    QImage layer(painter.device()->width(), painter.device()->height(), QImage::Format_ARGB32);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(toPixels);
        p.translate(offset);
        p.fillPath(shape, QColor(color.red(), color.green(), color.blue()));
    }
    blurAlpha(layer, int(std::lround(radius * scale / 2)));
    return layer;
}

void drawLayer(QPainter& painter, const QImage& layer, double alpha) {
    painter.save();
    painter.resetTransform();
    painter.setOpacity(painter.opacity() * alpha);
    painter.drawImage(0, 0, layer);
    painter.restore();
}
} // namespace

void dropShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, double radius,
                const QPointF& offset) {
    drawLayer(painter, shadowLayer(painter, shape, color, radius, offset), color.alphaF());
}

void innerShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, double radius,
                 const QPointF& offset) {
    // The shadow of everything outside the shape, seen through the shape.
    QPainterPath outside;
    outside.addRect(shape.boundingRect().adjusted(-4 * radius - 8, -4 * radius - 8, 4 * radius + 8, 4 * radius + 8));
    outside = outside.subtracted(shape);
    QImage layer = shadowLayer(painter, outside, color, radius, offset);
    QImage mask(layer.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(painter.worldTransform());
        p.fillPath(shape, Qt::black);
    }
    {
        QPainter p(&layer);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask);
    }
    drawLayer(painter, layer, color.alphaF());
}

void addGrain(QImage& image, int strength, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-strength, strength);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int n = noise(random);
            image.setPixel(x, y, qRgba(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                                       std::clamp(qBlue(p) + n, 0, 255), qAlpha(p)));
        }
}

} // namespace quorvel::images
