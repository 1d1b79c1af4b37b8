#include "iomanager/fontfilemanager.h"
#include "iomanager/savefile_p.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>
#include <QTextCodec>
#include <QtEndian>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
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
    constexpr int copyWidth = 16;    // a repeated text is copied whole words at a time
    std::unique_ptr<char[]> buffer(new char[chunkSize + copyWidth]);
    char *const begin = buffer.get();
    char *const limit = begin + chunkSize;
    char *out = begin;

    const QImage::Format format = image.format();
    // These formats hold exactly what QImage::pixel() returns, give or take the alpha of RGB32.
    const bool rawWords = format == QImage::Format_ARGB32 || format == QImage::Format_ARGB32_Premultiplied;
    const bool opaqueWords = format == QImage::Format_RGB32;
    std::vector<QRgb> converted(rawWords ? 0 : width);

    char lastText[copyWidth] = {'0', ','};
    QRgb lastValue = 0;
    int lastLength = 2;

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
            // Glyph images are mostly one background value: repeat its text rather than format it again.
            if (line[x] != lastValue) {
                lastValue = line[x];
                lastLength = int(std::to_chars(lastText, lastText + maxPixelText, lastValue).ptr - lastText);
                lastText[lastLength++] = ',';
            }
            std::memcpy(out, lastText, copyWidth);
            out += lastLength;
        }
    }
    --out; // no separator after the last value
    return device->write(begin, out - begin) == out - begin;
}

} // namespace

bool FontFileManager::fontToFile(const Models::Font *font, const QString &filename)
{
    QSaveFile file(filename);
    if (!Private::isReplaceableTarget(filename) || !file.open(QIODevice::WriteOnly)) {
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

    // A cancelled write removes the temporary file and leaves an old file untouched.
    if (!written || writer.hasError()) {
        file.cancelWriting();
    }
    if (!Private::commitComplete(file)) {
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

namespace {

bool isStartElement(const QXmlStreamReader &reader, QLatin1String name)
{
    return reader.tokenType() == QXmlStreamReader::StartElement && reader.name() == name;
}

bool isEndElement(const QXmlStreamReader &reader, QLatin1String name)
{
    return reader.tokenType() == QXmlStreamReader::EndElement && reader.name() == name;
}

/*
 * readNext() that refuses a document type declaration. An OF font file never has
 * one, and the reader reports it before any entity it declares is used, so no
 * expansion bomb gets to go off. The raised error puts the reader at its end,
 * which stops every loop at its next test.
 */
void readToken(QXmlStreamReader &reader)
{
    if (reader.readNext() == QXmlStreamReader::DTD) {
        reader.raiseError(QStringLiteral("Document type declarations are not accepted."));
    }
}

void warnAboutPicture(const QXmlStreamReader &reader, const char *problem)
{
    const auto *file = qobject_cast<const QFileDevice *>(reader.device());
    std::cerr << "Warning: " << problem << " in input font file: "
              << (file ? file->fileName().toStdString() : std::string()) << "\n";
}

using PixelWord = quint32;

// A QImage holds at most INT_MAX bytes; more values than that in 32-bit words can never be used.
constexpr qint64 maxPixelCount = std::numeric_limits<int>::max() / sizeof(PixelWord);

/* The number of values in a pixel list: its commas plus one, and none in an empty text. */
qint64 countPixelValues(const ushort *text, qint64 length)
{
    if (length == 0) {
        return 0;
    }
    qint64 commas = 0;
    qint64 i = 0;
#ifdef __SSE2__
    // Eight characters a step: an -O2 build leaves the plain loop scalar, and it would cost as much as the parsing.
    const __m128i comma = _mm_set1_epi16(',');
    while (length - i >= 8) {
        // 16-bit lane counters, emptied before they can overflow.
        const qint64 blockEnd = i + std::min<qint64>((length - i) / 8, 32767) * 8;
        __m128i lanes = _mm_setzero_si128();
        for (; i < blockEnd; i += 8) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
            lanes = _mm_sub_epi16(lanes, _mm_cmpeq_epi16(chars, comma));
        }
        alignas(16) qint32 sums[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(sums), _mm_madd_epi16(lanes, _mm_set1_epi16(1)));
        commas += qint64(sums[0]) + sums[1] + sums[2] + sums[3];
    }
#endif
    for (; i < length; ++i) {
        commas += text[i] == u',';
    }
    return commas + 1;
}

/*
 * Reads count values of a pixel list into words, each as QString::toUInt(base 10)
 * reads it. Plain decimals of up to ten digits, all that the writer makes, take the
 * quick way; anything else (signs, spaces, empty or overlong values) is handed to
 * toUInt itself. Never reads past end.
 */
void parsePixelValues(const ushort *pos, const ushort *end, PixelWord *words, qint64 count)
{
    for (qint64 i = 0; i < count; ++i) {
        const ushort *start = pos;
        quint64 value = 0;
        while (pos != end && ushort(*pos - u'0') <= 9) {
            value = value * 10 + (*pos - u'0');
            ++pos;
        }
        const qint64 digits = pos - start;
        if ((pos == end || *pos == u',') && digits > 0 && digits <= 10 && value <= 0xffffffffu) {
            words[i] = PixelWord(value);
        } else {
            while (pos != end && *pos != u',') {
                ++pos;
            }
            words[i] = QString::fromRawData(reinterpret_cast<const QChar *>(start), int(pos - start)).toUInt(nullptr, 10);
        }
        if (pos != end) {
            ++pos;
        }
    }
}

bool hasColourTable(int format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8;
}

/*
 * The pixel list of one picture. The values must be taken while the reader still
 * holds the "data" text, yet the picture's final size and format are known only at
 * its end. The writer puts size and format first, so the values normally go straight
 * into the image's scan lines; otherwise they wait as a list of words.
 */
class PixelValues
{
public:
    void read(const QStringRef &text, int width, int height)
    {
        m_image = QImage();
        std::vector<PixelWord>().swap(m_words);
        m_tooLarge = false;

        const ushort *begin = reinterpret_cast<const ushort *>(text.unicode());
        const ushort *end = begin + text.size();
        m_count = countPixelValues(begin, text.size());
        if (m_count == 0) {
            return;
        }
        if (m_count > maxPixelCount) {
            m_tooLarge = true;
            return;
        }
        if (width > 0 && height > 0 && m_count == qint64(width) * height) {
            m_image = QImage(width, height, QImage::Format_ARGB32);
            if (m_image.isNull()) {
                m_tooLarge = true;
                return;
            }
            // 32-bit scan lines follow each other without padding.
            parsePixelValues(begin, end, reinterpret_cast<PixelWord *>(m_image.bits()), m_count);
            return;
        }
        m_words.resize(std::size_t(m_count));
        parsePixelValues(begin, end, m_words.data(), m_count);
    }

    /** The picture's image for its final size and format; null, with a warning where pixels are lost, when they do not fit. */
    QImage image(int width, int height, int format, const QXmlStreamReader &reader) const
    {
        if (width <= 0 || height <= 0 || m_count != qint64(width) * height) {
            if (m_count != 0 || (width > 0 && height > 0)) {
                warnAboutPicture(reader, "pixel count does not match picture size");
            }
            return QImage();
        }
        // Qt 5 dies inside the QImage constructor on a number outside its enumeration.
        if (format <= QImage::Format_Invalid || format >= QImage::NImageFormats) {
            warnAboutPicture(reader, "unknown picture format");
            return QImage();
        }
        if (m_tooLarge) {
            warnAboutPicture(reader, "picture too large");
            return QImage();
        }

        // setPixel() with ARGB values on a colour table format drops every pixel.
        const QImage::Format target = hasColourTable(format) ? QImage::Format_ARGB32 : QImage::Format(format);
        if (!m_image.isNull() && m_image.width() == width && target == QImage::Format_ARGB32) {
            return m_image;
        }
        QImage image(width, height, target);
        if (image.isNull()) {
            warnAboutPicture(reader, "picture too large");
            return QImage();
        }
        const PixelWord *words =
            m_image.isNull() ? m_words.data() : reinterpret_cast<const PixelWord *>(m_image.constBits());
        if (target == QImage::Format_ARGB32) {
            std::memcpy(image.bits(), words, std::size_t(m_count) * sizeof(PixelWord));
        } else {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    image.setPixel(x, y, *words++);
                }
            }
        }
        return image;
    }

private:
    qint64 m_count = 0;
    bool m_tooLarge = false;
    QImage m_image;                  // the values as ARGB32 words, when they fitted the size known at the time
    std::vector<PixelWord> m_words;  // the values otherwise
};

} // namespace

Models::Font *FontFileManager::fontFromFile(const QString &filename)
{
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "Warning: unable to open input font file: " << filename.toStdString() << "\n";
        return nullptr;
    }

    auto *font = new Models::Font();
    QXmlStreamReader reader(&file);
    while (!reader.atEnd()) {
        if (isStartElement(reader, QLatin1String("font"))) {
            font->setName(reader.attributes().value(QLatin1String("name")).toString());
            while (!isEndElement(reader, QLatin1String("font")) && !reader.atEnd()) {
                readToken(reader);
                if (isStartElement(reader, QLatin1String("letter"))) {
                    const QString value = reader.attributes().value(QLatin1String("char")).toString();
                    Models::Character *letter = readLetter(reader);
                    letter->setCharacterValue(value);
                    if (letter->pictureCount() > 0) {
                        // A later letter with the same value replaces this one.
                        font->addCharacter(letter);
                    } else {
                        std::cerr << "Warning: No picture found for letter \"" << value.toStdString() << "\"\n"
                                  << " in font file: " << filename.toStdString() << "\n";
                        delete letter;
                    }
                }
            }
        }
        readToken(reader);
    }

    if (reader.hasError()) {
        std::cerr << "Warning: malformed input font file: " << filename.toStdString() << "\n";
    }
    file.close();
    return font;
}

Models::Character *FontFileManager::readLetter(QXmlStreamReader &reader)
{
    auto *letter = new Models::Character();
    while (!isEndElement(reader, QLatin1String("letter")) && !reader.atEnd()) {
        readToken(reader);
        if (isStartElement(reader, QLatin1String("anchor"))) {
            // Steps over the token after the start tag unseen: an upLine right there is not read.
            readToken(reader);
            while (!isEndElement(reader, QLatin1String("anchor")) && !reader.atEnd()) {
                readToken(reader);
                if (!reader.isStartElement()) {
                    continue;
                }
                if (isStartElement(reader, QLatin1String("upLine"))) {
                    readToken(reader);
                    letter->setUpLine(reader.text().toDouble());
                }
                if (isStartElement(reader, QLatin1String("baseLine"))) {
                    readToken(reader);
                    letter->setBaseLine(reader.text().toDouble());
                }
                if (isStartElement(reader, QLatin1String("leftLine"))) {
                    readToken(reader);
                    letter->setLeftLine(reader.text().toDouble());
                }
                if (isStartElement(reader, QLatin1String("rightLine"))) {
                    readToken(reader);
                    letter->setRightLine(reader.text().toDouble());
                }
            }
        } else if (isStartElement(reader, QLatin1String("picture"))) {
            letter->addPicture(readPicture(reader));
        }
    }
    return letter;
}

Models::CharacterPicture *FontFileManager::readPicture(QXmlStreamReader &reader)
{
    const int id = reader.attributes().value(QLatin1String("id")).toInt(nullptr, 10);
    int width = 0;
    int height = 0;
    int format = QImage::Format_Invalid;
    PixelValues pixels;
    while (!isEndElement(reader, QLatin1String("imageData")) && !reader.atEnd()) {
        readToken(reader);
        if (!reader.isStartElement()) {
            continue;
        }
        if (isStartElement(reader, QLatin1String("width"))) {
            readToken(reader);
            width = reader.text().toInt(nullptr, 10);
        }
        if (isStartElement(reader, QLatin1String("height"))) {
            readToken(reader);
            height = reader.text().toInt(nullptr, 10);
        }
        if (isStartElement(reader, QLatin1String("format"))) {
            readToken(reader);
            format = reader.text().toInt(nullptr, 10);
        }
        if (isStartElement(reader, QLatin1String("data"))) {
            readToken(reader);
            pixels.read(reader.text(), width, height);
        }
    }
    return new Models::CharacterPicture(pixels.image(width, height, format, reader), id, 0.0f);
}

// Importing a font from a directory of glyph images.

namespace {

// Larger glyph images are refused before decoding: a few-KB file may declare
// a size whose pixels would take gigabytes.
constexpr int maxGlyphImageSide = 4096;
// All the images of one import together, 1 GiB of ARGB32 pixels: many files of the largest size would
// otherwise add up to tens of gigabytes.
constexpr qint64 maxImportPixels = qint64(1) << 28;

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

/*
 * Whether an OF font file can hold letter: XML has no way to write most control characters,
 * U+FFFE, U+FFFF or a surrogate that is not part of a pair.
 */
bool isStorableLetter(const QString &letter)
{
    for (int i = 0; i < letter.size(); ++i) {
        const ushort unit = letter.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < letter.size() && letter.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const bool control = unit < 0x20 && unit != 0x9 && unit != 0xA && unit != 0xD;
        if (control || QChar::isSurrogate(unit) || unit == 0xFFFE || unit == 0xFFFF) {
            return false;
        }
    }
    return true;
}

// A top-down BMP declares a negative height.
bool fitsGlyphImageLimit(const QSize &size)
{
    return qAbs(size.width()) <= maxGlyphImageSide && qAbs(size.height()) <= maxGlyphImageSide;
}

enum class BmpRows { Complete, CutShort, RunLength };

/*
 * Qt decodes an uncompressed BMP that is cut short without a word, leaving the missing rows as
 * whatever memory held; so its length is checked against what its header promises. Run-length
 * encoded rows have no fixed length to check against.
 */
BmpRows bmpRows(const QString &path, qint64 fileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return BmpRows::CutShort;
    }
    const QByteArray header = file.read(54);
    if (header.size() < 26) {
        return BmpRows::CutShort;
    }
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const qint64 dataOffset = qFromLittleEndian<quint32>(bytes + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(bytes + 14);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bitsPerPixel = 0;
    quint32 compression = 0;
    if (infoSize == 12) { // the old OS/2 header: 16-bit sizes, never compressed
        width = qFromLittleEndian<quint16>(bytes + 18);
        height = qFromLittleEndian<quint16>(bytes + 20);
        bitsPerPixel = qFromLittleEndian<quint16>(bytes + 24);
    } else if (header.size() >= 34) {
        width = qAbs(qint64(qFromLittleEndian<qint32>(bytes + 18)));
        height = qAbs(qint64(qFromLittleEndian<qint32>(bytes + 22)));
        bitsPerPixel = qFromLittleEndian<quint16>(bytes + 28);
        compression = qFromLittleEndian<quint32>(bytes + 30);
    } else {
        return BmpRows::CutShort;
    }
    constexpr quint32 rgb = 0, bitfields = 3, alphaBitfields = 6;
    if (compression != rgb && compression != bitfields && compression != alphaBitfields) {
        return BmpRows::RunLength;
    }
    if (width > maxGlyphImageSide || height > maxGlyphImageSide || bitsPerPixel > 64) {
        return BmpRows::CutShort; // beyond what the size check lets through or Qt decodes
    }
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    return fileSize >= dataOffset + rowBytes * height ? BmpRows::Complete : BmpRows::CutShort;
}

/*
 * Loads a glyph image as QImage::load would, except that only regular files are
 * read, the format comes from the content alone, only PNG, JPEG and BMP are
 * decoded, and nothing larger than the limit is. A refused file gives a null image and one warning line; a file
 * holding no image Qt recognises gives a null image silently, as before.
 */
QImage loadGlyphImage(const QString &path, qint64 *pixelBudget)
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
    if (qint64(qAbs(declared.width())) * qAbs(declared.height()) > *pixelBudget) {
        std::cerr << "Warning: glyph images of more than 1 GiB in one import, not loaded: " << path.toStdString()
                  << "\n";
        return QImage();
    }
    const BmpRows rows = format == "bmp" ? bmpRows(path, info.size()) : BmpRows::Complete;
    if (rows == BmpRows::CutShort) {
        std::cerr << "Warning: glyph image cut short, not loaded: " << path.toStdString() << "\n";
        return QImage();
    }
    QImage image;
    if (!reader.read(&image)) {
        // A failed read can still hand back an image, part decoded and part whatever memory held.
        std::cerr << "Warning: glyph image damaged, not loaded: " << path.toStdString() << "\n";
        return QImage();
    }
    if (rows == BmpRows::RunLength) {
        // Runs may leave pixels out, which Qt leaves as whatever memory held. Given an image of the
        // size and format it decodes to, Qt fills that one in place: so decode again into a cleared one.
        QImage cleared(image.size(), image.format());
        cleared.fill(0);
        QImageReader again(path);
        again.setDecideFormatFromContent(true);
        if (!again.read(&cleared) || cleared.size() != image.size()) {
            std::cerr << "Warning: glyph image damaged, not loaded: " << path.toStdString() << "\n";
            return QImage();
        }
        image = cleared;
    }
    if (!fitsGlyphImageLimit(image.size())) {
        std::cerr << "Warning: glyph image larger than 4096 x 4096 pixels, not loaded: " << path.toStdString()
                  << "\n";
        return QImage();
    }
    *pixelBudget -= qint64(image.width()) * image.height();
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
    qint64 pixelBudget = maxImportPixels;
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
        // A letter that XML cannot hold would make the whole font unwritable.
        if (!isStorableLetter(letter)) {
            continue;
        }

        const auto substitution = substitutions.constFind(letter);
        if (substitution != substitutions.constEnd()) {
            letter = substitution.value();
        }

        const int id = name.mid(second + 1, dot - second - 1).toInt();

        QImage image = loadGlyphImage(directory.absoluteFilePath(name), &pixelBudget);
        applyAlphaFromDarkness(image);

        font->addCharacterPicture(letter, new Models::CharacterPicture(image, id, 0));
    }

    return font;
}

// Updating a letter's anchor lines in place.

namespace {

// A font file needs five levels (font, letter, picture, imageData, width); the DOM
// recurses once per level when it builds and when it writes the tree.
constexpr int maxAnchorFileDepth = 32;
// Each node costs the DOM some 200 bytes however short it is in the file: "<a/>" is four.
// A font of 100 letters has a few thousand nodes.
constexpr int maxAnchorFileNodes = 1 << 20;

void reportAnchorFailure(const char *text, const QString &path)
{
    std::cerr << text << path.toStdString() << std::endl;
}

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

        // Comments, CDATA sections and processing instructions are written back as they are.
        const char *closing = nullptr;
        if (standsAt(data, i, "<!--")) {
            closing = "-->";
        } else if (standsAt(data, i, "<![CDATA[")) {
            closing = "]]>";
        } else if (standsAt(data, i, "<?")) {
            closing = "?>";
        }
        if (closing) {
            const int end = data.indexOf(closing, i + 2);
            if (end < 0) {
                return true;
            }
            i = end + int(qstrlen(closing));
            continue;
        }

        char quote = 0;
        for (++i; i < size && (quote || data.at(i) != '>'); ++i) {
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
        ++i;
    }
    return textHasCarriageReturn && textHasContent;
}

/*
 * Qt's DOM parser is not safe on a file from anywhere: one large entity aborts the
 * process, deep nesting overflows the stack, and a DTD, entity text or a declared
 * encoding other than UTF-8 would be dropped or contradicted on write-back. So the
 * bytes go through the stream reader first, which keeps no tree and recurses nowhere,
 * and anything a font file never holds is refused.
 */
bool isPlainFontXml(const QByteArray &data)
{
    if (!isWellFormedUtf8(data)) {
        return false;
    }
    QXmlStreamReader reader(data);
    // The DOM parses without namespaces; a prefix it accepts must not be refused here.
    reader.setNamespaceProcessing(false);
    int depth = 0;
    qint64 nodes = 0;
    while (!reader.atEnd()) {
        if (nodes > maxAnchorFileNodes) {
            return false;
        }
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            if (!reader.documentEncoding().isEmpty()
                && reader.documentEncoding().compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0) {
                return false;
            }
            break;
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return false;
        case QXmlStreamReader::StartElement:
            if (++depth > maxAnchorFileDepth) {
                return false;
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
    return !reader.hasError() && !domChangesMeaning(data);
}

void setAnchorLine(const QDomElement &letter, const QString &name, const QString &text)
{
    const QDomElement anchor = letter.firstChildElement(QStringLiteral("anchor"));
    const QDomNode line = anchor.elementsByTagName(name).item(0);
    line.firstChild().setNodeValue(text);
}

} // namespace

int FontFileManager::changeLetterAnchor(const QString &path, double baseLine, double rightLine, const QString &letter)
{
    QDomDocument fontDocument(QStringLiteral("fontDocument"));

    // Reading a device or a pipe would never end, and it could not be replaced anyway.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.isSequential()) {
        reportAnchorFailure("Unable to load font: ", path);
        return -1;
    }
    // Both passes parse these same bytes, whatever happens to the file meanwhile.
    const QByteArray data = file.readAll();
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed) {
        reportAnchorFailure("Unable to load font: ", path);
        return -1;
    }

    if (!isPlainFontXml(data) || !fontDocument.setContent(data)) {
        reportAnchorFailure("Unable to parse font:", path);
        return -1;
    }

    const QDomNodeList letters = fontDocument.elementsByTagName(QStringLiteral("letter"));
    if (letters.isEmpty()) {
        return -1;
    }
    const QString baseLineText = QString::number(baseLine, 'd', 0);
    const QString rightLineText = QString::number(rightLine, 'd', 0);
    for (int i = 0; i < letters.size(); ++i) {
        const QDomElement element = letters.at(i).toElement();
        if (element.attribute(QStringLiteral("char")) == letter) {
            setAnchorLine(element, QStringLiteral("baseLine"), baseLineText);
            setAnchorLine(element, QStringLiteral("rightLine"), rightLineText);
        }
    }

    // Only commit() replaces the file, so a failed write leaves the old one whole.
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly)) {
        reportAnchorFailure("Unable to re-open font XML file: ", path);
        return -1;
    }
    const QByteArray bytes = fontDocument.toByteArray(1);
    if (output.write(bytes) != bytes.size()) {
        output.cancelWriting();
    }
    if (!Private::commitComplete(output)) {
        reportAnchorFailure("Unable to write font XML file: ", path);
        return -1;
    }
    return 0;
}

} // namespace IOManager
