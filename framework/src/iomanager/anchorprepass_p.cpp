#include "iomanager/anchorprepass_p.h"
#include "iomanager/fontfilemanager.h"

#include <QByteArray>
#include <QBuffer>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace IOManager {
namespace Private {

namespace {

// A font file needs five levels (font, letter, picture, imageData, width); the DOM
// recurses once per level when it builds and when it writes the tree.
constexpr int maxAnchorFileDepth = 32;
// Each node costs the DOM some 200 bytes however short it is in the file: "<a/>" is four. A letter
// with one picture is 24 nodes, so this admits the 65,537 letters of the largest character set
// oftool renders, at some 400 MB of nodes.
constexpr int maxAnchorFileNodes = 1 << 21;

// Qt's UTF-8 decoders turn bad bytes into U+FFFD without a word, and the rewrite would
// then store the replacement characters for good.
bool isWellFormedUtf8(const QByteArray &data)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const int size = data.size();
    int i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0; // overlong
            } else if (lead == 0xED) {
                high = 0x9F; // surrogates
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90; // overlong
            } else if (lead == 0xF4) {
                high = 0x8F; // beyond U+10FFFF
            }
        } else {
            return false;
        }
        if (size - i < length || bytes[i + 1] < low || bytes[i + 1] > high) {
            return false;
        }
        for (int k = 2; k < length; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// Whether the character reference at index at goes beyond U+FFFF.
bool isWideCharacterReference(const QByteArray &data, int at)
{
    int k = at + 2;
    const bool hex = k < data.size() && data.at(k) == 'x';
    if (hex) {
        ++k;
    }
    uint value = 0;
    for (; k < data.size(); ++k) {
        const char c = data.at(k);
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        value = value * (hex ? 16 : 10) + uint(digit);
        if (value > 0xFFFF) {
            return true;
        }
    }
    return false;
}

bool standsAt(const QByteArray &data, int at, const char *text)
{
    const int length = int(qstrlen(text));
    return data.size() - at >= length && qstrncmp(data.constData() + at, text, uint(length)) == 0;
}

/*
 * For the markup that starts at the "<" at index at: where a comment, a CDATA section or a
 * processing instruction ends, which are written back as they are; -1 for a tag, 0 when
 * one of them is not closed.
 */
int endOfVerbatimMarkup(const QByteArray &data, int at)
{
    const char *closing = nullptr;
    if (standsAt(data, at, "<!--")) {
        closing = "-->";
    } else if (standsAt(data, at, "<![CDATA[")) {
        closing = "]]>";
    } else if (standsAt(data, at, "<?")) {
        closing = "?>";
    } else {
        return -1;
    }
    const int end = data.indexOf(closing, at + 2);
    return end < 0 ? 0 : end + int(qstrlen(closing));
}

/*
 * Whether the tag that starts at the "<" at index *at holds an attribute value that the DOM
 * reads differently; moves *at past the tag.
 */
bool tagChangesMeaning(const QByteArray &data, int *at)
{
    const int size = data.size();
    char quote = 0;
    int i = *at + 1;
    for (; i < size && (quote || data.at(i) != '>'); ++i) {
        const char t = data.at(i);
        if (!quote) {
            if (t == '"' || t == '\'') {
                quote = t;
            }
        } else if (t == quote) {
            quote = 0;
        } else if (t == '\t' || t == '\n' || t == '\r') {
            return true;
        } else if (t == '&' && i + 1 < size && data.at(i + 1) == '#' && isWideCharacterReference(data, i)) {
            return true;
        }
    }
    *at = i + 1;
    return false;
}

/*
 * Where Qt's DOM parser reads a well-formed file differently from XML, the rewrite
 * would change what the file says: it keeps only the low 16 bits of a character
 * reference ("&#x10041;" comes back as "A"), and it keeps a raw tab, line feed or
 * carriage return in an attribute value, and a carriage return in text, where XML
 * turns them into a space or a line feed; the rewrite then stores them as references.
 * Whitespace between elements is dropped anyway, so line ends of any kind stay fine.
 */
bool domChangesMeaning(const QByteArray &data)
{
    const int size = data.size();
    bool textHasCarriageReturn = false;
    bool textHasContent = false;
    int i = 0;
    while (i < size) {
        const char c = data.at(i);
        if (c != '<') {
            if (c == '\r') {
                textHasCarriageReturn = true;
            } else if (c != ' ' && c != '\t' && c != '\n') {
                textHasContent = true;
            }
            if (c == '&' && i + 1 < size && data.at(i + 1) == '#' && isWideCharacterReference(data, i)) {
                return true;
            }
            ++i;
            continue;
        }
        if (textHasCarriageReturn && textHasContent) {
            return true;
        }
        textHasCarriageReturn = false;
        textHasContent = false;

        const int verbatimEnd = endOfVerbatimMarkup(data, i);
        if (verbatimEnd == 0) {
            return true;
        }
        if (verbatimEnd > 0) {
            i = verbatimEnd;
        } else if (tagChangesMeaning(data, &i)) {
            return true;
        }
    }
    return textHasCarriageReturn && textHasContent;
}

} // namespace

FontXml checkFontXml(const QByteArray &data)
{
    if (!isWellFormedUtf8(data)) {
        return FontXml::NotPlain;
    }
    // Through a device the reader decodes a block at a time, not the whole file at once.
    QBuffer buffer;
    buffer.setData(data); // shared, not copied
    buffer.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&buffer);
    // The DOM parses without namespaces; a prefix it accepts must not be refused here.
    reader.setNamespaceProcessing(false);
    int depth = 0;
    qint64 nodes = 0;
    while (!reader.atEnd()) {
        if (nodes > maxAnchorFileNodes) {
            return FontXml::TooLarge;
        }
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            if (!reader.documentEncoding().isEmpty()
                && reader.documentEncoding().compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) {
                return FontXml::NotPlain;
            }
            break;
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return FontXml::NotPlain;
        case QXmlStreamReader::StartElement:
            if (++depth > maxAnchorFileDepth) {
                return FontXml::NotPlain;
            }
            nodes += 1 + reader.attributes().size();
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            // The DOM drops whitespace between elements.
            if (!reader.isWhitespace()) {
                ++nodes;
            }
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
            ++nodes;
            break;
        default:
            break;
        }
    }
    return reader.hasError() || domChangesMeaning(data) ? FontXml::NotPlain : FontXml::Plain;
}

WriteResult::Kind loadFontDocument(const QString &path, QDomDocument *document)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly) || file.isSequential()) {
        return WriteResult::CannotLoad;
    }
    if (info.size() > maxAnchorFileBytes) {
        return WriteResult::TooLarge;
    }
    // Both passes parse these same bytes, whatever happens to the file meanwhile.
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return WriteResult::CannotLoad;
    }
    const FontXml checked = checkFontXml(data);
    if (checked == FontXml::TooLarge) {
        return WriteResult::TooLarge;
    }
    // From a device the DOM decodes a block at a time instead of the whole text at once.
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    if (checked != FontXml::Plain || !document->setContent(&buffer)) {
        return WriteResult::CannotParse;
    }
    return WriteResult::Written;
}

} // namespace Private
} // namespace IOManager
