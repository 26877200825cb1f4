// Round buttons: play and stop (editor and player), exit, record and stop-recording.
#include "Effects.h"
#include "Images.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace quorvel::images {

namespace {

QPainterPath circle(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A raised disc in the accent colour.
void accentDisc(QPainter& p, QPointF centre, double radius) {
    const QPainterPath disc = circle(centre, radius);
    dropShadow(p, disc, withAlpha(Qt::black, 0.55), radius * 0.12, QPointF(0, radius * 0.05));
    QLinearGradient fill(0, centre.y() - radius, 0, centre.y() + radius);
    fill.setColorAt(0, Palette::accentLight());
    fill.setColorAt(0.45, Palette::accent());
    fill.setColorAt(1, Palette::accentDark());
    p.fillPath(disc, fill);
    // A soft sheen over the upper half.
    QRadialGradient sheen(QPointF(centre.x(), centre.y() - radius * 0.55), radius * 0.9);
    sheen.setColorAt(0, withAlpha(Qt::white, 0.22));
    sheen.setColorAt(1, withAlpha(Qt::white, 0));
    p.fillPath(disc, sheen);
    p.setPen(QPen(withAlpha(Palette::accentDark().darker(160), 0.6), radius * 0.03));
    p.setBrush(Qt::NoBrush);
    p.drawPath(circle(centre, radius - radius * 0.015));
}

void glyph(QPainter& p, const QPainterPath& shape, double radius) {
    dropShadow(p, shape, withAlpha(QColor(0x04, 0x3a, 0x35), 0.55), radius * 0.06, QPointF(0, radius * 0.03));
    p.fillPath(shape, Palette::text());
}

QPainterPath playTriangle(QPointF centre, double radius) {
    // Optically centred: the triangle's centroid sits on the disc's centre.
    const double h = radius * 0.78, w = h * 0.9;
    const double left = centre.x() - w / 3;
    QPainterPath path;
    path.moveTo(left, centre.y() - h / 2);
    path.lineTo(left + w, centre.y());
    path.lineTo(left, centre.y() + h / 2);
    path.closeSubpath();
    QPainterPathStroker rounder;
    rounder.setWidth(radius * 0.1);
    rounder.setJoinStyle(Qt::RoundJoin);
    return path.united(rounder.createStroke(path)).simplified();
}

QPainterPath stopSquare(QPointF centre, double side, double corner) {
    QPainterPath path;
    path.addRoundedRect(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side), corner, corner);
    return path;
}

QImage playButton(double scale, const QSize& size, bool ring) {
    QImage image = canvas(size, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    double radius = size.width() / 2.0 - 2;
    if (ring) {
        p.setPen(QPen(withAlpha(Palette::accent(), 0.35), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, radius - 1, radius - 1);
        radius -= 9;
    }
    accentDisc(p, centre, radius);
    glyph(p, playTriangle(centre, radius), radius);
    return image;
}

QImage play(double scale) { return playButton(scale, QSize(56, 56), false); }
QImage bigPlay(double scale) { return playButton(scale, QSize(112, 112), true); }

QImage stop(double scale) {
    const QSize size(56, 56);
    QImage image = canvas(size, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    const QPointF centre(28, 28);
    const double radius = 26;
    accentDisc(p, centre, radius);
    glyph(p, stopSquare(centre, radius * 0.72, radius * 0.13), radius);
    return image;
}

QImage exitButton(double scale) {
    const QSize size(44, 44);
    QImage image = canvas(size, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    const QPointF centre(22, 22);
    const QPainterPath disc = circle(centre, 19);
    dropShadow(p, disc, withAlpha(Qt::black, 0.6), 2.5, QPointF(0, 1));
    QLinearGradient fill(0, 3, 0, 41);
    fill.setColorAt(0, QColor(0x34, 0x3a, 0x47));
    fill.setColorAt(1, QColor(0x22, 0x26, 0x2f));
    p.fillPath(disc, fill);
    p.setPen(QPen(withAlpha(Palette::accent(), 0.7), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 18.25, 18.25);
    QPainterPath cross;
    cross.moveTo(15.5, 15.5);
    cross.lineTo(28.5, 28.5);
    cross.moveTo(28.5, 15.5);
    cross.lineTo(15.5, 28.5);
    QPainterPathStroker pen;
    pen.setWidth(3);
    pen.setCapStyle(Qt::RoundCap);
    const QPainterPath mark = pen.createStroke(cross).simplified();
    dropShadow(p, mark, withAlpha(Qt::black, 0.5), 1, QPointF(0, 0.75));
    p.fillPath(mark, Palette::text());
    return image;
}

// The recorder's big button: a dark bezel around a glowing red mark.
QImage recordButton(double scale, bool recording) {
    const QSize size(120, 120);
    QImage image = canvas(size, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    const QPointF centre(60, 60);
    const QPainterPath bezel = circle(centre, 55);
    dropShadow(p, bezel, withAlpha(Qt::black, 0.65), 5, QPointF(0, 2));
    QLinearGradient metal(0, 5, 0, 115);
    metal.setColorAt(0, QColor(0x2e, 0x33, 0x3f));
    metal.setColorAt(1, QColor(0x16, 0x19, 0x20));
    p.fillPath(bezel, metal);
    innerShadow(p, circle(centre, 46), withAlpha(Qt::black, 0.8), 4, QPointF(0, 2));
    p.setPen(QPen(withAlpha(Qt::white, 0.08), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 54.5, 54.5);

    QPainterPath mark = recording ? stopSquare(centre, 42, 7) : circle(centre, 34);
    dropShadow(p, mark, withAlpha(Palette::red(), 0.55), 9, QPointF(0, 0));
    const QRectF box = mark.boundingRect();
    QLinearGradient fill(0, box.top(), 0, box.bottom());
    fill.setColorAt(0, Palette::redLight());
    fill.setColorAt(0.5, Palette::red());
    fill.setColorAt(1, Palette::redDark());
    p.fillPath(mark, fill);
    QRadialGradient sheen(QPointF(60, box.top() + box.height() * 0.25), box.width() * 0.55);
    sheen.setColorAt(0, withAlpha(Qt::white, 0.28));
    sheen.setColorAt(1, withAlpha(Qt::white, 0));
    p.fillPath(mark, sheen);
    return image;
}

QImage bigRecord(double scale) { return recordButton(scale, false); }
QImage bigStop(double scale) { return recordButton(scale, true); }

} // namespace

std::vector<ImageSpec> buttonImages() {
    return {
        {QStringLiteral("play.png"), QSize(56, 56), play},
        {QStringLiteral("stop.png"), QSize(56, 56), stop},
        {QStringLiteral("BigPlay.png"), QSize(112, 112), bigPlay},
        {QStringLiteral("exit.png"), QSize(44, 44), exitButton},
        {QStringLiteral("bigRecordRed.png"), QSize(120, 120), bigRecord},
        {QStringLiteral("bigStopRed.png"), QSize(120, 120), bigStop},
    };
}

} // namespace quorvel::images
