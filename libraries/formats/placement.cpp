#include "placement.h"

#include "models/character.h"

#include <QtMath>

#include <cmath>

namespace Placement {

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

Letter placeLetter(const QSize &image, const Models::Anchors &anchors, const MetricsFile::TextMetrics::Letter *measured, qreal ascent)
{
    Letter placement;
    if (measured) {
        placement.rule = Rule::Metrics;
        placement.originX = boundedInt(measured->originX);
        placement.baseline = boundedInt(measured->originY);
        placement.top = placement.baseline - int(std::ceil(qMax<qreal>(0, bounded(ascent))));
        placement.advance = bounded(measured->advance);
        return placement;
    }
    if (anchors == Models::defaultAnchors) {
        placement.baseline = image.height();
        placement.advance = image.width();
        return placement;
    }
    placement.rule = Rule::Anchors;
    placement.originX = boundedInt(anchors.leftLine);
    placement.baseline = boundedInt(anchors.baseLine);
    placement.top = boundedInt(anchors.upLine);
    placement.advance = boundedInt(anchors.rightLine) - placement.originX;
    return placement;
}

const MetricsFile::TextMetrics::Letter *measured(const MetricsFile::TextMetrics *metrics, const QString &letter)
{
    if (!metrics) {
        return nullptr;
    }
    const auto found = metrics->letters.constFind(letter);
    return found == metrics->letters.cend() ? nullptr : &found.value();
}

Letter placeLetter(const Models::Character &letter, const QSize &image, const MetricsFile::TextMetrics *metrics)
{
    return placeLetter(image, letter.getAnchors(), measured(metrics, letter.getCharacterValue()), metrics ? metrics->ascent : 0);
}

} // namespace Placement
