#ifndef FORMATS_CHARACTERMAP_H
#define FORMATS_CHARACTERMAP_H

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

/*
 * The characters a font maps to glyphs of its own, from its own data: the Unicode subtables of an
 * sfnt "cmap" table, or the glyph names of a Type 1 font read as Unicode. A character a renderer
 * would take from another font, or reach through a symbol font's byte codes, is not in it.
 */
class CharacterMap
{
public:
    /** False when the font's data does not say: no readable cmap, encoding or glyph names. */
    bool isValid() const { return m_valid; }
    bool contains(uint codePoint) const;

    /**
     * From an sfnt cmap table: formats 4, 12 and 13 of the Unicode encodings (platform 0, or
     * Windows 1 and 10), all such subtables together. A font with only a Windows symbol (3/0)
     * subtable maps just the code points it lists, U+F020 to U+F0FF by that convention: no letter.
     */
    static CharacterMap fromCmap(const QByteArray &cmap);
    /**
     * From the bytes of a Type 1 font (PFA, PFB or the same text with binary eexec data): the
     * names of its glyphs (CharStrings), or of its Encoding when the glyphs cannot be read,
     * through GlyphNames::characters.
     */
    static CharacterMap fromType1(const QByteArray &data);
    /** From the font file at path (face faceIndex of a collection); invalid for WOFF and what cannot be read. */
    static CharacterMap fromFile(const QString &path, int faceIndex);

private:
    void add(uint first, uint last);
    void finish();

    QVector<QPair<uint, uint>> m_ranges; // first and last, sorted, apart
    bool m_valid = false;
};

#endif // FORMATS_CHARACTERMAP_H
