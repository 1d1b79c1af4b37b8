#ifndef IOMANAGER_ANCHORPREPASS_P_H
#define IOMANAGER_ANCHORPREPASS_P_H

#include "iomanager/writeresult.h"

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
enum class FontXml { Plain, NotPlain, TooLarge };
FontXml checkFontXml(const QByteArray &data);

/*
 * Reads path into document for the anchor update, after the checks above (maxAnchorFileBytes
 * first); WriteResult::Written when done, otherwise CannotLoad, TooLarge or CannotParse. A device
 * or a pipe is refused: reading it would never end, and it could not be replaced anyway.
 */
WriteResult::Kind loadFontDocument(const QString &path, QDomDocument *document);

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_ANCHORPREPASS_P_H
