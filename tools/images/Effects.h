#pragma once
#include <QColor>
#include <QImage>
#include <QPainterPath>

class QPainter;

namespace quorvel::images {

// The colours every image shares: a dark, cool surface and one teal accent
// (red only for recording and deleting).
struct Palette {
    static QColor background() { return QColor(0x12, 0x14, 0x1a); }
    static QColor backgroundDeep() { return QColor(0x0c, 0x0e, 0x12); }
    static QColor surface() { return QColor(0x1d, 0x21, 0x2a); }
    static QColor surfaceRaised() { return QColor(0x29, 0x2e, 0x39); }
    static QColor line() { return QColor(0x3a, 0x40, 0x4e); }
    static QColor text() { return QColor(0xec, 0xf0, 0xf5); }
    static QColor muted() { return QColor(0x8b, 0x93, 0xa5); }
    static QColor accent() { return QColor(0x19, 0xc2, 0xb0); }
    static QColor accentLight() { return QColor(0x6a, 0xee, 0xdc); }
    static QColor accentDark() { return QColor(0x0c, 0x8a, 0x7e); }
    static QColor red() { return QColor(0xf2, 0x48, 0x5b); }
    static QColor redLight() { return QColor(0xff, 0x7a, 0x88); }
    static QColor redDark() { return QColor(0xb0, 0x22, 0x36); }
};

QColor withAlpha(QColor color, double alpha);

// A transparent canvas of `points` at `scale` pixels per point, with a painter
// set up to draw in points.
QImage canvas(const QSize& points, double scale);

// A soft shadow of `shape`: the shape filled with `color`, blurred by `radius`
// points and drawn offset by `offset` points.
void dropShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, double radius,
                const QPointF& offset);

// A shadow inside `shape`, falling from its top edge.
void innerShadow(QPainter& painter, const QPainterPath& shape, const QColor& color, double radius,
                 const QPointF& offset);

// Fine grain over the whole image, the same on every edge so tiles join.
void addGrain(QImage& image, int strength, unsigned seed);

} // namespace quorvel::images
