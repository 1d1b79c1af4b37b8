#ifndef FORMATS_CONVERSION_H
#define FORMATS_CONVERSION_H

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
 * Why the letter cannot be placed in BDF or an atlas (Placement::placeLetter()): an anchor line or a metrics
 * value that is not a number, or lies further than maxReach from the image's edges, named with its value.
 * Empty when it can.
 */
QString placementProblem(const Models::Character &letter, const QImage &image, const MetricsFile::TextMetrics *metrics = nullptr);

/** The font's name without the ".of" that the window's names end in. */
QString familyOf(const Models::Font &font);

/** The letter's first picture, or a null image. */
QImage firstImage(const Models::Character &letter);

/**
 * The font as BDF: one glyph per letter of a single code point, ink where the first picture's alpha is at
 * least threshold, placed by Placement::placeLetter() (by metrics when given). FONT_ASCENT and FONT_DESCENT are
 * the metrics', else the ones most letters agree on; of images cut to their ink (anchor lines above the image's
 * top) they reach as far as the glyphs do. Letters it cannot carry are named in notes.
 */
Bdf::Font toBdf(const Models::Font &font, int threshold, QStringList *notes, const MetricsFile::TextMetrics *metrics = nullptr);

/**
 * The BDF font as an OF font named name: each glyph a letter of one picture the size of its line box
 * (grown to hold ink outside it), ink opaque black, and anchor lines in pixels. Glyphs whose code point
 * cannot be a letter are named in notes. Null with error when the images would take more than maxFontPixels.
 */
std::unique_ptr<Models::Font> fromBdf(const Bdf::Font &bdf, const QString &name, QStringList *notes, QString *error);

} // namespace Convert

#endif // FORMATS_CONVERSION_H
