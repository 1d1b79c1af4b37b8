#include "textencoding.h"

#include <QIODevice>

#include <QtGlobal>
// Qt 6 moved QTextCodec out of Qt Core, into its Qt 5 compatibility module.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace TextEncoding {

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

bool decodeUtf8(const QByteArray &bytes, QString *text)
{
    // Stateless: a sequence cut short at the end is an error, not kept for more bytes to come.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder.decode(bytes);
    return !decoder.hasError();
}

QString localEncodingName()
{
    // Qt 6 reads local 8-bit text as UTF-8 on Unix whatever the locale says; its name for that is "Locale".
    return QStringLiteral("UTF-8");
}

#else

bool decodeUtf8(const QByteArray &bytes, QString *text)
{
    QTextCodec::ConverterState state;
    *text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

QString localEncodingName()
{
    return QString::fromLatin1(QTextCodec::codecForLocale()->name());
}

#endif

QString escaped(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes) {
        const uchar code = uchar(byte);
        text += code >= 0x20 && code < 0x7f ? QString(QLatin1Char(byte)) : QString::asprintf("\\x%02X", code);
    }
    return text;
}

QByteArray readAtMost(QIODevice *device, qint64 limit)
{
    QByteArray bytes;
    if (!device->isSequential()) {
        bytes.reserve(int(qBound<qint64>(0, device->size() - device->pos(), limit)));
    }
    char chunk[1 << 16];
    while (bytes.size() < limit) {
        const qint64 read = device->read(chunk, qMin<qint64>(sizeof chunk, limit - bytes.size()));
        if (read <= 0) {
            break;
        }
        bytes.append(chunk, int(read));
    }
    return bytes;
}

} // namespace TextEncoding
