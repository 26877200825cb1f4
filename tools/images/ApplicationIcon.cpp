// The application icon: a waveform ringing out of a dark tile.
#include "Effects.h"
#include "Images.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace quorvel::images {

std::vector<int> iconSizes() { return {16, 32, 48, 64, 128, 256, 512}; }

QImage applicationIcon(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = pixels / 512.0;
    p.scale(scale, scale);

    // Small sizes fill more of the square and keep only the strongest shapes,
    // with the bars on whole pixels at 16 and 32.
    const bool tiny = pixels <= 32;
    const double margin = tiny ? 8 : 32;
    const QRectF tile(margin, margin, 512 - 2 * margin, 512 - 2 * margin);
    const double corner = tile.width() * 0.22;
    QPainterPath shape;
    shape.addRoundedRect(tile, corner, corner);
    if (!tiny) dropShadow(p, shape, withAlpha(Qt::black, 0.45), 16, QPointF(0, 8));
    QLinearGradient ground(0, tile.top(), 0, tile.bottom());
    ground.setColorAt(0, QColor(0x27, 0x2d, 0x39));
    ground.setColorAt(1, QColor(0x0e, 0x11, 0x16));
    p.fillPath(shape, ground);
    QRadialGradient glow(QPointF(256, 300), 230);
    glow.setColorAt(0, withAlpha(Palette::accent(), 0.28));
    glow.setColorAt(1, withAlpha(Palette::accent(), 0));
    p.fillPath(shape, glow);
    if (!tiny) {
        p.setPen(QPen(withAlpha(Qt::white, 0.10), 4));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(tile.adjusted(2, 2, -2, -2), corner - 2, corner - 2);
    }

    QLinearGradient tone(0, 90, 0, 422);
    tone.setColorAt(0, Palette::accentLight());
    tone.setColorAt(0.55, Palette::accent());
    tone.setColorAt(1, Palette::accentDark());

    // The waveform: bars about the middle.
    struct Bar {
        double x, half;
    };
    const std::vector<Bar> bars = tiny ? std::vector<Bar>{{160, 96}, {256, 160}, {352, 96}}
                                       : std::vector<Bar>{{152, 58}, {204, 108}, {256, 150}, {308, 108}, {360, 58}};
    const double barWidth = tiny ? 64 : 32;
    QPainterPath wave;
    for (const Bar& bar : bars)
        wave.addRoundedRect(QRectF(bar.x - barWidth / 2, 256 - bar.half, barWidth, 2 * bar.half), barWidth / 2,
                            barWidth / 2);
    wave.setFillRule(Qt::WindingFill);
    if (!tiny) dropShadow(p, wave, withAlpha(Qt::black, 0.5), 8, QPointF(0, 6));
    p.fillPath(wave, tone);

    // Rings on both sides, as of a ringing phone.
    if (pixels >= 64) {
        p.setBrush(Qt::NoBrush);
        for (int ring = 0; ring < 2; ++ring) {
            const double radius = 152 + ring * 38;
            p.setPen(QPen(withAlpha(Palette::accent(), ring == 0 ? 0.8 : 0.45), 18, Qt::SolidLine, Qt::RoundCap));
            const QRectF box(256 - radius, 256 - radius, 2 * radius, 2 * radius);
            p.drawArc(box, -30 * 16, 60 * 16);
            p.drawArc(box, 150 * 16, 60 * 16);
        }
    }
    return image;
}

} // namespace quorvel::images
