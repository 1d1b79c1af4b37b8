#include "baseline.h"

#include <algorithm>
#include <cmath>

namespace Scans {

namespace {

double median(QVector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values.at(values.size() / 2);
}

} // namespace

double polylineAt(const QPolygon &polyline, double x)
{
    if (x <= polyline.first().x()) {
        return polyline.first().y();
    }
    for (int i = 1; i < polyline.size(); ++i) {
        const QPoint a = polyline.at(i - 1);
        const QPoint b = polyline.at(i);
        if (x <= b.x() && b.x() > a.x()) {
            return a.y() + (x - a.x()) * (b.y() - a.y()) / double(b.x() - a.x());
        }
    }
    return polyline.last().y();
}

LineFit fitBaseline(QVector<QPointF> points)
{
    LineFit fit;
    if (points.isEmpty()) {
        return fit;
    }
    std::sort(points.begin(), points.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    if (points.size() >= 3) {
        QVector<double> slopes;
        for (int i = 1; i < points.size(); ++i) {
            const double dx = points.at(i).x() - points.at(i - 1).x();
            if (dx > 0) {
                slopes.append((points.at(i).y() - points.at(i - 1).y()) / dx);
            }
        }
        if (!slopes.isEmpty()) {
            fit.slope = qBound(-0.2, median(slopes), 0.2);
        }
    }
    QVector<double> offsets;
    for (const QPointF &point : qAsConst(points)) {
        offsets.append(point.y() - fit.slope * point.x());
    }
    fit.y0 = median(offsets);
    return fit;
}

bool standsOnBaseline(const QString &text)
{
    static const QString descending = QStringLiteral("gjpqyf\u017F\u00DF\u00FE\u00E7\u00B5\u0292Q");
    for (const QChar c : text) {
        if (!c.isLetterOrNumber() || descending.contains(c)) {
            return false;
        }
    }
    return !text.isEmpty();
}

} // namespace Scans
