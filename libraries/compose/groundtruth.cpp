#include "groundtruth.h"

#include "composer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

namespace Compose {

namespace {

QJsonObject boxObject(const QString &key, const QString &text, const QRect &rect)
{
    return {{key, text}, {QStringLiteral("x"), rect.x()}, {QStringLiteral("y"), rect.y()},
            {QStringLiteral("width"), rect.width()}, {QStringLiteral("height"), rect.height()}};
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
    QJsonArray characters;
    QJsonArray words;
    QJsonArray lines;
    for (const LineLayout &line : composition.lines) {
        for (const Box &box : line.characters) {
            characters.append(boxObject(QStringLiteral("char"), box.text, box.rect));
        }
        for (const Box &box : line.words) {
            words.append(boxObject(QStringLiteral("text"), box.text, box.rect));
        }
        QJsonObject lineObject = boxObject(QStringLiteral("text"), line.text, line.rect);
        lineObject.insert(QStringLiteral("baseline"), line.baseline);
        lines.append(lineObject);
    }
    const QJsonObject record{
        {QStringLiteral("file_name"), info.fileName},
        {QStringLiteral("text"), composition.label()},
        {QStringLiteral("font_file"), info.fontFile},
        {QStringLiteral("font_name"), info.fontName},
        {QStringLiteral("seed"), double(info.seed)},
        {QStringLiteral("index"), double(info.index)},
        {QStringLiteral("width"), composition.image.width()},
        {QStringLiteral("height"), composition.image.height()},
        {QStringLiteral("baseline"), composition.lines.isEmpty() ? 0 : composition.lines.first().baseline},
        {QStringLiteral("characters"), characters},
        {QStringLiteral("words"), words},
        {QStringLiteral("lines"), lines},
    };
    return QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
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
