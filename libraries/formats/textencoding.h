#ifndef FORMATS_TEXTENCODING_H
#define FORMATS_TEXTENCODING_H

#include <QByteArray>
#include <QString>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

/* Text encodings as oftool needs them, alike under Qt 5 (QTextCodec) and Qt 6 (QStringDecoder). */
namespace TextEncoding {

/** Sets text to bytes read as UTF-8; false when they are not well-formed UTF-8, a cut-short sequence included. */
bool decodeUtf8(const QByteArray &bytes, QString *text);

/** The name of the encoding in which QString::fromLocal8Bit() reads arguments, such as "UTF-8". */
QString localEncodingName();

/** Bytes outside printable ASCII as \\xHH, so that a message shows a name or an argument that is not text as it is. */
QString escaped(const QByteArray &bytes);

/**
 * Up to limit bytes of device, read as they come; with the device's error set when reading fails. Memory
 * grows with what is read, not with the limit: a buffer of the limit taken at once, as QIODevice::read(limit)
 * takes it, claims that much for a file of a few bytes (refused where memory is not overcommitted, and
 * slow under the sanitizers).
 */
QByteArray readAtMost(QIODevice *device, qint64 limit);

} // namespace TextEncoding

#endif // FORMATS_TEXTENCODING_H
