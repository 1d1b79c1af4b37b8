#ifndef IOMANAGER_ANCHORPREPASS_P_H
#define IOMANAGER_ANCHORPREPASS_P_H

class QByteArray;

namespace IOManager {
namespace Private {

/*
 * Whether the anchor update may hand data to Qt's DOM parser and write the tree back.
 * Qt's DOM parser is not safe on a file from anywhere: one large entity aborts the
 * process, deep nesting overflows the stack, and a DTD, entity text or a declared
 * encoding other than UTF-8 would be dropped or contradicted on write-back. So the
 * bytes go through the stream reader first, which keeps no tree and recurses nowhere,
 * and anything a font file never holds is refused.
 */
bool isPlainFontXml(const QByteArray &data);

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_ANCHORPREPASS_P_H
