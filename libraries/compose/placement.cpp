#include "placement.h"

#include <QtMath>

#include <cmath>

namespace Compose {

namespace {

// Far beyond any glyph; a damaged file must not move a letter to where a line could not be drawn.
constexpr qreal maxMetric = 1 << 16;

qreal bounded(qreal value)
{
    return std::isfinite(value) ? qBound(-maxMetric, value, maxMetric) : 0;
}

int boundedInt(double value)
{
    return qRound(bounded(value));
}

} // namespace

Placement placeLetter(const QSize &image, const AnchorLines &anchors, const LetterMetrics *measured, qreal ascent)
{
    Placement placement;
    if (measured) {
        placement.rule = PlacementRule::Metrics;
        placement.originX = boundedInt(measured->originX);
        placement.baseline = boundedInt(measured->originY);
        placement.top = placement.baseline - int(std::ceil(qMax<qreal>(0, bounded(ascent))));
        placement.advance = bounded(measured->advance);
        return placement;
    }
    const bool unset = anchors.upLine == 0 && anchors.baseLine == 100 && anchors.leftLine == 0 && anchors.rightLine == 100;
    if (unset) {
        placement.baseline = image.height();
        placement.advance = image.width();
        return placement;
    }
    placement.rule = PlacementRule::Anchors;
    placement.originX = boundedInt(anchors.leftLine);
    placement.baseline = boundedInt(anchors.baseLine);
    placement.top = boundedInt(anchors.upLine);
    placement.advance = boundedInt(anchors.rightLine) - placement.originX;
    return placement;
}

} // namespace Compose
