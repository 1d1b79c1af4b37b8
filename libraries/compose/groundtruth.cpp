#include "groundtruth.h"

#include "composer.h"

#include <QBuffer>
#include <QImageWriter>
#include <QXmlStreamWriter>

namespace Compose {

namespace {

// text as a JSON string: UTF-8, with quotes, backslashes and controls escaped.
void appendString(QByteArray *json, const QString &text)
{
    json->append('"');
    for (const char c : text.toUtf8()) {
        const uchar u = uchar(c);
        if (c == '"' || c == '\\') {
            json->append('\\').append(c);
        } else if (u < 0x20) {
            json->append("\\u00").append("0123456789abcdef"[u >> 4]).append("0123456789abcdef"[u & 15]);
        } else {
            json->append(c);
        }
    }
    json->append('"');
}

// {"KEY":TEXT,"x":..,"y":..,"width":..,"height":..}, and a comma after any before it.
void appendBox(QByteArray *json, const char *key, const QString &text, const QRect &rect)
{
    if (!json->isEmpty()) {
        json->append(',');
    }
    json->append("{\"").append(key).append("\":");
    appendString(json, text);
    json->append(",\"x\":" + QByteArray::number(rect.x()) + ",\"y\":" + QByteArray::number(rect.y()) + ",\"width\":"
                 + QByteArray::number(rect.width()) + ",\"height\":" + QByteArray::number(rect.height()) + '}');
}

// "x1,y1 x2,y2 ..." of a rect's corners, clockwise from the top left, inside the image.
QString points(const QRect &rect, const QSize &image)
{
    const int left = qBound(0, rect.left(), image.width() - 1);
    const int top = qBound(0, rect.top(), image.height() - 1);
    const int right = qBound(0, rect.left() + rect.width() - 1, image.width() - 1);
    const int bottom = qBound(0, rect.top() + rect.height() - 1, image.height() - 1);
    return QStringLiteral("%1,%2 %3,%2 %3,%4 %1,%4").arg(left).arg(top).arg(right).arg(bottom);
}

void writeCoords(QXmlStreamWriter &xml, const QRect &rect, const QSize &image)
{
    xml.writeEmptyElement(QStringLiteral("Coords"));
    xml.writeAttribute(QStringLiteral("points"), points(rect, image));
}

void writeText(QXmlStreamWriter &xml, const QString &text)
{
    xml.writeStartElement(QStringLiteral("TextEquiv"));
    xml.writeTextElement(QStringLiteral("Unicode"), text);
    xml.writeEndElement();
}

void writeLine(QXmlStreamWriter &xml, const LineLayout &line, const QString &id, const QSize &image)
{
    xml.writeStartElement(QStringLiteral("TextLine"));
    xml.writeAttribute(QStringLiteral("id"), id);
    writeCoords(xml, line.rect, image);
    const int baseline = qBound(0, line.baseline, image.height() - 1);
    xml.writeEmptyElement(QStringLiteral("Baseline"));
    xml.writeAttribute(QStringLiteral("points"), QStringLiteral("%1,%3 %2,%3")
                                                     .arg(qBound(0, line.rect.left(), image.width() - 1))
                                                     .arg(qBound(0, line.rect.left() + line.rect.width() - 1, image.width() - 1))
                                                     .arg(baseline));
    int wordIndex = 0;
    int glyphIndex = 0;
    int character = 0;
    for (const Box &word : line.words) {
        const QString wordId = QStringLiteral("%1_w%2").arg(id).arg(wordIndex++);
        xml.writeStartElement(QStringLiteral("Word"));
        xml.writeAttribute(QStringLiteral("id"), wordId);
        writeCoords(xml, word.rect, image);
        // The word's letters are the characters up to its end, after the spaces before it.
        QString spelled;
        while (character < line.characters.size() && spelled.size() < word.text.size()) {
            const Box &glyph = line.characters.at(character++);
            if (glyph.text == QLatin1String(" ")) {
                continue;
            }
            spelled += glyph.text;
            xml.writeStartElement(QStringLiteral("Glyph"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("%1_g%2").arg(id).arg(glyphIndex++));
            writeCoords(xml, glyph.rect, image);
            writeText(xml, glyph.text);
            xml.writeEndElement();
        }
        writeText(xml, word.text);
        xml.writeEndElement();
    }
    writeText(xml, line.text);
    xml.writeEndElement();
}

} // namespace

QByteArray metadataRecord(const SampleInfo &info, const Composition &composition)
{
    QByteArray characters;
    QByteArray words;
    QByteArray lines;
    for (const LineLayout &line : composition.lines) {
        for (const Box &box : line.characters) {
            appendBox(&characters, "char", box.text, box.rect);
        }
        for (const Box &box : line.words) {
            appendBox(&words, "text", box.text, box.rect);
        }
        appendBox(&lines, "text", line.text, line.rect);
        lines.chop(1);
        lines += ",\"baseline\":" + QByteArray::number(line.baseline) + '}';
    }
    QByteArray record = "{\"file_name\":";
    appendString(&record, info.fileName);
    record += ",\"text\":";
    appendString(&record, composition.label());
    record += ",\"font_file\":";
    appendString(&record, info.fontFile);
    record += ",\"font_name\":";
    appendString(&record, info.fontName);
    record += ",\"seed\":" + QByteArray::number(info.seed) + ",\"index\":" + QByteArray::number(info.index)
              + ",\"width\":" + QByteArray::number(composition.image.width()) + ",\"height\":" + QByteArray::number(composition.image.height())
              + ",\"baseline\":" + QByteArray::number(composition.lines.isEmpty() ? 0 : composition.lines.first().baseline)
              + ",\"characters\":[" + characters + "],\"words\":[" + words + "],\"lines\":[" + lines + "]}\n";
    return record;
}

QByteArray encodePng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(70);
    return writer.write(image) ? bytes : QByteArray();
}

QByteArray tesseractBoxes(const Composition &composition)
{
    QByteArray bytes;
    const int height = composition.image.height();
    for (const LineLayout &line : composition.lines) {
        for (const Box &box : line.characters) {
            if (box.text == QLatin1String(" ")) {
                continue;
            }
            const int left = qMax(0, box.rect.left());
            const int right = qMin(composition.image.width(), box.rect.left() + box.rect.width());
            const int bottom = qMax(0, height - (box.rect.top() + box.rect.height()));
            const int top = qMin(height, height - box.rect.top());
            bytes += box.text.toUtf8() + ' ' + QByteArray::number(left) + ' ' + QByteArray::number(bottom) + ' '
                     + QByteArray::number(right) + ' ' + QByteArray::number(top) + " 0\n";
        }
    }
    return bytes;
}

QByteArray pageXml(const Composition &composition, const QString &imageFileName, const QString &created)
{
    static const QString ns = QStringLiteral("http://schema.primaresearch.org/PAGE/gts/pagecontent/2019-07-15");
    const QSize image = composition.image.size();
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(ns);
    xml.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("xsi"));
    xml.writeStartElement(ns, QStringLiteral("PcGts"));
    xml.writeAttribute(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("schemaLocation"),
                       ns + QStringLiteral(" ") + ns + QStringLiteral("/pagecontent.xsd"));
    xml.writeStartElement(ns, QStringLiteral("Metadata"));
    xml.writeTextElement(ns, QStringLiteral("Creator"), QStringLiteral("oftool compose"));
    xml.writeTextElement(ns, QStringLiteral("Created"), created);
    xml.writeTextElement(ns, QStringLiteral("LastChange"), created);
    xml.writeEndElement();
    xml.writeStartElement(ns, QStringLiteral("Page"));
    xml.writeAttribute(QStringLiteral("imageFilename"), imageFileName);
    xml.writeAttribute(QStringLiteral("imageWidth"), QString::number(image.width()));
    xml.writeAttribute(QStringLiteral("imageHeight"), QString::number(image.height()));
    xml.writeStartElement(ns, QStringLiteral("TextRegion"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("r0"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("paragraph"));
    QRect region;
    for (const LineLayout &line : composition.lines) {
        region |= line.rect;
    }
    writeCoords(xml, region, image);
    for (int i = 0; i < composition.lines.size(); ++i) {
        writeLine(xml, composition.lines.at(i), QStringLiteral("r0_l%1").arg(i), image);
    }
    writeText(xml, composition.label());
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

} // namespace Compose
