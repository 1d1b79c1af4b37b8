#ifndef TESTS_REFERENCEWRITER_H
#define TESTS_REFERENCEWRITER_H

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QByteArray>
#include <QBuffer>
#include <QImage>
#include <QStringList>
#include <QXmlStreamWriter>

/* The OF font file built the obvious way, one QString per pixel: the yardstick for the real writer. */
inline QByteArray referenceFontBytes(const Models::Font &font)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter writer;
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.setDevice(&buffer);
    writer.writeStartDocument();
    writer.writeStartElement("font");
    writer.writeAttribute("name", font.getName());
    for (const Models::Character *character : font.getCharacters()) {
        writer.writeStartElement("letter");
        writer.writeAttribute("char", character->getCharacterValue());
        writer.writeStartElement("anchor");
        writer.writeTextElement("upLine", QString::number(character->getUpLine(), 'g', 6));
        writer.writeTextElement("baseLine", QString::number(character->getBaseLine(), 'g', 6));
        writer.writeTextElement("leftLine", QString::number(character->getLeftLine(), 'g', 6));
        writer.writeTextElement("rightLine", QString::number(character->getRightLine(), 'g', 6));
        writer.writeEndElement();
        for (const Models::CharacterPicture *picture : character->getPictures()) {
            const QImage image = picture->getImage();
            writer.writeStartElement("picture");
            writer.writeAttribute("id", QString::number(picture->getId(), 10));
            writer.writeStartElement("imageData");
            writer.writeTextElement("width", QString::number(image.width(), 10));
            writer.writeTextElement("height", QString::number(image.height(), 10));
            writer.writeTextElement("format", QString::number(int(image.format()), 10));
            writer.writeTextElement("degradationlevel", QString::number(double(picture->getDegradationLevel()), 'g', 6));
            writer.writeStartElement("data");
            QStringList pixelData;
            pixelData.reserve(image.width() * image.height());
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    pixelData.append(QString::number(image.pixel(x, y), 10));
                }
            }
            writer.writeCharacters(pixelData.join(","));
            writer.writeEndElement();
            writer.writeEndElement();
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return bytes;
}

#endif // TESTS_REFERENCEWRITER_H
