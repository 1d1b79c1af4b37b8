#ifndef SCANS_GLYPHCUT_H
#define SCANS_GLYPHCUT_H

#include <QImage>
#include <QPolygon>
#include <QRect>

namespace Scans {

/** How a pixel's grey becomes the ink's alpha. */
enum class InkMode {
    Coverage, // from the paper level (alpha 0) to the ink level (255), in between in proportion
    Otsu,     // 255 at or below Otsu's threshold of the glyph's neighbourhood, 0 above
};

/** Paper and ink levels of a neighbourhood, in grey values. */
struct InkLevels {
    int paper = 255; // at and above it, alpha 0
    int ink = 0;     // at and below it, alpha 255
    int threshold = 128; // Otsu's split between the two
};

/**
 * The pixels of box whose centres lie inside outline (nonzero winding rule), as an 8-bit image of box's
 * size: 255 inside, 0 outside. Outline points lie on pixel edges.
 */
QImage outlineMask(const QPolygon &outline, const QRect &box);

/**
 * The levels of the neighbourhood area of grey (8-bit): Otsu's threshold splits its histogram into ink
 * and paper; the paper level lies two spreads (1.4826 times the median absolute deviation) below the
 * median of the paper side, the ink level is the median of the ink side, and at least minContrast apart.
 */
InkLevels inkLevels(const QImage &grey, const QRect &area);

/** Below this many grey values between paper and ink a neighbourhood holds no ink worth the name. */
constexpr int minContrast = 48;

/**
 * The glyph of outline in grey (8-bit) as alpha (Format_Alpha8) of box, box within grey's rectangle:
 * the ink's coverage by mode from the levels of the glyph's neighbourhood (box grown by half its height,
 * at least 8 pixels, on every side), 0 outside the outline.
 */
QImage cutGlyph(const QImage &grey, const QPolygon &outline, const QRect &box, InkMode mode);

/** The row just under the lowest row of alpha whose strongest pixel reaches 128; -1 when there is none. */
int inkBottom(const QImage &alpha);

} // namespace Scans

#endif // SCANS_GLYPHCUT_H
