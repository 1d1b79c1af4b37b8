#include "iomanager/fontfilemanager.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QImage>
#include <QSaveFile>
#include <QTextCodec>
#include <QXmlStreamWriter>

#include <charconv>
#include <iostream>
#include <memory>
#include <vector>

namespace IOManager {

namespace {

QString realNumber(double value)
{
    return QString::number(value, 'g', 6);
}

/*
 * Writes the pixel list straight to the device, in the bytes that
 * QString::number(pixel(x, y), 10) joined with "," would give. Digits and commas
 * need no escaping, so going around the XML writer changes nothing in the file
 * and saves one QString per pixel.
 */
bool writePixels(const QImage &image, QIODevice *device)
{
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) {
        return true;
    }

    constexpr int chunkSize = 64 * 1024;
    constexpr int maxPixelText = 11; // "4294967295,"
    std::unique_ptr<char[]> buffer(new char[chunkSize + maxPixelText]);
    char *const begin = buffer.get();
    char *const limit = begin + chunkSize;
    char *out = begin;

    const QImage::Format format = image.format();
    // These formats hold exactly what QImage::pixel() returns, give or take the alpha of RGB32.
    const bool rawWords = format == QImage::Format_ARGB32 || format == QImage::Format_ARGB32_Premultiplied;
    const bool opaqueWords = format == QImage::Format_RGB32;
    std::vector<QRgb> converted(rawWords ? 0 : width);

    for (int y = 0; y < height; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (opaqueWords) {
            for (int x = 0; x < width; ++x) {
                converted[x] = line[x] | 0xff000000u;
            }
            line = converted.data();
        } else if (!rawWords) {
            for (int x = 0; x < width; ++x) {
                converted[x] = image.pixel(x, y);
            }
            line = converted.data();
        }
        for (int x = 0; x < width; ++x) {
            if (out >= limit) {
                if (device->write(begin, out - begin) != out - begin) {
                    return false;
                }
                out = begin;
            }
            out = std::to_chars(out, out + maxPixelText, line[x]).ptr;
            *out++ = ',';
        }
    }
    --out; // no separator after the last value
    return device->write(begin, out - begin) == out - begin;
}

} // namespace

bool FontFileManager::fontToFile(const Models::Font *font, const QString &filename)
{
    QSaveFile file(filename);
    if (!file.open(QIODevice::WriteOnly)) {
        std::cerr << "Warning: unable to open output font file: " << filename.toStdString() << "\n";
        return false;
    }

    QXmlStreamWriter writer;
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.setCodec(QTextCodec::codecForName("utf8"));
    writer.setDevice(&file);

    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("font"));
    writer.writeAttribute(QStringLiteral("name"), font->getName());
    bool written = true;
    for (const Models::Character *character : font->getCharacters()) {
        if (!writeLetter(character, writer)) {
            written = false;
            break;
        }
    }
    writer.writeEndElement();
    writer.writeEndDocument();

    // Without commit() the temporary file is removed and an old file stays untouched.
    if (!written || writer.hasError() || !file.commit()) {
        std::cerr << "Warning: unable to write output font file: " << filename.toStdString() << "\n";
        return false;
    }
    return true;
}

bool FontFileManager::writeLetter(const Models::Character *character, QXmlStreamWriter &writer)
{
    writer.writeStartElement(QStringLiteral("letter"));
    writer.writeAttribute(QStringLiteral("char"), character->getCharacterValue());

    writer.writeStartElement(QStringLiteral("anchor"));
    writer.writeTextElement(QStringLiteral("upLine"), realNumber(character->getUpLine()));
    writer.writeTextElement(QStringLiteral("baseLine"), realNumber(character->getBaseLine()));
    writer.writeTextElement(QStringLiteral("leftLine"), realNumber(character->getLeftLine()));
    writer.writeTextElement(QStringLiteral("rightLine"), realNumber(character->getRightLine()));
    writer.writeEndElement();

    bool written = true;
    for (const Models::CharacterPicture *picture : character->getPictures()) {
        if (!writePicture(picture, writer)) {
            written = false;
            break;
        }
    }

    writer.writeEndElement();
    return written && !writer.hasError();
}

bool FontFileManager::writePicture(const Models::CharacterPicture *picture, QXmlStreamWriter &writer)
{
    const QImage image = picture->getImage();

    writer.writeStartElement(QStringLiteral("picture"));
    writer.writeAttribute(QStringLiteral("id"), QString::number(picture->getId(), 10));
    writer.writeStartElement(QStringLiteral("imageData"));
    writer.writeTextElement(QStringLiteral("width"), QString::number(image.width(), 10));
    writer.writeTextElement(QStringLiteral("height"), QString::number(image.height(), 10));
    writer.writeTextElement(QStringLiteral("format"), QString::number(static_cast<int>(image.format()), 10));
    writer.writeTextElement(QStringLiteral("degradationlevel"),
                            realNumber(static_cast<double>(picture->getDegradationLevel())));

    writer.writeStartElement(QStringLiteral("data"));
    // An empty text closes the start tag; the writer passes its output straight to the device.
    writer.writeCharacters(QString());
    const bool written = !writer.hasError() && writePixels(image, writer.device());

    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndElement();
    return written && !writer.hasError();
}

// Reading OF font files.

// Importing a font from a directory of glyph images.

// Updating a letter's anchor lines in place.

} // namespace IOManager
