#include "iomanager/fontfilemanager.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>
#include <QTextCodec>
#include <QXmlStreamWriter>

#include <charconv>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
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

namespace {

// Larger glyph images are refused before decoding: a few-KB file may declare
// a size whose pixels would take gigabytes.
constexpr int maxGlyphImageSide = 4096;

bool hasGlyphImageExtension(const QString &name)
{
    static const char *const extensions[] = {".jpg", ".png", ".JPG", ".PNG", ".bmp", ".BMP"};
    for (const char *extension : extensions) {
        if (name.endsWith(QLatin1String(extension), Qt::CaseSensitive)) {
            return true;
        }
    }
    return false;
}

// A top-down BMP declares a negative height.
bool fitsGlyphImageLimit(const QSize &size)
{
    return qAbs(size.width()) <= maxGlyphImageSide && qAbs(size.height()) <= maxGlyphImageSide;
}

/*
 * Loads a glyph image as QImage::load would, except that only regular files are
 * read, the format comes from the content alone, only PNG, JPEG and BMP are
 * decoded, and nothing larger than the limit is. A refused file gives a null image and one warning line; a file
 * holding no image Qt recognises gives a null image silently, as before.
 */
QImage loadGlyphImage(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        // A link to a FIFO or a device would block or never end; a directory just holds no image.
        if (info.exists() && !info.isDir()) {
            std::cerr << "Warning: glyph image not a regular file, not loaded: " << path.toStdString() << "\n";
        }
        return QImage();
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        return QImage();
    }
    if (format != "png" && format != "jpeg" && format != "jpg" && format != "bmp") {
        std::cerr << "Warning: glyph image not in PNG, JPEG or BMP format, not loaded: " << path.toStdString()
                  << "\n";
        return QImage();
    }
    // Qt 5 has no allocation limit of its own: the header's size is all we can go by before decoding.
    const QSize declared = reader.size();
    if (declared == QSize(-1, -1)) {
        return QImage(); // no readable header, so nothing Qt could decode either
    }
    if (!fitsGlyphImageLimit(declared)) {
        std::cerr << "Warning: glyph image larger than 4096 x 4096 pixels, not loaded: " << path.toStdString()
                  << "\n";
        return QImage();
    }
    const QImage image = reader.read();
    if (!fitsGlyphImageLimit(image.size())) {
        std::cerr << "Warning: glyph image larger than 4096 x 4096 pixels, not loaded: " << path.toStdString()
                  << "\n";
        return QImage();
    }
    return image;
}

} // namespace

void FontFileManager::applyAlphaFromDarkness(QImage &image)
{
    if (image.format() == QImage::Format_ARGB32) {
        return;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = line[x];
            line[x] = qRgba(qRed(pixel), qGreen(pixel), qBlue(pixel), 255 - qGray(pixel));
        }
    }
}

Models::Font *FontFileManager::fontFromDirectory(const QString &path, const QMap<QString, QString> &substitutions)
{
    qDebug() << "importing font ........";

    const QDir directory(path);
    const QString fontName = directory.dirName();
    auto *font = new Models::Font(fontName);

    const QStringList fileList = directory.entryList(QDir::NoFilter, QDir::NoSort);
    for (const QString &name : fileList) {
        if (!hasGlyphImageExtension(name)) {
            continue;
        }
        const int first = name.indexOf(QLatin1Char('_'), 0);
        const int second = name.indexOf(QLatin1Char('_'), first + 1);
        // Without two underscores there is no letter field and no id field.
        if (first < 0 || second < 0) {
            continue;
        }
        const int dot = name.indexOf(QLatin1Char('.'), second + 1);

        QString letter = name.mid(first + 1, second - first - 1);
        if (letter == QLatin1String("[pasdecode]")) {
            continue;
        }

        const int plus = letter.indexOf(QLatin1Char('+'));
        const int lastPlus = letter.lastIndexOf(QLatin1Char('+'));
        if (plus >= 0) {
            if (plus != lastPlus) {
                continue;
            }
            const QString code_style = letter.mid(0, plus);
            if (code_style.toLower() != QLatin1String("u")) {
                continue;
            }
            const QString code = letter.mid(plus + 1);
            if (code.length() != 4) {
                continue;
            }
            // strtoul on purpose: "zzzz" gives 0 and "4g00" gives 4, as existing glyph sets expect.
            const std::string codeText = code.toStdString();
            const unsigned long value = std::strtoul(codeText.c_str(), nullptr, 16);
            letter = QString(QChar(static_cast<ushort>(value & 0xffffu)));
            qDebug() << "\t char = " << letter << " code= " << code;
        }

        const auto substitution = substitutions.constFind(letter);
        if (substitution != substitutions.constEnd()) {
            letter = substitution.value();
        }

        const int id = name.mid(second + 1, dot - second - 1).toInt();

        QImage image = loadGlyphImage(directory.absoluteFilePath(name));
        applyAlphaFromDarkness(image);

        font->addCharacterPicture(letter, new Models::CharacterPicture(image, id, 0));
    }

    return font;
}

// Updating a letter's anchor lines in place.

} // namespace IOManager
