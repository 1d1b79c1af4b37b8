#ifndef GLYPHMETRICS_H
#define GLYPHMETRICS_H

#include "renderer_export.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

QT_BEGIN_NAMESPACE
class QFont;
class QFontMetricsF;
class QImage;
QT_END_NAMESPACE

/*
 * Geometry in pixels. A point such as the pen origin lies on pixel edges: pixel (x, y) covers x to x + 1
 * and y to y + 1, and y grows downwards.
 */

/** One letter as it was drawn into its image. */
struct LetterGeometry {
    QString letter;
    /** The pen's advance, as QFontMetricsF gives it. */
    qreal advance = 0;
    /** From the pen origin to the left edge of the glyph's outline box, as QFontMetricsF gives it. */
    qreal leftBearing = 0;
    /** The pixels with any ink, relative to the pen origin (negative y above the baseline); null without ink. */
    QRect ink;
    QSize image;
    /** Where the pen stood in the image: x is the first column right of it, y the row just under the ink on the baseline. */
    QPoint origin;
};

struct KerningPair {
    QString left;
    QString right;
    /** advance(left + right) - advance(left) - advance(right), with ligatures kept from forming. */
    qreal adjustment = 0;
};

/** What a font needs to set text from its glyph images. */
struct FontGeometry {
    int pixelSize = 0;
    qreal ascent = 0;
    qreal descent = 0;
    qreal lineSpacing = 0;
    qreal spaceAdvance = 0;
    /** In the order the letters were drawn; the blank " " letter last. */
    QVector<LetterGeometry> letters;
    /** Every pair of letters whose adjustment is not 0, left letter first in drawing order. */
    QVector<KerningPair> kerning;
    /** False when there were too many letters to measure every pair (see maxKerningLetters). */
    bool kerningMeasured = false;
};

/** Beyond this many letters the pairs (the square of it) are not measured. */
constexpr int maxKerningLetters = 512;

/** The pixels of image (of area only, when given) whose alpha is not 0, in image coordinates; null when there are none. */
QMF_RENDERER_EXPORT QRect inkRect(const QImage &image, const QRect &area = QRect());

/** The font-wide part of FontGeometry; letters and kerning are left as they are. */
QMF_RENDERER_EXPORT void measureFont(const QFontMetricsF &metrics, int pixelSize, FontGeometry *geometry);

/** The advance and left bearing of letter, a string of one character, as Qt shapes it. */
QMF_RENDERER_EXPORT void measureLetter(const QFontMetricsF &metrics, LetterGeometry *letter);

/**
 * The kerning among letters of font at dpi (the screen's when 0 or less), measured through Qt's shaping with
 * ligatures kept from forming, for the pairs the font's kerning data can reach; false, leaving pairs empty,
 * when there are more than maxKerningLetters letters.
 */
QMF_RENDERER_EXPORT bool measureKerning(const QFont &font, int dpi, const QStringList &letters, QVector<KerningPair> *pairs);

/** upLine, baseLine, leftLine, rightLine of a letter in rows and columns of its image. */
struct PixelAnchors {
    int upLine = 0;
    int baseLine = 0;
    int leftLine = 0;
    int rightLine = 0;
};

/**
 * The anchor lines of letter, as the BDF conversion reads them: upLine the top of the line, baseLine the
 * baseline (the row just under the ink that stands on it), leftLine the pen origin, rightLine the origin
 * plus the advance in whole pixels.
 */
QMF_RENDERER_EXPORT PixelAnchors pixelAnchors(const LetterGeometry &letter, int ascent);

#endif // GLYPHMETRICS_H
