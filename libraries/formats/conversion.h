#ifndef OFTOOL_CONVERSION_H
#define OFTOOL_CONVERSION_H

#include "bdffont.h"

#include <QImage>
#include <QStringList>

#include <memory>

namespace MetricsFile {
struct TextMetrics;
}

namespace Models {
class Character;
class Font;
}

namespace Convert {

/** All glyph images of a font made from a BDF file together, in pixels, as the renderer's budget. */
constexpr qint64 maxFontPixels = qint64(1) << 26;
/** One glyph image made from a BDF file: a picture of any pixels this size reads back from an OF font file. */
constexpr qint64 maxGlyphPixels = qint64(1) << 24;
/**
 * How far from its pen origin a letter may place anything in BDF, in pixels: the BDF reader takes boxes and
 * offsets up to Bdf::maxSide, and the font's bounding box, which spans every glyph's, must stay within it too.
 */
constexpr int maxReach = Bdf::maxSide / 2;

/**
 * Where a letter's image stands on the line, in pixels of the image: the pen origin's column, the
 * baseline (the row just under the ink that stands on it), the top of the line and the advance. A metrics
 * file's entry for the letter says it best. Anchor lines of 0/100/0/100 are the window's, which say
 * nothing: the image is the line box, origin at its left edge, baseline at its bottom. Any other anchor
 * lines are taken as pixels of the image.
 */
struct Placement {
    int origin = 0;
    int baseline = 0;
    int top = 0;
    int advance = 0;
};
Placement placementOf(const Models::Character &letter, const QImage &image, const MetricsFile::TextMetrics *metrics = nullptr);

/**
 * Why placementOf() cannot place the letter: an anchor line or a metrics value that is not a number, or
 * lies further than maxReach from the image's edges, named with its value. Empty when it can.
 */
QString placementProblem(const Models::Character &letter, const QImage &image, const MetricsFile::TextMetrics *metrics = nullptr);

/** The font's name without the ".of" that the window's names end in. */
QString familyOf(const Models::Font &font);

/** The letter's first picture, or a null image. */
QImage firstImage(const Models::Character &letter);

/**
 * The font as BDF: one glyph per letter of a single code point, ink where the first picture's alpha is at
 * least threshold, placed by metrics when given. Letters it cannot carry are named in notes.
 */
Bdf::Font toBdf(const Models::Font &font, int threshold, QStringList *notes, const MetricsFile::TextMetrics *metrics = nullptr);

/**
 * The BDF font as an OF font named name: each glyph a letter of one picture the size of its line box
 * (grown to hold ink outside it), ink opaque black, and anchor lines in pixels. Glyphs whose code point
 * cannot be a letter are named in notes. Null with error when the images would take more than maxFontPixels.
 */
std::unique_ptr<Models::Font> fromBdf(const Bdf::Font &bdf, const QString &name, QStringList *notes, QString *error);

} // namespace Convert

#endif // OFTOOL_CONVERSION_H
