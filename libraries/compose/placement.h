#ifndef COMPOSE_PLACEMENT_H
#define COMPOSE_PLACEMENT_H

#include <QHash>
#include <QPair>
#include <QSize>
#include <QString>

namespace Compose {

/** One letter of a metrics file, in pixels: its advance and where the pen stood in its image. */
struct LetterMetrics {
    qreal advance = 0;
    int originX = 0;
    int originY = 0;
};

/** What a metrics file says of a font, in pixels, y downwards. */
struct FontMetrics {
    qreal ascent = 0;
    qreal descent = 0;
    qreal lineSpacing = 0;
    qreal spaceAdvance = -1; // negative when the file does not say
    QHash<QString, LetterMetrics> letters;
    QHash<QPair<QString, QString>, qreal> kerning; // (left, right) -> adjustment
};

/** A letter's anchor lines as the OF font file holds them. */
struct AnchorLines {
    double upLine = 0;
    double baseLine = 100;
    double leftLine = 0;
    double rightLine = 100;
};

/** Which of the three sources placed a letter. */
enum class PlacementRule { Metrics, Anchors, LineBox };

/** Where a letter's image stands on the line, in pixels of the image. */
struct Placement {
    int originX = 0;  // the pen origin's column
    int baseline = 0; // the row just under the ink that stands on the baseline
    int top = 0;      // the top of the line (the font's ascent above the baseline)
    qreal advance = 0;
    PlacementRule rule = PlacementRule::LineBox;
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
 * by the advance and, between two letters, by the metrics' kerning of the pair.
 */
Placement placeLetter(const QSize &image, const AnchorLines &anchors, const LetterMetrics *measured = nullptr, qreal ascent = 0);

} // namespace Compose

#endif // COMPOSE_PLACEMENT_H
