#include "bdffont.h"

#include <QPair>

#include <algorithm>
#include <limits>

namespace Bdf {

namespace {

constexpr uint maxCodePoint = 0x10FFFF;

/* Walks the text a line at a time, split into words, and keeps the line number for messages. */
class Lines
{
public:
    explicit Lines(const QByteArray &text)
        : m_text(text)
    {
    }

    // The next line that holds a word, other than a COMMENT; false at the end of the text.
    bool next()
    {
        while (m_position < m_text.size()) {
            int end = m_text.indexOf('\n', m_position);
            if (end < 0) {
                end = m_text.size();
            }
            m_line = m_text.mid(m_position, end - m_position).simplified();
            m_position = end + 1;
            ++m_number;
            m_words = m_line.split(' ');
            if (!m_line.isEmpty() && m_words.first() != "COMMENT") {
                return true;
            }
        }
        m_line.clear();
        m_words.clear();
        return false;
    }

    const QByteArray &keyword() const { return m_words.first(); }
    const QList<QByteArray> &words() const { return m_words; }
    const QByteArray &line() const { return m_line; }
    int number() const { return m_number; }

    // The rest of the line after the keyword, for a property whose value is a string.
    QByteArray rest() const { return m_line.mid(keyword().size()).trimmed(); }

private:
    const QByteArray &m_text;
    int m_position = 0;
    int m_number = 0;
    QByteArray m_line;
    QList<QByteArray> m_words;
};

/* The reader's state: the font so far and the first thing that went wrong. */
class Reader
{
public:
    explicit Reader(const QByteArray &text)
        : m_lines(text)
    {
    }

    bool read(Font *font);
    QString error() const { return m_error; }

private:
    bool fail(const QString &what)
    {
        m_error = QStringLiteral("line %1: %2").arg(m_lines.number()).arg(what);
        return false;
    }
    bool numbers(int count, int *values, int limit);
    bool readHeader(Font *font, int *declaredGlyphs);
    bool readProperties(Font *font);
    bool readGlyph(Glyph *glyph, bool *encoded);
    bool readBitmap(Glyph *glyph);

    Lines m_lines;
    QString m_error;
    int m_boxWidth = 0;
    int m_boxHeight = 0;
    int m_boxX = 0;
    int m_boxY = 0;
    int m_fontAdvance = -1;
    bool m_hasAscent = false;
    bool m_hasDescent = false;
};

// The count numbers after the keyword, each within [-limit, limit].
bool Reader::numbers(int count, int *values, int limit)
{
    const QList<QByteArray> &words = m_lines.words();
    if (words.size() < count + 1) {
        return fail(QStringLiteral("%1 needs %2 numbers").arg(QString::fromLatin1(m_lines.keyword())).arg(count));
    }
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        values[i] = words.at(i + 1).toInt(&ok, 10);
        if (!ok || values[i] < -limit || values[i] > limit) {
            return fail(QStringLiteral("%1: \"%2\" is not a number from %3 to %4")
                            .arg(QString::fromLatin1(m_lines.keyword()), QString::fromLatin1(words.at(i + 1)),
                                 QString::number(-limit), QString::number(limit)));
        }
    }
    return true;
}

bool Reader::readProperties(Font *font)
{
    while (m_lines.next()) {
        const QByteArray &key = m_lines.keyword();
        int value = 0;
        if (key == "ENDPROPERTIES") {
            return true;
        } else if (key == "FONT_ASCENT" || key == "FONT_DESCENT" || key == "PIXEL_SIZE") {
            if (!numbers(1, &value, maxSide)) {
                return false;
            }
            if (key == "FONT_ASCENT") {
                font->ascent = value;
                m_hasAscent = true;
            } else if (key == "FONT_DESCENT") {
                font->descent = value;
                m_hasDescent = true;
            } else {
                font->pixelSize = value;
            }
        } else if (key == "FAMILY_NAME") {
            QByteArray text = m_lines.rest();
            if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"')) {
                text = text.mid(1, text.size() - 2).replace("\"\"", "\"");
            }
            font->family = QString::fromUtf8(text);
        }
    }
    return fail(QStringLiteral("the file ends inside STARTPROPERTIES"));
}

bool Reader::readHeader(Font *font, int *declaredGlyphs)
{
    if (!m_lines.next() || m_lines.keyword() != "STARTFONT") {
        m_error = QStringLiteral("not a BDF font: it does not start with STARTFONT");
        return false;
    }
    while (m_lines.next()) {
        const QByteArray &key = m_lines.keyword();
        int values[4] = {0, 0, 0, 0};
        if (key == "FONTBOUNDINGBOX") {
            if (!numbers(4, values, maxSide) || values[0] < 0 || values[1] < 0) {
                return m_error.isEmpty() ? fail(QStringLiteral("FONTBOUNDINGBOX has a negative side")) : false;
            }
            m_boxWidth = values[0];
            m_boxHeight = values[1];
            m_boxX = values[2];
            m_boxY = values[3];
        } else if (key == "DWIDTH") {
            if (!numbers(1, values, maxSide)) {
                return false;
            }
            m_fontAdvance = values[0];
        } else if (key == "STARTPROPERTIES") {
            if (!readProperties(font)) {
                return false;
            }
        } else if (key == "CHARS") {
            if (!numbers(1, declaredGlyphs, std::numeric_limits<int>::max()) || *declaredGlyphs < 0) {
                return m_error.isEmpty() ? fail(QStringLiteral("CHARS is negative")) : false;
            }
            // Fonts without the properties still say where the line is, through the bounding box.
            if (!m_hasAscent) {
                font->ascent = qMax(0, m_boxHeight + m_boxY);
            }
            if (!m_hasDescent) {
                font->descent = qMax(0, -m_boxY);
            }
            return true;
        } else if (key == "STARTCHAR" || key == "ENDFONT") {
            return fail(QStringLiteral("%1 before CHARS").arg(QString::fromLatin1(key)));
        }
    }
    return fail(QStringLiteral("the file is cut short before CHARS"));
}

bool Reader::readBitmap(Glyph *glyph)
{
    const int rowBytes = (glyph->width + 7) / 8;
    // A row of no pixels would be an empty line, which is no line at all.
    const int rowCount = rowBytes > 0 ? glyph->height : 0;
    glyph->rows.reserve(qMin(rowCount, 1024));
    while (glyph->rows.size() < rowCount) {
        if (!m_lines.next()) {
            return fail(QStringLiteral("the file is cut short inside the bitmap of %1").arg(glyph->name));
        }
        const QByteArray row = QByteArray::fromHex(m_lines.line());
        if (m_lines.words().size() != 1 || row.size() != rowBytes || m_lines.line().size() != 2 * rowBytes
            || QByteArray(row.toHex()).compare(m_lines.line(), Qt::CaseInsensitive) != 0) {
            return fail(QStringLiteral("bitmap row \"%1\" of %2 is not %3 hex digits for a glyph %4 pixels wide")
                            .arg(QString::fromLatin1(m_lines.line().left(40)), glyph->name, QString::number(2 * rowBytes),
                                 QString::number(glyph->width)));
        }
        glyph->rows.append(row);
    }
    if (!m_lines.next() || m_lines.keyword() != "ENDCHAR") {
        return fail(QStringLiteral("%1 has more bitmap rows than its BBX height %2, or no ENDCHAR")
                        .arg(glyph->name).arg(glyph->height));
    }
    return true;
}

bool Reader::readGlyph(Glyph *glyph, bool *encoded)
{
    glyph->name = QString::fromLatin1(m_lines.rest());
    glyph->width = m_boxWidth;
    glyph->height = m_boxHeight;
    glyph->xOffset = m_boxX;
    glyph->yOffset = m_boxY;
    bool hasAdvance = false;
    bool hasEncoding = false;
    while (m_lines.next()) {
        const QByteArray &key = m_lines.keyword();
        int values[4] = {0, 0, 0, 0};
        if (key == "ENCODING") {
            qint64 code = m_lines.words().value(1).toLongLong(&hasEncoding, 10);
            if (!hasEncoding || code < -1 || code > maxCodePoint) {
                return fail(QStringLiteral("ENCODING of %1 is no code point").arg(glyph->name));
            }
            *encoded = code >= 0;
            glyph->codePoint = uint(qMax<qint64>(0, code));
        } else if (key == "DWIDTH") {
            if (!numbers(1, values, maxSide)) {
                return false;
            }
            glyph->advance = values[0];
            hasAdvance = true;
        } else if (key == "BBX") {
            if (!numbers(4, values, maxSide) || values[0] < 0 || values[1] < 0) {
                return m_error.isEmpty() ? fail(QStringLiteral("BBX of %1 has a negative side").arg(glyph->name)) : false;
            }
            glyph->width = values[0];
            glyph->height = values[1];
            glyph->xOffset = values[2];
            glyph->yOffset = values[3];
        } else if (key == "BITMAP") {
            if (!hasEncoding) {
                return fail(QStringLiteral("%1 has no ENCODING").arg(glyph->name));
            }
            if (!hasAdvance) {
                glyph->advance = m_fontAdvance >= 0 ? m_fontAdvance : glyph->width;
            }
            return readBitmap(glyph);
        } else if (key == "STARTCHAR" || key == "ENDCHAR" || key == "ENDFONT") {
            return fail(QStringLiteral("%1 inside %2, before BITMAP").arg(QString::fromLatin1(key), glyph->name));
        }
    }
    return fail(QStringLiteral("the file is cut short inside %1").arg(glyph->name));
}

bool Reader::read(Font *font)
{
    int declared = 0;
    if (!readHeader(font, &declared)) {
        return false;
    }
    int count = 0;
    while (m_lines.next()) {
        if (m_lines.keyword() == "ENDFONT") {
            if (count != declared) {
                return fail(QStringLiteral("CHARS says %1 glyphs, the file holds %2").arg(declared).arg(count));
            }
            return true;
        }
        if (m_lines.keyword() != "STARTCHAR") {
            return fail(QStringLiteral("\"%1\" where STARTCHAR or ENDFONT belongs").arg(QString::fromLatin1(m_lines.line().left(40))));
        }
        Glyph glyph;
        bool encoded = false;
        if (!readGlyph(&glyph, &encoded)) {
            return false;
        }
        ++count;
        if (encoded) {
            font->glyphs.append(glyph);
        } else {
            ++font->unencoded;
        }
    }
    return fail(QStringLiteral("the file is cut short: no ENDFONT after %1 glyphs").arg(count));
}

// A string property: BDF doubles a quote inside one.
QByteArray quoted(const QString &text)
{
    return '"' + text.toUtf8().replace('"', "\"\"") + '"';
}

} // namespace

bool read(const QByteArray &text, Font *font, QString *error)
{
    *font = Font();
    Reader reader(text);
    if (!reader.read(font)) {
        *error = reader.error();
        *font = Font();
        return false;
    }
    return true;
}

QRect inkBox(const Glyph &glyph)
{
    return QRect(glyph.xOffset, -(glyph.yOffset + glyph.height), glyph.width, glyph.height);
}

namespace {

// Everything before the first glyph: the name, the box over all glyphs and the properties.
QByteArray header(const Font &font)
{
    QRect box;
    qint64 advances = 0;
    for (const Glyph &glyph : font.glyphs) {
        box |= inkBox(glyph);
        advances += glyph.advance;
    }
    const int average = font.glyphs.isEmpty() ? 0 : int(qRound64(10.0 * double(advances) / font.glyphs.size()));
    // An XLFD name holds no "-"; the family keeps its own text in FAMILY_NAME.
    QString xlfdFamily = font.family;
    xlfdFamily.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char('*'), QLatin1Char(' '));
    const QByteArray size = QByteArray::number(font.pixelSize);
    QByteArray out;
    out += "STARTFONT 2.1\n";
    out += "FONT -QuillmereMakeFont-" + xlfdFamily.toUtf8() + "-Medium-R-Normal--" + size + '-' + QByteArray::number(font.pixelSize * 10)
           + "-72-72-P-" + QByteArray::number(average) + "-ISO10646-1\n";
    out += "SIZE " + size + " 72 72\n";
    out += "FONTBOUNDINGBOX " + QByteArray::number(box.width()) + ' ' + QByteArray::number(box.height()) + ' '
           + QByteArray::number(box.left()) + ' ' + QByteArray::number(box.isEmpty() ? 0 : -(box.bottom() + 1)) + '\n';
    const QList<QPair<QByteArray, QByteArray>> properties = {
        {"FOUNDRY", quoted(QStringLiteral("QuillmereMakeFont"))},
        {"FAMILY_NAME", quoted(font.family)},
        {"WEIGHT_NAME", quoted(QStringLiteral("Medium"))},
        {"SLANT", quoted(QStringLiteral("R"))},
        {"SETWIDTH_NAME", quoted(QStringLiteral("Normal"))},
        {"ADD_STYLE_NAME", quoted(QString())},
        {"PIXEL_SIZE", size},
        {"POINT_SIZE", QByteArray::number(font.pixelSize * 10)},
        {"RESOLUTION_X", "72"},
        {"RESOLUTION_Y", "72"},
        {"SPACING", quoted(QStringLiteral("P"))},
        {"AVERAGE_WIDTH", QByteArray::number(average)},
        {"CHARSET_REGISTRY", quoted(QStringLiteral("ISO10646"))},
        {"CHARSET_ENCODING", quoted(QStringLiteral("1"))},
        {"FONT_ASCENT", QByteArray::number(font.ascent)},
        {"FONT_DESCENT", QByteArray::number(font.descent)},
    };
    out += "STARTPROPERTIES " + QByteArray::number(properties.size()) + '\n';
    for (const auto &property : properties) {
        out += property.first + ' ' + property.second + '\n';
    }
    out += "ENDPROPERTIES\n";
    return out;
}

} // namespace

QByteArray write(const Font &font)
{
    QByteArray out = header(font);
    out += "CHARS " + QByteArray::number(font.glyphs.size()) + '\n';
    for (const Glyph &glyph : font.glyphs) {
        const int scalable = font.pixelSize > 0 ? int(qRound64(1000.0 * glyph.advance / font.pixelSize)) : 0;
        out += "STARTCHAR " + glyph.name.toLatin1() + '\n';
        out += "ENCODING " + QByteArray::number(glyph.codePoint) + '\n';
        out += "SWIDTH " + QByteArray::number(scalable) + " 0\n";
        out += "DWIDTH " + QByteArray::number(glyph.advance) + " 0\n";
        out += "BBX " + QByteArray::number(glyph.width) + ' ' + QByteArray::number(glyph.height) + ' '
               + QByteArray::number(glyph.xOffset) + ' ' + QByteArray::number(glyph.yOffset) + '\n';
        out += "BITMAP\n";
        for (const QByteArray &row : glyph.rows) {
            out += row.toHex().toUpper() + '\n';
        }
        out += "ENDCHAR\n";
    }
    out += "ENDFONT\n";
    return out;
}

} // namespace Bdf
