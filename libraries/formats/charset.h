#ifndef FORMATS_CHARSET_H
#define FORMATS_CHARSET_H

#include <QString>
#include <QStringList>
#include <QVector>

namespace Charset {

/** The most characters one font may be asked for; keeps a typo like 0-0x10FFFF from running for hours. */
constexpr int maxCharacters = 65536;

/**
 * Appends the code points of a list such as "33-126,0xA8,U+E0-U+E9" to codePoints, skipping ones
 * already there. Returns false with a message naming the bad item otherwise.
 */
bool parseList(const QString &text, QVector<uint> *codePoints, QString *error);

enum class FileRead { Done, Unreadable, Refused };

/**
 * Appends every code point of a UTF-8 text file except white space. Unreadable when the file
 * cannot be opened or is no regular file (a FIFO would never end), Refused when its content
 * cannot be used; both with a message.
 */
FileRead readFile(const QString &path, QVector<uint> *codePoints, QString *error);

/**
 * The letters of a UTF-8 text file: each grapheme cluster (a character and the marks on it, as
 * QTextBoundaryFinder finds them) once, in the order they come, white space and byte order marks left out;
 * codePoints gets every code point they hold. Unreadable and Refused as for readFile().
 */
FileRead readClusters(const QString &path, QStringList *clusters, QVector<uint> *codePoints, QString *error);

/** The letters that hold none of leaveOut's code points. */
QStringList lettersWithout(const QStringList &letters, const QVector<uint> &leaveOut);

/** A code point written as 233, 0xE9 or U+00E9 (no sign); false when the text is none of these. */
bool parseCodePoint(QString text, uint *codePoint);

/** "U+00E9" */
QString codePointName(uint codePoint);

/**
 * The text of one code point. Not QString::fromUcs4(): that decodes UTF-32 and takes a leading U+FEFF for a
 * byte order mark, giving an empty string.
 */
QString letterOf(uint codePoint);

} // namespace Charset

#endif // FORMATS_CHARSET_H
