#include "ui/controls/drawing.h"

#include <QTransform>
#include <QtMath>
#include <cmath>

namespace quorvel {

namespace {
qreal length(const QPointF& v) { return std::hypot(v.x(), v.y()); }
// Qt's arc angles: degrees, counter-clockwise on the screen (y grows downwards).
qreal screenAngle(const QPointF& centre, const QPointF& point) {
    return qRadiansToDegrees(std::atan2(centre.y() - point.y(), point.x() - centre.x()));
}
} // namespace

void addArcToPoint(QPainterPath& path, const QPointF& corner, const QPointF& end, qreal radius) {
    const QPointF start = path.currentPosition();
    const QPointF toStart = start - corner;
    const QPointF toEnd = end - corner;
    const qreal startLength = length(toStart);
    const qreal endLength = length(toEnd);
    if (radius <= 0 || startLength == 0 || endLength == 0) {
        path.lineTo(corner);
        return;
    }
    const QPointF u1 = toStart / startLength;
    const QPointF u2 = toEnd / endLength;
    const qreal cross = u1.x() * u2.y() - u1.y() * u2.x();
    const qreal dot = u1.x() * u2.x() + u1.y() * u2.y();
    if (std::abs(cross) < 1e-12) {
        path.lineTo(corner);
        return;
    }
    const qreal halfAngle = std::atan2(std::abs(cross), dot) / 2; // half the angle at the corner
    const qreal tangentDistance = radius / std::tan(halfAngle);
    const QPointF t1 = corner + u1 * tangentDistance;
    const QPointF t2 = corner + u2 * tangentDistance;
    const QPointF bisector = (u1 + u2) / length(u1 + u2);
    const QPointF centre = corner + bisector * (radius / std::sin(halfAngle));

    path.lineTo(t1);
    const qreal a1 = screenAngle(centre, t1);
    qreal sweep = screenAngle(centre, t2) - a1;
    while (sweep > 180) sweep -= 360;
    while (sweep < -180) sweep += 360;
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), a1, sweep);
}

void addRoundedRectToPath(QPainterPath& context, const QRectF& rect) {
    const qreal fw = rect.width() / 4;
    const qreal fh = rect.height() / 4;
    QPainterPath quarter;
    quarter.moveTo(fw, fh / 2);
    addArcToPoint(quarter, QPointF(fw, fh), QPointF(fw / 2, fh), 1);
    addArcToPoint(quarter, QPointF(0, fh), QPointF(0, fh / 2), 1);
    addArcToPoint(quarter, QPointF(0, 0), QPointF(fw / 2, 0), 1);
    addArcToPoint(quarter, QPointF(fw, 0), QPointF(fw, fh / 2), 1);
    quarter.closeSubpath();

    QTransform scaleUp;
    scaleUp.translate(rect.x(), rect.y());
    scaleUp.scale(4, 4);
    context.setFillRule(Qt::WindingFill);
    context.addPath(scaleUp.map(quarter));
}

} // namespace quorvel
