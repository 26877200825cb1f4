// The sliders' tracks and thumbs and the switch's images.
#include "Effects.h"
#include "Images.h"

#include <QLinearGradient>
#include <QPainter>

namespace quorvel::images {

namespace {

QPainterPath pill(const QRectF& rect) {
    QPainterPath path;
    const double r = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, r, r);
    return path;
}

QPainter* begin(QPainter& p, QImage& image, double scale) {
    p.begin(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    return &p;
}

// A sunken groove: dark, shadowed from above, lit along its lower edge.
void groove(QPainter& p, const QRectF& rect) {
    const QPainterPath shape = pill(rect);
    QPainterPath lip = pill(rect.translated(0, 0.75));
    p.fillPath(lip, withAlpha(Qt::white, 0.07));
    p.fillPath(shape, QColor(0x0a, 0x0c, 0x10));
    innerShadow(p, shape, withAlpha(Qt::black, 0.9), 1.5, QPointF(0, 0.75));
}

QImage horizontalTrack(double scale, bool full) {
    QImage image = canvas(QSize(21, 8), scale);
    QPainter p;
    begin(p, image, scale);
    const QRectF track(0, 1, 21, 6);
    if (!full) {
        groove(p, track);
        return image;
    }
    const QPainterPath shape = pill(track);
    p.fillPath(pill(track.translated(0, 0.75)), withAlpha(Qt::white, 0.07));
    QLinearGradient fill(0, track.top(), 0, track.bottom());
    fill.setColorAt(0, Palette::accentLight());
    fill.setColorAt(1, Palette::accentDark());
    p.fillPath(shape, fill);
    p.fillPath(pill(QRectF(3, 1.6, 15, 1.2)), withAlpha(Qt::white, 0.35));
    return image;
}

QImage horizontalThumb(double scale) {
    QImage image = canvas(QSize(28, 28), scale);
    QPainter p;
    begin(p, image, scale);
    QPainterPath knob;
    knob.addEllipse(QPointF(14, 13.5), 11, 11);
    dropShadow(p, knob, withAlpha(Qt::black, 0.7), 2.5, QPointF(0, 1.5));
    QLinearGradient fill(0, 2.5, 0, 24.5);
    fill.setColorAt(0, QColor(0xfa, 0xfb, 0xfd));
    fill.setColorAt(1, QColor(0xc4, 0xca, 0xd4));
    p.fillPath(knob, fill);
    p.setPen(QPen(withAlpha(Qt::black, 0.25), 0.75));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(14, 13.5), 10.6, 10.6);
    QPainterPath dot;
    dot.addEllipse(QPointF(14, 13.5), 3.5, 3.5);
    innerShadow(p, dot, withAlpha(Qt::black, 0.5), 1, QPointF(0, 0.5));
    p.fillPath(dot, withAlpha(Palette::accent(), 0.95));
    return image;
}

// A fader cap. Drawn along the slider's own length (which the screen turns
// upright), and symmetric so either quarter turn looks the same.
QImage verticalThumb(double scale) {
    QImage image = canvas(QSize(20, 36), scale);
    QPainter p;
    begin(p, image, scale);
    QPainterPath cap;
    cap.addRoundedRect(QRectF(3, 2, 14, 32), 4, 4);
    dropShadow(p, cap, withAlpha(Qt::black, 0.75), 2.5, QPointF(0, 0));
    QLinearGradient fill(3, 0, 17, 0);
    fill.setColorAt(0, QColor(0xb9, 0xc0, 0xcb));
    fill.setColorAt(0.5, QColor(0xf4, 0xf6, 0xf9));
    fill.setColorAt(1, QColor(0xb9, 0xc0, 0xcb));
    p.fillPath(cap, fill);
    p.setPen(QPen(withAlpha(Qt::black, 0.3), 0.75));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3.4, 2.4, 13.2, 31.2), 3.6, 3.6);
    // The cap's index line, in the accent colour.
    p.fillRect(QRectF(9, 5, 2, 26), Palette::accent());
    p.fillRect(QRectF(8.25, 5, 0.75, 26), withAlpha(Qt::black, 0.2));
    p.fillRect(QRectF(11, 5, 0.75, 26), withAlpha(Qt::white, 0.6));
    return image;
}

QImage verticalTrack(double scale) {
    QImage image = canvas(QSize(21, 6), scale);
    QPainter p;
    begin(p, image, scale);
    groove(p, QRectF(0, 0.5, 21, 4.5));
    return image;
}

const QRectF kSwitch(0, 0, 95, 27);

QImage switchOff(double scale) {
    QImage image = canvas(kSwitch.size().toSize(), scale);
    QPainter p;
    begin(p, image, scale);
    const QPainterPath shape = pill(kSwitch);
    QLinearGradient fill(0, 0, 0, 27);
    fill.setColorAt(0, QColor(0x1c, 0x20, 0x28));
    fill.setColorAt(1, QColor(0x26, 0x2b, 0x35));
    p.fillPath(shape, fill);
    innerShadow(p, shape, withAlpha(Qt::black, 0.85), 2.5, QPointF(0, 1.25));
    p.setPen(QPen(withAlpha(Qt::black, 0.6), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pill(kSwitch.adjusted(0.5, 0.5, -0.5, -0.5)));
    return image;
}

QImage switchOn(double scale) {
    QImage image = canvas(kSwitch.size().toSize(), scale);
    QPainter p;
    begin(p, image, scale);
    const QPainterPath shape = pill(kSwitch);
    QLinearGradient fill(0, 0, 0, 27);
    fill.setColorAt(0, QColor(0x0b, 0x86, 0x7a));
    fill.setColorAt(1, QColor(0x15, 0xaa, 0x9a));
    p.fillPath(shape, fill);
    innerShadow(p, shape, withAlpha(QColor(0x02, 0x2b, 0x27), 0.8), 2.5, QPointF(0, 1.25));
    p.setPen(QPen(withAlpha(QColor(0x03, 0x3d, 0x37), 0.7), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pill(kSwitch.adjusted(0.5, 0.5, -0.5, -0.5)));
    return image;
}

// 41 points wide: the texts beside it get 54 points of track. The knob is
// as tall as the track and as round as its ends, so it covers them fully.
QImage switchThumb(double scale) {
    QImage image = canvas(QSize(41, 27), scale);
    QPainter p;
    begin(p, image, scale);
    const QPainterPath knob = pill(QRectF(0, 0, 41, 27));
    p.fillPath(knob, QColor(0x08, 0x0a, 0x0e));
    const QPainterPath face = pill(QRectF(1, 1, 39, 25));
    QLinearGradient fill(0, 1, 0, 26);
    fill.setColorAt(0, QColor(0xfb, 0xfc, 0xfd));
    fill.setColorAt(1, QColor(0xc6, 0xcc, 0xd5));
    p.fillPath(face, fill);
    innerShadow(p, face, withAlpha(Qt::white, 0.9), 1, QPointF(0, 1));
    // Grip.
    for (double x : {16.5, 19.5, 22.5}) {
        p.fillRect(QRectF(x, 8.5, 1, 10), withAlpha(Qt::black, 0.22));
        p.fillRect(QRectF(x + 1, 8.5, 0.75, 10), withAlpha(Qt::white, 0.8));
    }
    return image;
}

} // namespace

std::vector<ImageSpec> controlImages() {
    return {
        {QStringLiteral("horizontalSliderFull.png"), QSize(21, 8), [](double s) { return horizontalTrack(s, true); }},
        {QStringLiteral("horizontalSliderBg.png"), QSize(21, 8), [](double s) { return horizontalTrack(s, false); }},
        {QStringLiteral("horizontalSliderThumb.png"), QSize(28, 28), horizontalThumb},
        {QStringLiteral("verticalSliderThumb.png"), QSize(20, 36), verticalThumb},
        {QStringLiteral("sliderBg.png"), QSize(21, 6), verticalTrack},
        {QStringLiteral("switchThumb.png"), QSize(41, 27), switchThumb},
        {QStringLiteral("switchBlueBg.png"), QSize(95, 27), switchOn},
        {QStringLiteral("switchOffPlain.png"), QSize(95, 27), switchOff},
    };
}

} // namespace quorvel::images
