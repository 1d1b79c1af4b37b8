#ifndef FORMATS_TEXTENCODING_H
#define FORMATS_TEXTENCODING_H

#include <QByteArray>
#include <QString>

/* Text encodings as oftool needs them, alike under Qt 5 (QTextCodec) and Qt 6 (QStringDecoder). */
namespace TextEncoding {

/** Sets text to bytes read as UTF-8; false when they are not well-formed UTF-8, a cut-short sequence included. */
bool decodeUtf8(const QByteArray &bytes, QString *text);

/** The name of the encoding in which QString::fromLocal8Bit() reads arguments, such as "UTF-8". */
QString localEncodingName();

/** Bytes outside printable ASCII as \\xHH, so that a message shows a name or an argument that is not text as it is. */
QString escaped(const QByteArray &bytes);

} // namespace TextEncoding

#endif // FORMATS_TEXTENCODING_H
