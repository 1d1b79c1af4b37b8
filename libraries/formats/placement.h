#ifndef FORMATS_PLACEMENT_H
#define FORMATS_PLACEMENT_H

#include "metricsfile.h"

#include <QSize>

namespace Models {
struct Anchors;
class Character;
}

/*
 * Where a letter's picture stands relative to the pen origin and the baseline, and how far it moves the pen:
 * the one rule that preview, convert and compose set letters by.
 */
namespace Placement {

/** Which of the three sources placed a letter. */
enum class Rule { Metrics, Anchors, LineBox };

/** Where a letter's image stands on the line, in pixels of the image. */
struct Letter {
    int originX = 0;  // the pen origin's column
    int baseline = 0; // the row just under the ink that stands on the baseline
    int top = 0;      // the top of the line (the font's ascent above the baseline)
    qreal advance = 0;
    Rule rule = Rule::LineBox;
};

/**
 * The placement rule, the one place it is decided. In order:
 * - measured (the letter's entry in the metrics file beside the font): the pen origin is (originX,
 *   originY) of the image, the baseline row originY, the advance the measured one (fractional), the top
 *   of the line ceil(ascent) rows above the baseline;
 * - anchor lines other than 0/100/0/100 are pixels of the image (as `render --anchors pixels` and BDF
 *   conversion write them): origin leftLine, baseline baseLine, top upLine, advance rightLine - leftLine;
 * - otherwise the image is the line box: origin at its left edge, baseline at its bottom edge, top at
 *   its top edge, advance its width.
 * Drawing the image at (round(pen) - originX, baselineY - baseline) sets the letter; the pen then moves
 * by the advance and, between two letters, by the metrics' kerning of the pair. Values beyond 2^16 pixels
 * are taken as 2^16, and those that are not numbers as 0.
 */
Letter placeLetter(const QSize &image, const Models::Anchors &anchors, const MetricsFile::TextMetrics::Letter *measured = nullptr,
                   qreal ascent = 0);

/** The letter's entry in metrics, or null when metrics is null or does not measure it. */
const MetricsFile::TextMetrics::Letter *measured(const MetricsFile::TextMetrics *metrics, const QString &letter);

/** placeLetter() for letter, its first picture image in size, measured by metrics when they know it. */
Letter placeLetter(const Models::Character &letter, const QSize &image, const MetricsFile::TextMetrics *metrics = nullptr);

} // namespace Placement

#endif // FORMATS_PLACEMENT_H
