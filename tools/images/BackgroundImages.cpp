// Tiled backgrounds, the waveform strip and its overlays, the placeholder artwork.
#include "Effects.h"
#include "Images.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

namespace quorvel::images {

namespace {

QImage quorvelBackground(double scale) {
    QImage image = canvas(QSize(64, 64), scale);
    image.fill(Palette::background());
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        p.setPen(Qt::NoPen);
        // A faint dot grid, 16 points apart, that joins across tiles.
        p.setBrush(withAlpha(Qt::white, 0.05));
        for (int y = 8; y < 64; y += 16)
            for (int x = 8; x < 64; x += 16) p.drawEllipse(QPointF(x, y), 0.7, 0.7);
    }
    addGrain(image, 3, 11);
    return image;
}

QImage listBackground(double scale) {
    QImage image = canvas(QSize(64, 64), scale);
    image.fill(QColor(0x17, 0x1a, 0x21));
    {
        QPainter p(&image);
        p.scale(scale, scale);
        // Fine horizontal brushing, every 2 points.
        for (int y = 0; y < 64; y += 2) p.fillRect(QRectF(0, y, 64, 1), withAlpha(Qt::white, 0.012));
    }
    addGrain(image, 2, 23);
    return image;
}

QImage deleteBackground(double scale) {
    QImage image = canvas(QSize(64, 64), scale);
    image.fill(QColor(0x3a, 0x10, 0x18));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x47, 0x14, 0x1f));
        // Diagonal stripes, 16 points apart in both directions, so tiles join.
        for (int k = -64; k < 128; k += 16) {
            QPolygonF stripe;
            stripe << QPointF(k, 0) << QPointF(k + 8, 0) << QPointF(k + 8 - 64, 64) << QPointF(k - 64, 64);
            p.drawPolygon(stripe);
        }
    }
    addGrain(image, 2, 37);
    return image;
}

// The waveform strip: 20 seconds of a made-up waveform at 6.75 points per
// second, 79 points tall, repeating without a seam.
QImage waveTile(double scale) {
    const QSize size(135, 79);
    QImage image = canvas(size, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient ground(0, 0, 0, size.height());
    ground.setColorAt(0, Palette::backgroundDeep());
    ground.setColorAt(0.5, QColor(0x14, 0x17, 0x1e));
    ground.setColorAt(1, Palette::backgroundDeep());
    p.fillRect(QRectF(QPointF(0, 0), size), ground);
    const double centre = size.height() / 2.0;
    p.fillRect(QRectF(0, 0, size.width(), 0.5), withAlpha(Qt::white, 0.06));
    p.fillRect(QRectF(0, size.height() - 0.5, size.width(), 0.5), withAlpha(Qt::black, 0.5));

    constexpr int bars = 45;  // one every 3 points
    QLinearGradient tone(0, centre - 34, 0, centre + 34);
    tone.setColorAt(0, Palette::accentDark());
    tone.setColorAt(0.5, Palette::accentLight());
    tone.setColorAt(1, Palette::accentDark());
    p.setPen(Qt::NoPen);
    p.setBrush(tone);
    for (int i = 0; i < bars; ++i) {
        const double t = 2 * M_PI * i / bars;  // every term repeats over the tile
        const double jitter = std::fmod(std::sin(i * 12.9898) * 43758.5453, 1.0);
        double level = 0.52 + 0.22 * std::sin(2 * t + 0.4) + 0.12 * std::sin(7 * t + 1.3) +
                       0.07 * std::sin(13 * t + 2.1) + 0.12 * jitter;
        level = std::clamp(level, 0.1, 0.95);
        const double half = level * 34;
        p.drawRoundedRect(QRectF(3 * i + 0.5, centre - half, 2, 2 * half), 1, 1);
    }
    p.fillRect(QRectF(0, centre - 0.25, size.width(), 0.5), withAlpha(Qt::white, 0.18));
    return image;
}

QImage cursor(double scale) {
    QImage image = canvas(QSize(3, 81), scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.fillRect(QRectF(0, 0, 3, 81), withAlpha(Palette::accentLight(), 0.35));
    p.fillRect(QRectF(1, 0, 1, 81), withAlpha(Qt::white, 0.95));
    return image;
}

// The chosen segment over the strip; stretchable with caps of 10 points.
QImage rangeMarker(double scale) {
    QImage image = canvas(QSize(21, 81), scale);
    QPainter p(&image);
    p.scale(scale, scale);
    p.fillRect(QRectF(0, 0, 21, 81), withAlpha(Palette::accent(), 0.16));
    p.fillRect(QRectF(0, 0, 21, 1), withAlpha(Palette::accent(), 0.6));
    p.fillRect(QRectF(0, 80, 21, 1), withAlpha(Palette::accent(), 0.6));
    p.fillRect(QRectF(0, 0, 2, 81), Palette::accent());
    p.fillRect(QRectF(19, 0, 2, 81), Palette::accent());
    return image;
}

QPainterPath noteShape() {
    // Two beamed eighth notes, drawn in a 60-point square.
    QPainterPath notes;
    auto head = [&](QPointF centre) {
        QPainterPath ellipse;
        ellipse.addEllipse(QPointF(0, 0), 5.2, 3.8);
        QTransform t;
        t.translate(centre.x(), centre.y());
        t.rotate(-22);
        notes.addPath(t.map(ellipse));
    };
    head(QPointF(22.5, 40));
    head(QPointF(38.5, 37));
    notes.addRect(QRectF(26.2, 19, 2.2, 21));
    notes.addRect(QRectF(42.2, 16, 2.2, 21));
    QPolygonF beam;
    beam << QPointF(26.2, 19) << QPointF(44.4, 16) << QPointF(44.4, 21.5) << QPointF(26.2, 24.5);
    notes.addPolygon(beam);
    notes.closeSubpath();
    notes.setFillRule(Qt::WindingFill);
    return notes.simplified();
}

QImage noArtwork(double scale) {
    const QSize size(60, 60);
    QImage image = canvas(size, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient ground(0, 0, 60, 60);
    ground.setColorAt(0, QColor(0x2c, 0x32, 0x3e));
    ground.setColorAt(1, QColor(0x15, 0x18, 0x1f));
    p.fillRect(QRectF(0, 0, 60, 60), ground);
    QRadialGradient glow(QPointF(18, 14), 40);
    glow.setColorAt(0, withAlpha(Palette::accent(), 0.18));
    glow.setColorAt(1, withAlpha(Palette::accent(), 0));
    p.fillRect(QRectF(0, 0, 60, 60), glow);

    const QPainterPath notes = noteShape();
    dropShadow(p, notes, withAlpha(Qt::black, 0.5), 2, QPointF(0, 1));
    QLinearGradient ink(0, 14, 0, 46);
    ink.setColorAt(0, QColor(0xa8, 0xb0, 0xc0));
    ink.setColorAt(1, QColor(0x74, 0x7c, 0x8e));
    p.fillPath(notes, ink);

    p.setPen(QPen(withAlpha(Qt::white, 0.07), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 59, 59));
    return image;
}

} // namespace

std::vector<ImageSpec> backgroundImages() {
    return {
        {QStringLiteral("QuorvelBG.png"), QSize(64, 64), quorvelBackground},
        {QStringLiteral("fmBG.png"), QSize(64, 64), listBackground},
        {QStringLiteral("artistBg_4delete.png"), QSize(64, 64), deleteBackground},
        {QStringLiteral("wave.png"), QSize(135, 79), waveTile},
        {QStringLiteral("cursor.png"), QSize(3, 81), cursor},
        {QStringLiteral("rangeMarker.png"), QSize(21, 81), rangeMarker},
        {QStringLiteral("no_artwork.png"), QSize(60, 60), noArtwork},
    };
}

} // namespace quorvel::images
