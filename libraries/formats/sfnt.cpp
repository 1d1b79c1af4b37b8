#include "sfnt.h"

#include <QtEndian>

#include <algorithm>

namespace Sfnt {

namespace {

constexpr quint16 familyId = 1;
constexpr quint16 subfamilyId = 2;
constexpr quint16 fullNameId = 4;
constexpr quint16 typographicFamilyId = 16;
constexpr quint16 typographicSubfamilyId = 17;
constexpr quint16 wwsFamilyId = 21;

quint16 read16(const QByteArray &data, qint64 offset)
{
    return qFromBigEndian<quint16>(data.constData() + offset);
}

quint32 read32(const QByteArray &data, qint64 offset)
{
    return qFromBigEndian<quint32>(data.constData() + offset);
}

void append16(QByteArray *out, quint16 value)
{
    out->append(char(value >> 8)).append(char(value & 0xff));
}

void append32(QByteArray *out, quint32 value)
{
    append16(out, quint16(value >> 16));
    append16(out, quint16(value & 0xffff));
}

bool isSingleFont(quint32 tag)
{
    return tag == 0x00010000 || tag == 0x4f54544f /* OTTO */ || tag == 0x74727565 /* true */;
}

bool readFace(const QByteArray &data, quint32 offset, Face *face, QString *error)
{
    const qint64 size = data.size();
    if (qint64(offset) + 12 > size) {
        *error = QStringLiteral("truncated: the table directory at byte %1 is past the end (%2 bytes)").arg(offset).arg(size);
        return false;
    }
    const int count = read16(data, offset + 4);
    if (qint64(offset) + 12 + qint64(count) * 16 > size) {
        *error = QStringLiteral("truncated: the directory of %1 tables is past the end (%2 bytes)").arg(count).arg(size);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const qint64 record = offset + 12 + qint64(i) * 16;
        Table table;
        table.tag = data.mid(int(record), 4);
        table.offset = read32(data, record + 8);
        table.length = read32(data, record + 12);
        if (qint64(table.offset) + table.length > size) {
            *error = QStringLiteral("truncated: table '%1' ends at byte %2, past the end (%3 bytes)")
                         .arg(QString::fromLatin1(table.tag)).arg(qint64(table.offset) + table.length).arg(size);
            return false;
        }
        face->append(table);
    }
    return true;
}

QString decodeName(const QByteArray &bytes, quint16 platform)
{
    if (platform == 1) {
        return QString::fromLatin1(bytes);
    }
    QString text;
    for (int i = 0; i + 1 < bytes.size(); i += 2) {
        text.append(QChar(read16(bytes, i)));
    }
    return text;
}

QByteArray encodeName(const QString &text, quint16 platform)
{
    if (platform == 1) {
        return text.toLatin1();
    }
    QByteArray bytes;
    for (const QChar c : text) {
        append16(&bytes, c.unicode());
    }
    return bytes;
}

struct NameRecord {
    quint16 platform, encoding, language, nameId;
    QByteArray bytes;
};

bool readNames(const QByteArray &name, QVector<NameRecord> *records)
{
    if (name.size() < 6) {
        return false;
    }
    const int count = read16(name, 2);
    const int storage = read16(name, 4);
    if (6 + count * 12 > name.size()) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const int at = 6 + i * 12;
        NameRecord record{read16(name, at), read16(name, at + 2), read16(name, at + 4), read16(name, at + 6), {}};
        const int length = read16(name, at + 8);
        const int offset = storage + read16(name, at + 10);
        if (offset + length > name.size()) {
            return false;
        }
        record.bytes = name.mid(offset, length);
        records->append(record);
    }
    return true;
}

QByteArray writeNames(const QVector<NameRecord> &records)
{
    QByteArray head;
    QByteArray storage;
    append16(&head, 0);
    append16(&head, quint16(records.size()));
    append16(&head, quint16(6 + records.size() * 12));
    for (const NameRecord &record : records) {
        append16(&head, record.platform);
        append16(&head, record.encoding);
        append16(&head, record.language);
        append16(&head, record.nameId);
        append16(&head, quint16(record.bytes.size()));
        append16(&head, quint16(storage.size()));
        storage += record.bytes;
    }
    return head + storage;
}

quint32 checksum(const QByteArray &padded)
{
    quint32 sum = 0;
    for (int i = 0; i + 3 < padded.size(); i += 4) {
        sum += read32(padded, i);
    }
    return sum;
}

// The name of id preferred, else of fallback: Windows Unicode English first, then any Unicode or Macintosh record.
QString firstName(const QByteArray &nameTable, quint16 preferred, quint16 fallbackId)
{
    QVector<NameRecord> records;
    if (!readNames(nameTable, &records)) {
        return QString();
    }
    for (const quint16 id : {preferred, fallbackId}) {
        QString fallback;
        for (const NameRecord &record : records) {
            if (record.nameId != id || (record.platform != 3 && record.platform != 1 && record.platform != 0)) {
                continue;
            }
            if (record.platform == 3 && record.language == 0x409) {
                return decodeName(record.bytes, record.platform);
            }
            if (fallback.isEmpty()) {
                fallback = decodeName(record.bytes, record.platform);
            }
        }
        if (!fallback.isEmpty()) {
            return fallback;
        }
    }
    return QString();
}

} // namespace

bool isSfnt(const QByteArray &data)
{
    return data.size() >= 4 && (isSingleFont(read32(data, 0)) || data.startsWith("ttcf"));
}

bool readFaces(const QByteArray &data, QVector<Face> *faces, QString *error)
{
    faces->clear();
    if (!data.startsWith("ttcf")) {
        Face face;
        if (!readFace(data, 0, &face, error)) {
            return false;
        }
        faces->append(face);
        return true;
    }
    if (data.size() < 12) {
        *error = QStringLiteral("truncated: the collection header is cut short");
        return false;
    }
    const quint32 count = read32(data, 8);
    if (count == 0 || 12 + qint64(count) * 4 > data.size()) {
        *error = QStringLiteral("truncated: the collection's list of %1 faces is past the end").arg(count);
        return false;
    }
    for (quint32 i = 0; i < count; ++i) {
        Face face;
        if (!readFace(data, read32(data, 12 + qint64(i) * 4), &face, error)) {
            *error = QStringLiteral("face %1: %2").arg(i).arg(*error);
            return false;
        }
        faces->append(face);
    }
    return true;
}

QByteArray table(const QByteArray &data, const Face &face, const QByteArray &tag)
{
    for (const Table &entry : face) {
        if (entry.tag == tag) {
            return data.mid(int(entry.offset), int(entry.length));
        }
    }
    return QByteArray();
}

QString familyName(const QByteArray &nameTable)
{
    return firstName(nameTable, typographicFamilyId, familyId);
}

QString styleName(const QByteArray &nameTable)
{
    return firstName(nameTable, typographicSubfamilyId, subfamilyId);
}

QByteArray renamedFont(const QByteArray &data, const Face &face, const QString &family)
{
    QVector<NameRecord> records;
    readNames(table(data, face, "name"), &records);
    for (NameRecord &record : records) {
        if (record.nameId == familyId || record.nameId == fullNameId || record.nameId == typographicFamilyId
            || record.nameId == wwsFamilyId) {
            record.bytes = encodeName(family, record.platform);
        }
    }

    Face sorted = face;
    std::sort(sorted.begin(), sorted.end(), [](const Table &a, const Table &b) { return a.tag < b.tag; });
    const quint16 count = quint16(sorted.size());
    quint16 power = 1;
    quint16 log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    QByteArray out;
    out.append(data.constData(), 4);
    append16(&out, count);
    append16(&out, quint16(power * 16));
    append16(&out, log);
    append16(&out, quint16(count * 16 - power * 16));
    QByteArray body;
    const int bodyStart = 12 + count * 16;
    for (const Table &entry : sorted) {
        QByteArray bytes = entry.tag == "name" ? writeNames(records) : data.mid(int(entry.offset), int(entry.length));
        const quint32 length = quint32(bytes.size());
        bytes.append(QByteArray((4 - bytes.size() % 4) % 4, '\0'));
        out.append(entry.tag);
        append32(&out, checksum(bytes));
        append32(&out, quint32(bodyStart + body.size()));
        append32(&out, length);
        body += bytes;
    }
    return out + body;
}

} // namespace Sfnt
