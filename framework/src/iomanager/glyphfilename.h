#ifndef IOMANAGER_GLYPHFILENAME_H
#define IOMANAGER_GLYPHFILENAME_H

#include "quillmeremakefont_export.h"

#include <QString>

namespace IOManager {

/**
 * The names of glyph image files: PREFIX_LETTER_ID.EXT, where EXT is png, jpg or bmp, all in lower or
 * all in upper case, and LETTER is the letter itself or u+XXXX, its UTF-16 code in hex. The directory
 * import reads a file only when parse() accepts its name.
 */
class QMF_EXPORT GlyphFileName
{
public:
    enum Refusal {
        Accepted,
        Hidden,            ///< the name starts with "."
        OtherExtension,    ///< not one of the six extensions
        TooFewUnderscores, ///< no letter field between two "_"
        LeftOut,           ///< the letter field [pasdecode] marks a glyph to leave out
        SeveralPlusSigns,
        NotACode,          ///< a "+" in a letter field that is not u+ and four characters
        // parse() does not give these two: it reads every letter, and storageProblem() tells which an OF
        // font file cannot hold. They remain for code that names them.
        UnstorableCode,    ///< u+XXXX names a character that an OF font file cannot hold
        UnstorableLetter,  ///< the letter field holds a character that an OF font file cannot hold
    };

    /**
     * Reads a file name. A code is read with strtoul, base 16, as existing glyph sets expect: "zzzz"
     * gives U+0000 and "4g00" U+0004; the letter is then the low 16 bits. A letter that an OF font file
     * cannot hold (U+0000, a lone surrogate, U+FFFE) is read all the same: the import takes it, and
     * writing such a font fails; storageProblem() says why beforehand.
     */
    static GlyphFileName parse(const QString &fileName);

    /**
     * The name that parse() reads back as letter and id, PREFIX_LETTER_ID.png: a letter of one UTF-16
     * unit as u+XXXX, a longer one as itself. Null, with the reason in why, when the prefix or the
     * letter cannot be written so.
     */
    static QString compose(const QString &prefix, const QString &letter, int id, QString *why = nullptr);

    /** Whether fileName ends in .png, .jpg, .bmp, .PNG, .JPG or .BMP. */
    static bool hasGlyphExtension(const QString &fileName);

    /** Whether a name may start with prefix: it holds no "_", "/" or U+0000 and does not start with ".". */
    static bool isPrefix(const QString &prefix);

    /**
     * Whether an OF font file can hold letter: XML has no way to write most control characters,
     * U+FFFE, U+FFFF or a surrogate that is not part of a pair.
     */
    static bool isStorableLetter(const QString &letter);

    bool isAccepted() const { return m_refusal == Accepted; }
    Refusal refusal() const { return m_refusal; }
    /** Why the import passes the file over; empty when it reads it. */
    QString reason() const;
    /** Why an OF font file cannot hold the letter read; empty when it can, or when the name is refused. */
    QString storageProblem() const;
    /** The letter, before any substitution. */
    QString letter() const { return m_letter; }
    int id() const { return m_id; }
    /** The four characters after "u+" when the letter field is a code; null otherwise. */
    QString code() const { return m_code; }

private:
    GlyphFileName() = default;

    Refusal m_refusal = Accepted;
    QString m_letter;
    QString m_code;
    int m_id = 0;
};

} // namespace IOManager

#endif // IOMANAGER_GLYPHFILENAME_H
