#ifndef IOMANAGER_ANCHORPREPASS_P_H
#define IOMANAGER_ANCHORPREPASS_P_H

#include <QtGlobal>

class QByteArray;
class QDomDocument;
class QString;

namespace IOManager {
namespace Private {

/*
 * Whether the anchor update may hand data to Qt's DOM parser and write the tree back.
 * Qt's DOM parser is not safe on a file from anywhere: one large entity aborts the
 * process, deep nesting overflows the stack, and a DTD, entity text or a declared
 * encoding other than UTF-8 would be dropped or contradicted on write-back. So the
 * bytes go through the stream reader first, which keeps no tree and recurses nowhere,
 * and anything a font file never holds is refused. TooLarge: more nodes than the DOM
 * should be given.
 */
/*
 * The largest file the anchor update takes. Beyond it one text of the file could pass QString's limit
 * of some 2^30 characters, on which Qt aborts the process. The update holds about three times the
 * file's size while it works.
 */
constexpr qint64 maxAnchorFileBytes = (qint64(1) << 30) - (qint64(1) << 20);

enum class FontXml { Plain, NotPlain, TooLarge };
FontXml checkFontXml(const QByteArray &data);

/*
 * Reads path into document for the anchor update, after the checks above; null when done,
 * otherwise the text of the line to print. A device or a pipe is refused: reading it would
 * never end, and it could not be replaced anyway.
 */
const char *loadFontDocument(const QString &path, QDomDocument *document);

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_ANCHORPREPASS_P_H
