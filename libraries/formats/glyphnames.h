#ifndef FORMATS_GLYPHNAMES_H
#define FORMATS_GLYPHNAMES_H

#include <QByteArray>
#include <QVector>

/* PostScript glyph names read as Unicode characters. */
namespace GlyphNames {

/**
 * The characters a glyph named name stands for: "uniXXXX" and "uXXXX" to "uXXXXXX" (upper-case
 * hexadecimal, no surrogates), or the Adobe Glyph List's names of Latin, Greek, punctuation and
 * the symbols of a PostScript Symbol font. A suffix after a period ("a.sc") is dropped; a
 * ligature ("f_i", "uni00660069") and an unknown name stand for none.
 */
QVector<uint> characters(const QByteArray &name);

} // namespace GlyphNames

#endif // FORMATS_GLYPHNAMES_H
