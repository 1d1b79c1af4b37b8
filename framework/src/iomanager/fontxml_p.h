#ifndef IOMANAGER_FONTXML_P_H
#define IOMANAGER_FONTXML_P_H

#include "iomanager/tokenguard_p.h"

#include <QString>
#include <QXmlStreamReader>

namespace IOManager {
namespace Private {

inline bool isStartElement(const QXmlStreamReader &reader, QLatin1String name)
{
    return reader.tokenType() == QXmlStreamReader::StartElement && reader.name() == name;
}

inline bool isEndElement(const QXmlStreamReader &reader, QLatin1String name)
{
    return reader.tokenType() == QXmlStreamReader::EndElement && reader.name() == name;
}

/*
 * readNext() that refuses a document type declaration. An OF font file never has
 * one, and the reader reports it before any entity it declares is used, so no
 * expansion bomb gets to go off. The raised error puts the reader at its end,
 * which stops every loop at its next test.
 */
inline void readToken(QXmlStreamReader &reader)
{
    if (reader.readNext() == QXmlStreamReader::DTD) {
        reader.raiseError(QStringLiteral("Document type declarations are not accepted."));
    }
    TokenGuard::tokenRead(reader);
}

/* Anchor lines and degradation levels: at most six significant digits. */
inline QString realNumber(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_FONTXML_P_H
