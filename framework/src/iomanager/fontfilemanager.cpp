#include "iomanager/fontfilemanager.h"
#include "iomanager/anchorprepass_p.h"
#include "iomanager/atomicfile.h"
#include "iomanager/fontxml_p.h"
#include "iomanager/glyphfilename.h"
#include "iomanager/glyphimage_p.h"
#include "iomanager/gzipdevice_p.h"
#include "iomanager/imagearena_p.h"
#include "iomanager/pixellist_p.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QTextStream>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cerrno>
#include <iostream>
#include <string>

namespace IOManager {

using Private::isEndElement;
using Private::isStartElement;
using Private::readToken;
using Private::realNumber;

bool FontFileManager::fontToFile(const Models::Font *font, const QString &filename)
{
    WriteResult result;
    if (fontToFile(font, filename, &result)) {
        return true;
    }
    std::cerr << fontToFileLine(result).toStdString();
    return false;
}

QString FontFileManager::fontToFileLine(const WriteResult &result)
{
    switch (result.kind()) {
    case WriteResult::Written:
        return QString();
    case WriteResult::CannotOpen:
        return QLatin1String("Warning: unable to open output font file: ") + result.path() + QLatin1Char('\n');
    default:
        return QLatin1String("Warning: unable to write output font file: ") + result.path() + QLatin1Char('\n');
    }
}

bool FontFileManager::fontToFile(const Models::Font *font, const QString &filename, WriteResult *result)
{
    WriteResult ignored;
    if (!result) {
        result = &ignored;
    }
    if (!isReplaceableTarget(filename)) {
        *result = WriteResult::failed(WriteResult::CannotOpen, filename);
        return false;
    }
    QSaveFile file(filename);
    if (!file.open(QIODevice::WriteOnly)) {
        *result = WriteResult::failed(WriteResult::CannotOpen, filename, file.errorString());
        return false;
    }

    // A cancelled write removes the temporary file and leaves an old file untouched.
    QString detail;
    if (!fontToDevice(font, &file)) {
        // The file took every byte: the font holds what XML cannot.
        detail = file.error() != QFileDevice::NoError
                     ? writeErrorText(file.errorString(), errno)
                     : QStringLiteral("the font holds a character that an OF font file cannot hold (a control character or a lone surrogate)");
        file.cancelWriting();
    }
    if (!commitComplete(file)) {
        const QString why = detail.isEmpty() ? writeErrorText(file.errorString(), errno) : detail;
        *result = WriteResult::failed(WriteResult::CannotWrite, filename, why);
        return false;
    }
    *result = WriteResult::written(filename);
    return true;
}

bool FontFileManager::fontToDevice(const Models::Font *font, QIODevice *device)
{
    QXmlStreamWriter writer;
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.setDevice(device);

    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("font"));
    writer.writeAttribute(QStringLiteral("name"), font->getName());
    // Qt 5's writer drops a lone surrogate that ends an attribute without an error; Qt 6's fails.
    bool written = font->getName().isValidUtf16();
    for (const Models::Character *character : font->getCharacters()) {
        if (!written || !writeLetter(character, writer)) {
            written = false;
            break;
        }
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return written && !writer.hasError();
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
    const bool written = !writer.hasError() && Private::writePixels(image, writer.device());

    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndElement();
    return written && !writer.hasError();
}

Models::Font *FontFileManager::fontFromFile(const QString &filename)
{
    // A file may hold millions of warnings: they leave in blocks rather than a write each.
    std::string pending;
    Models::Font *font = fontFromFile(filename, [&pending](const Diagnostic &diagnostic) {
        pending += diagnostic.standardLine().toStdString();
        if (pending.size() >= 64 * 1024) {
            std::cerr << pending;
            pending.clear();
        }
    });
    std::cerr << pending;
    return font;
}

Models::Font *FontFileManager::fontFromFile(const QString &filename, const DiagnosticSink &sink)
{
    if (!sink) {
        return fontFromFile(filename, [](const Diagnostic &) {});
    }
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly)) {
        sink(Diagnostic(Diagnostic::CannotOpen, filename));
        return nullptr;
    }

    // A gzip file is read as the file it holds, inflated on the way: the guard's limits apply to that.
    Private::GzipDevice gzip(&file);
    QIODevice *source = Private::GzipDevice::isGzip(&file) ? static_cast<QIODevice *>(&gzip) : &file;

    auto *font = new Models::Font();
    Private::ImageArena arena;
    Private::TokenGuard guard(source);
    QXmlStreamReader reader(&guard);
    bool documentElementSeen = false;
    while (!reader.atEnd()) {
        // The outer loop sees every token up to the first "font" start tag, the document element included.
        if (!documentElementSeen && reader.isStartElement()) {
            documentElementSeen = true;
            if (reader.name() != QLatin1String("font")) {
                sink(Diagnostic(Diagnostic::NotAFont, filename));
            }
        }
        if (isStartElement(reader, QLatin1String("font"))) {
            font->setName(reader.attributes().value(QLatin1String("name")).toString());
            while (!isEndElement(reader, QLatin1String("font")) && !reader.atEnd()) {
                readToken(reader);
                if (!isStartElement(reader, QLatin1String("letter"))) {
                    continue;
                }
                Models::Character *letter = readLetter(reader, filename, sink, &arena);
                if (letter->pictureCount() > 0) {
                    // A later letter with the same value replaces this one.
                    font->addCharacter(letter);
                } else {
                    sink(Diagnostic(Diagnostic::LetterWithoutPicture, filename, letter->getCharacterValue()));
                    delete letter;
                }
            }
        }
        readToken(reader);
    }

    if (reader.hasError()) {
        Diagnostic malformed(Diagnostic::Malformed, filename);
        malformed.setReaderError(reader.errorString(), reader.lineNumber(), reader.columnNumber());
        sink(malformed);
    }
    file.close();
    return font;
}

Models::Character *FontFileManager::readLetter(QXmlStreamReader &reader, const QString &path,
                                               const DiagnosticSink &sink, Private::ImageArena *arena)
{
    const QString value = reader.attributes().value(QLatin1String("char")).toString();
    auto *letter = new Models::Character(value);
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
            letter->addPicture(readPicture(reader, path, value, sink, arena));
        }
    }
    return letter;
}

Models::CharacterPicture *FontFileManager::readPicture(QXmlStreamReader &reader, const QString &path,
                                                       const QString &letter, const DiagnosticSink &sink,
                                                       Private::ImageArena *arena)
{
    // trimmed(): Qt 6's toInt() passes over ASCII white space only, Qt 5's over all that QChar::isSpace() knows.
    const int id = reader.attributes().value(QLatin1String("id")).trimmed().toInt(nullptr, 10);
    int width = 0;
    int height = 0;
    int format = QImage::Format_Invalid;
    Private::PixelValues pixels(arena);
    while (!isEndElement(reader, QLatin1String("imageData")) && !reader.atEnd()) {
        readToken(reader);
        if (!reader.isStartElement()) {
            continue;
        }
        if (isStartElement(reader, QLatin1String("width"))) {
            readToken(reader);
            width = reader.text().trimmed().toInt(nullptr, 10);
        }
        if (isStartElement(reader, QLatin1String("height"))) {
            readToken(reader);
            height = reader.text().trimmed().toInt(nullptr, 10);
        }
        if (isStartElement(reader, QLatin1String("format"))) {
            readToken(reader);
            format = reader.text().trimmed().toInt(nullptr, 10);
        }
        if (isStartElement(reader, QLatin1String("data"))) {
            readToken(reader);
            pixels.read(reader.text(), width, height);
        }
    }
    QImage image;
    Diagnostic::Kind problem = Diagnostic::PixelCountMismatch;
    if (!pixels.image(width, height, format, &image, &problem)) {
        sink(Diagnostic(problem, path, letter));
    }
    return new Models::CharacterPicture(image, id, 0.0f);
}

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
    return fontFromDirectory(path, substitutions, printDiagnostic);
}

Models::Font *FontFileManager::fontFromDirectory(const QString &path, const QMap<QString, QString> &substitutions,
                                                 const DiagnosticSink &sink)
{
    if (!sink) {
        return fontFromDirectory(path, substitutions, [](const Diagnostic &) {});
    }
    const QDir directory(path);
    auto *font = new Models::Font(directory.dirName());

    Private::GlyphImageLoader loader;
    for (const QString &name : directory.entryList(QDir::NoFilter, QDir::NoSort)) {
        const GlyphFileName glyph = GlyphFileName::parse(name);
        const QString file = directory.absoluteFilePath(name);
        if (!glyph.code().isNull()) {
            sink(Diagnostic(Diagnostic::GlyphCodeRead, file, glyph.letter(), glyph.code()));
        }
        if (!glyph.isAccepted()) {
            if (name != QLatin1String(".") && name != QLatin1String("..")) {
                sink(Diagnostic(Diagnostic::GlyphNameRefused, file, QString(), glyph.reason()));
            }
            continue;
        }
        const QString letter = substitutions.value(glyph.letter(), glyph.letter());
        QImage image = loader.load(file, sink);
        applyAlphaFromDarkness(image);
        font->addCharacterPicture(letter, new Models::CharacterPicture(image, glyph.id(), 0));
    }
    return font;
}

int FontFileManager::changeLetterAnchor(const QString &path, double baseLine, double rightLine, const QString &letter)
{
    WriteResult result;
    if (changeLetterAnchor(path, baseLine, rightLine, letter, &result) == 0) {
        return 0;
    }
    std::cerr << changeLetterAnchorLine(result).toStdString() << std::flush;
    return -1;
}

QString FontFileManager::changeLetterAnchorLine(const WriteResult &result)
{
    const char *text = nullptr;
    switch (result.kind()) {
    case WriteResult::CannotLoad:
        text = "Unable to load font: ";
        break;
    case WriteResult::TooLarge:
        text = "Unable to load font, too large for the anchor update: ";
        break;
    case WriteResult::CannotParse:
        text = "Unable to parse font:";
        break;
    case WriteResult::CannotOpen:
        text = "Unable to re-open font XML file: ";
        break;
    case WriteResult::CannotWrite:
        text = "Unable to write font XML file: ";
        break;
    case WriteResult::NoLetter:
    case WriteResult::Written:
        return QString();
    }
    return QLatin1String(text) + result.path() + QLatin1Char('\n');
}

int FontFileManager::changeLetterAnchor(const QString &path, double baseLine, double rightLine, const QString &letter,
                                        WriteResult *result)
{
    WriteResult ignored;
    if (!result) {
        result = &ignored;
    }
    QDomDocument fontDocument(QStringLiteral("fontDocument"));
    const WriteResult::Kind loaded = Private::loadFontDocument(path, &fontDocument);
    if (loaded != WriteResult::Written) {
        *result = WriteResult::failed(loaded, path);
        return -1;
    }

    const QDomNodeList letters = fontDocument.elementsByTagName(QStringLiteral("letter"));
    if (letters.isEmpty()) {
        *result = WriteResult::failed(WriteResult::NoLetter, path);
        return -1;
    }
    const QString baseLineText = QString::number(baseLine, 'd', 0);
    const QString rightLineText = QString::number(rightLine, 'd', 0);
    for (int i = 0; i < letters.size(); ++i) {
        const QDomElement element = letters.at(i).toElement();
        if (element.attribute(QStringLiteral("char")) == letter) {
            const QDomElement anchor = element.firstChildElement(QStringLiteral("anchor"));
            anchor.elementsByTagName(QStringLiteral("baseLine")).item(0).firstChild().setNodeValue(baseLineText);
            anchor.elementsByTagName(QStringLiteral("rightLine")).item(0).firstChild().setNodeValue(rightLineText);
        }
    }

    // Only commit() replaces the file, so a failed write leaves the old one whole.
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly)) {
        *result = WriteResult::failed(WriteResult::CannotOpen, path, output.errorString());
        return -1;
    }
    // Streamed: the same bytes as toByteArray(1), without two more copies of the whole text.
    QTextStream stream(&output);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6's text streams write UTF-8 unless told otherwise; Qt 5's follow the locale.
    stream.setCodec("UTF-8");
#endif
    fontDocument.save(stream, 1);
    stream.flush();
    if (stream.status() != QTextStream::Ok) {
        output.cancelWriting();
    }
    if (!commitComplete(output)) {
        *result = WriteResult::failed(WriteResult::CannotWrite, path, writeErrorText(output.errorString(), errno));
        return -1;
    }
    *result = WriteResult::written(path);
    return 0;
}

} // namespace IOManager
