#pragma once
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

namespace quorvel {

// Adds a closed rounded rectangle with corners of radius 4 to `context`. The
// outline is built at a quarter of the size with tangent arcs of radius 1 and
// scaled up by 4, so a rectangle narrower or lower than 8 gets arcs that
// overshoot its edges (as the progress bar's tiny bars do).
void addRoundedRectToPath(QPainterPath& context, const QRectF& rect);

// A tangent arc of `radius` from the current point towards `corner`, ending on
// the line from `corner` to `end`. Like a canvas "arcTo": the line from the
// current point to the arc's first tangent point is included, and a degenerate
// corner (coincident or collinear points, zero radius) becomes a line to it.
void addArcToPoint(QPainterPath& path, const QPointF& corner, const QPointF& end, qreal radius);

} // namespace quorvel
