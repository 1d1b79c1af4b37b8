#ifndef FORMATS_BDFFONT_H
#define FORMATS_BDFFONT_H

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QVector>

namespace Bdf {

/** The largest glyph side and font bounding box side read or written, in pixels. */
constexpr int maxSide = 8192;

/**
 * One glyph: its code point, its ink box in BDF's terms (width, height, and the offset of its lower left
 * corner from the pen origin, y up), the pen advance and the bitmap rows, top first, each bit a pixel.
 */
struct Glyph {
    uint codePoint = 0;
    QString name;
    int width = 0;
    int height = 0;
    int xOffset = 0;
    int yOffset = 0;
    int advance = 0;
    QVector<QByteArray> rows; // ceil(width / 8) bytes each, most significant bit leftmost; none when width is 0

    bool ink(int x, int y) const { return rows.at(y).at(x / 8) & (0x80 >> (x % 8)); }
};

/** What a BDF 2.1 file holds that an OF font file can carry. */
struct Font {
    QString family;
    int pixelSize = 0;
    int ascent = 0;
    int descent = 0;
    QList<Glyph> glyphs;
    int unencoded = 0; // glyphs read with ENCODING -1, left out of glyphs
};

/**
 * Reads a BDF file's text. False with a one-line reason in error for anything that is not well-formed
 * BDF: a file cut short, a count that does not match, a bitmap row of the wrong length, a box larger than
 * maxSide. Memory stays in proportion to the text.
 */
bool read(const QByteArray &text, Font *font, QString *error);

/** The font as BDF 2.1 text, with the properties other tools ask for. */
QByteArray write(const Font &font);

/** The ink box of a glyph relative to the pen origin, y down: the rectangle its bitmap covers. */
QRect inkBox(const Glyph &glyph);

} // namespace Bdf

#endif // FORMATS_BDFFONT_H
