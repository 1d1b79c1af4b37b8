#ifndef SCANS_BASELINE_H
#define SCANS_BASELINE_H

#include <QPointF>
#include <QPolygon>
#include <QString>
#include <QVector>

namespace Scans {

/** A straight line y = y0 + slope * x across a page, in pixels on pixel edges. */
struct LineFit {
    double y0 = 0;
    double slope = 0;
    double at(double x) const { return y0 + slope * x; }
};

/** The polyline's y at x, followed straight on beyond its ends; polyline holds at least one point. */
double polylineAt(const QPolygon &polyline, double x);

/**
 * A robust line through the points (a glyph's horizontal centre and the row under its ink): the slope
 * the median of the slopes between neighbours from left to right (0 for fewer than three points, at most
 * 0.2 either way), then y0 the median of y - slope * x; most glyphs' ink ends on the baseline, so
 * descenders and marks above it are outvoted.
 */
LineFit fitBaseline(QVector<QPointF> points);

/** Whether text is made of letters and digits that stand on the baseline, not reaching below it. */
bool standsOnBaseline(const QString &text);

} // namespace Scans

#endif // SCANS_BASELINE_H
