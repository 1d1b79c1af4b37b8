#ifndef TESTS_FONTFILES_H
#define TESTS_FONTFILES_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

/* TrueType files made at test time from the DejaVu fonts, by editing their tables in place. */

const QString dejaVuDirectory = QStringLiteral("/usr/share/fonts/truetype/dejavu/");

// The offset of the table tagged tag in a single font, or -1.
inline int tableOffset(const QByteArray &font, const QByteArray &tag, int base = 0)
{
    const int count = qFromBigEndian<quint16>(font.constData() + base + 4);
    for (int i = 0; i < count; ++i) {
        const int record = base + 12 + i * 16;
        if (font.mid(record, 4) == tag) {
            return int(qFromBigEndian<quint32>(font.constData() + record + 8));
        }
    }
    return -1;
}

/**
 * font with every name string that says from saying to instead (the same length, ASCII), its
 * weight class set to weight and its bold flags cleared: a font that claims another style.
 */
inline QByteArray renamedStyle(QByteArray font, const QByteArray &from, const QByteArray &to, quint16 weight)
{
    const int name = tableOffset(font, "name");
    const int count = qFromBigEndian<quint16>(font.constData() + name + 2);
    const int storage = name + qFromBigEndian<quint16>(font.constData() + name + 4);
    QByteArray wideFrom, wideTo;
    for (int i = 0; i < from.size(); ++i) {
        wideFrom.append('\0').append(from.at(i));
        wideTo.append('\0').append(to.at(i));
    }
    for (int i = 0; i < count; ++i) {
        const uchar *record = reinterpret_cast<const uchar *>(font.constData()) + name + 6 + i * 12;
        const int start = storage + qFromBigEndian<quint16>(record + 10);
        QByteArray text = font.mid(start, qFromBigEndian<quint16>(record + 8));
        text.replace(wideFrom, wideTo).replace(from, to);
        font.replace(start, text.size(), text);
    }
    const int os2 = tableOffset(font, "OS/2");
    qToBigEndian<quint16>(weight, font.data() + os2 + 4);
    const quint16 selection = qFromBigEndian<quint16>(font.constData() + os2 + 62);
    qToBigEndian<quint16>(quint16((selection & ~0x20) | 0x40), font.data() + os2 + 62);
    const int head = tableOffset(font, "head");
    qToBigEndian<quint16>(quint16(qFromBigEndian<quint16>(font.constData() + head + 44) & ~1), font.data() + head + 44);
    return font;
}

/** font with the vendor its OS/2 table names (four ASCII letters) replaced: another foundry of the same family. */
inline QByteArray withVendor(QByteArray font, const QByteArray &vendor)
{
    font.replace(tableOffset(font, "OS/2") + 58, 4, vendor.left(4));
    return font;
}

/** A collection of single fonts, each table directory pointing into the one file. */
inline QByteArray collection(const QList<QByteArray> &fonts)
{
    QByteArray header("ttcf\0\1\0\0", 8);
    header.append(4, '\0');
    qToBigEndian<quint32>(quint32(fonts.size()), header.data() + 8);
    QByteArray body;
    const int start = 12 + 4 * fonts.size();
    for (QByteArray font : fonts) {
        const int base = start + body.size();
        header.append(4, '\0');
        qToBigEndian<quint32>(quint32(base), header.data() + header.size() - 4);
        const int count = qFromBigEndian<quint16>(font.constData() + 4);
        for (int i = 0; i < count; ++i) {
            char *offset = font.data() + 12 + i * 16 + 8;
            qToBigEndian<quint32>(qFromBigEndian<quint32>(offset) + quint32(base), offset);
        }
        body += font;
        body.append((4 - body.size() % 4) % 4, '\0');
    }
    return header + body;
}

#endif // TESTS_FONTFILES_H
