#include "charactermap.h"

#include "glyphnames.h"
#include "sfnt.h"

#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <functional>

namespace {

// A font file is read whole to find its character map; beyond this it is no font (see FontSources).
constexpr qint64 maxFileSize = qint64(1) << 30;

quint16 read16(const QByteArray &data, qint64 offset)
{
    return qFromBigEndian<quint16>(data.constData() + offset);
}

quint32 read32(const QByteArray &data, qint64 offset)
{
    return qFromBigEndian<quint32>(data.constData() + offset);
}

bool isUnicode(quint16 platform, quint16 encoding)
{
    return platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
}

// The code points of the format 4 subtable at offset that lead to a glyph other than 0.
void readFormat4(const QByteArray &cmap, qint64 offset, const std::function<void(uint, uint)> &add)
{
    if (offset + 14 > cmap.size()) {
        return;
    }
    const int segments = read16(cmap, offset + 6) / 2;
    const qint64 ends = offset + 14;
    const qint64 starts = ends + 2 * segments + 2;
    const qint64 deltas = starts + 2 * segments;
    const qint64 rangeOffsets = deltas + 2 * segments;
    if (rangeOffsets + 2 * segments > cmap.size()) {
        return;
    }
    for (int segment = 0; segment < segments; ++segment) {
        const uint end = read16(cmap, ends + 2 * segment);
        const uint start = read16(cmap, starts + 2 * segment);
        const quint16 delta = read16(cmap, deltas + 2 * segment);
        const qint64 rangeOffsetAt = rangeOffsets + 2 * segment;
        const quint16 rangeOffset = read16(cmap, rangeOffsetAt);
        for (uint code = start; code <= end && code < 0xFFFF; ++code) {
            quint16 glyph = 0;
            if (rangeOffset == 0) {
                glyph = quint16(code + delta);
            } else {
                const qint64 at = rangeOffsetAt + rangeOffset + 2 * qint64(code - start);
                glyph = at + 2 <= cmap.size() ? read16(cmap, at) : 0;
                glyph = glyph == 0 ? 0 : quint16(glyph + delta);
            }
            if (glyph != 0) {
                add(code, code);
            }
        }
    }
}

// Formats 12 (a glyph per code point of a group) and 13 (one glyph for the whole group).
void readGroups(const QByteArray &cmap, qint64 offset, quint16 format, const std::function<void(uint, uint)> &add)
{
    if (offset + 16 > cmap.size()) {
        return;
    }
    const qint64 groups = qMin<qint64>(read32(cmap, offset + 12), (cmap.size() - offset - 16) / 12);
    for (qint64 group = 0; group < groups; ++group) {
        const qint64 at = offset + 16 + group * 12;
        uint first = read32(cmap, at);
        const uint last = qMin<uint>(read32(cmap, at + 4), 0x10FFFF);
        const uint glyph = read32(cmap, at + 8);
        if (glyph == 0 && (format == 13 || first == last)) {
            continue;
        }
        if (glyph == 0) {
            ++first; // only the first code point leads to glyph 0
        }
        if (first <= last) {
            add(first, last);
        }
    }
}

// The bytes of a PFB's segments in order, or data itself when it is no PFB.
QByteArray type1Bytes(const QByteArray &data)
{
    if (!data.startsWith("\x80\x01")) {
        return data;
    }
    QByteArray flat;
    qint64 at = 0;
    while (at + 6 <= data.size() && uchar(data.at(int(at))) == 0x80 && (data.at(int(at + 1)) == 1 || data.at(int(at + 1)) == 2)) {
        const qint64 length = qFromLittleEndian<quint32>(data.constData() + at + 2);
        flat += data.mid(int(at + 6), int(qMin(length, data.size() - at - 6)));
        at += 6 + length;
    }
    return flat;
}

// The eexec-encrypted part after clear text, decrypted; empty when there is none.
QByteArray decryptedPart(const QByteArray &flat)
{
    int at = flat.indexOf("eexec");
    if (at < 0) {
        return QByteArray();
    }
    at += 5;
    while (at < flat.size() && (flat.at(at) == '\r' || flat.at(at) == '\n' || flat.at(at) == ' ' || flat.at(at) == '\t')) {
        ++at;
    }
    QByteArray cipher = flat.mid(at);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{4}"));
    if (hex.match(QString::fromLatin1(cipher.left(4))).hasMatch()) {
        QByteArray digits = cipher;
        digits.replace('\r', "").replace('\n', "").replace(' ', "").replace('\t', "");
        cipher = QByteArray::fromHex(digits);
    }
    QByteArray plain(cipher.size(), '\0');
    quint16 key = 55665;
    for (int i = 0; i < cipher.size(); ++i) {
        const uchar byte = uchar(cipher.at(i));
        plain[i] = char(byte ^ (key >> 8));
        key = quint16((byte + key) * 52845u + 22719u);
    }
    return plain.mid(4);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\0';
}

bool isDelimiter(char c)
{
    return isSpace(c) || c == '/' || c == '[' || c == ']' || c == '{' || c == '}' || c == '(' || c == ')' || c == '<' || c == '>'
        || c == '%';
}

// The names of the glyphs in the CharStrings dictionary of plain, each "/NAME LENGTH RD <LENGTH bytes> ND" in turn.
QList<QByteArray> charStringNames(const QByteArray &plain)
{
    QList<QByteArray> names;
    const int dictionary = plain.indexOf("/CharStrings");
    int at = dictionary < 0 ? -1 : plain.indexOf("begin", dictionary);
    if (at < 0) {
        return names;
    }
    at += 5;
    const int size = plain.size();
    for (;;) {
        while (at < size && isSpace(plain.at(at))) {
            ++at;
        }
        if (at >= size || plain.at(at) != '/') {
            break; // "end", or what cannot be read
        }
        const int nameStart = ++at;
        while (at < size && !isDelimiter(plain.at(at))) {
            ++at;
        }
        const QByteArray name = plain.mid(nameStart, at - nameStart);
        while (at < size && isSpace(plain.at(at))) {
            ++at;
        }
        qint64 length = 0;
        int digits = 0;
        for (; at < size && plain.at(at) >= '0' && plain.at(at) <= '9' && digits < 9; ++at, ++digits) {
            length = length * 10 + (plain.at(at) - '0');
        }
        // One space, the operator that reads the program ("RD", "-|"), one space, then the program.
        if (digits == 0 || at >= size || !isSpace(plain.at(at))) {
            break;
        }
        const int operatorEnd = plain.indexOf(' ', at + 1);
        if (name.isEmpty() || operatorEnd < 0 || operatorEnd - at > 8) {
            break;
        }
        names.append(name);
        const qint64 next = qint64(operatorEnd) + 1 + length;
        if (next > size) {
            break;
        }
        // Past the program's ending ("ND", "|-").
        at = int(next);
        while (at < size && !isSpace(plain.at(at)) && plain.at(at) != '/') {
            ++at;
        }
    }
    return names;
}

// The glyph names of a clear-text Encoding: "dup CODE /NAME put" entries; empty for a named encoding.
QList<QByteArray> encodingNames(const QByteArray &flat)
{
    QList<QByteArray> names;
    const int start = flat.indexOf("/Encoding");
    if (start < 0) {
        return names;
    }
    const int end = flat.indexOf(" def", start);
    static const QRegularExpression entry(QStringLiteral("dup\\s+\\d+\\s*/([^\\s/\\[\\]{}()<>%]+)\\s+put"));
    QRegularExpressionMatchIterator matches = entry.globalMatch(QString::fromLatin1(flat.mid(start, end < 0 ? -1 : end - start)));
    while (matches.hasNext()) {
        names.append(matches.next().captured(1).toLatin1());
    }
    return names;
}

} // namespace

bool CharacterMap::contains(uint codePoint) const
{
    const auto range = std::lower_bound(m_ranges.cbegin(), m_ranges.cend(), codePoint,
                                        [](const QPair<uint, uint> &entry, uint value) { return entry.second < value; });
    return range != m_ranges.cend() && range->first <= codePoint;
}

void CharacterMap::add(uint first, uint last)
{
    if (!m_ranges.isEmpty() && m_ranges.last().second + 1 == first) {
        m_ranges.last().second = last;
    } else {
        m_ranges.append({first, last});
    }
}

void CharacterMap::finish()
{
    std::sort(m_ranges.begin(), m_ranges.end());
    QVector<QPair<uint, uint>> merged;
    for (const QPair<uint, uint> &range : qAsConst(m_ranges)) {
        if (!merged.isEmpty() && range.first <= merged.last().second + 1) {
            merged.last().second = qMax(merged.last().second, range.second);
        } else {
            merged.append(range);
        }
    }
    m_ranges = merged;
}

CharacterMap CharacterMap::fromCmap(const QByteArray &cmap)
{
    CharacterMap map;
    if (cmap.size() < 4) {
        return map;
    }
    const int count = qMin<int>(read16(cmap, 2), (cmap.size() - 4) / 8);
    const auto add = [&map](uint first, uint last) { map.add(first, last); };
    qint64 symbol = -1;
    for (int i = 0; i < count; ++i) {
        const qint64 record = 4 + qint64(i) * 8;
        const quint16 platform = read16(cmap, record);
        const quint16 encoding = read16(cmap, record + 2);
        const qint64 offset = read32(cmap, record + 4);
        if (offset + 2 > cmap.size()) {
            continue;
        }
        const quint16 format = read16(cmap, offset);
        if (platform == 3 && encoding == 0 && format == 4) {
            symbol = offset;
        }
        if (!isUnicode(platform, encoding) || (format != 4 && format != 12 && format != 13)) {
            continue;
        }
        map.m_valid = true;
        if (format == 4) {
            readFormat4(cmap, offset, add);
        } else {
            readGroups(cmap, offset, format, add);
        }
    }
    if (!map.m_valid && symbol >= 0) {
        map.m_valid = true;
        readFormat4(cmap, symbol, add);
    }
    map.finish();
    return map;
}

CharacterMap CharacterMap::fromType1(const QByteArray &data)
{
    CharacterMap map;
    const QByteArray flat = type1Bytes(data);
    QList<QByteArray> names = charStringNames(decryptedPart(flat));
    if (names.isEmpty()) {
        names = encodingNames(flat);
    }
    for (const QByteArray &name : qAsConst(names)) {
        for (const uint codePoint : GlyphNames::characters(name)) {
            map.add(codePoint, codePoint);
        }
    }
    map.m_valid = !names.isEmpty();
    map.finish();
    return map;
}

CharacterMap CharacterMap::fromFile(const QString &path, int faceIndex)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileSize) {
        return CharacterMap();
    }
    const uchar *mapped = file.map(0, file.size());
    const QByteArray data = mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(file.size())) : file.readAll();
    if (Sfnt::isSfnt(data)) {
        QVector<Sfnt::Face> faces;
        QString error;
        if (!Sfnt::readFaces(data, &faces, &error) || faceIndex < 0 || faceIndex >= faces.size()) {
            return CharacterMap();
        }
        return fromCmap(Sfnt::table(data, faces.at(faceIndex), "cmap"));
    }
    if (data.startsWith("\x80\x01") || data.startsWith("%!PS-AdobeFont") || data.startsWith("%!FontType1")) {
        return fromType1(data);
    }
    return CharacterMap();
}
