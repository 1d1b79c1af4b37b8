// Writes a font with the installed framework, reads it back and writes it again: both files must match
// (the reader gives every picture degradation level 0, so the font uses 0). Then renders two letters of
// the default font with the installed renderer and writes them to a third file.
#include "glyphrenderer.h"

#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/glyphfilename.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <memory>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int fail(const char *message)
{
    std::fprintf(stderr, "consumer: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        return fail("usage: consumer FIRST.of SECOND.of RENDERED.of");
    }
    QGuiApplication app(argc, argv);
    const QString first = QString::fromLocal8Bit(argv[1]);
    const QString second = QString::fromLocal8Bit(argv[2]);
    const QString rendered = QString::fromLocal8Bit(argv[3]);

    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0xff000000u);
    image.setPixel(1, 0, 0x80ff8000u);
    Models::Font font(QStringLiteral("Consumer"));
    auto *letter = new Models::Character(QStringLiteral("A"), 1, 90.5, 2, 80);
    letter->addPicture(new Models::CharacterPicture(image, 0, 0));
    font.addCharacter(letter);
    auto *accented = new Models::Character(QString(QChar(0xe9)));
    accented->addPicture(new Models::CharacterPicture(image.mirrored(true, false), 0, 0));
    font.addCharacter(accented);
    if (!IOManager::FontFileManager::fontToFile(&font, first)) {
        return fail("fontToFile failed");
    }

    IOManager::DiagnosticCollector diagnostics;
    const std::unique_ptr<Models::Font> read(IOManager::FontFileManager::fontFromFile(first, diagnostics.sink()));
    if (!read) {
        return fail("fontFromFile returned no font");
    }
    if (diagnostics.total() != 0) {
        return fail("reading the font gave diagnostics");
    }
    const QString name = IOManager::GlyphFileName::compose(QStringLiteral("g"), QStringLiteral("A"), 2);
    if (IOManager::GlyphFileName::parse(name).letter() != QLatin1String("A")) {
        return fail("a glyph file name does not read back");
    }
    const Models::Character *readLetter = read->getCharacter(QStringLiteral("A"));
    if (read->getName() != font.getName() || read->getCharacters().size() != 2 || !readLetter
        || readLetter->getBaseLine() != 90.5 || readLetter->getPictures().size() != 1
        || readLetter->getPictures().first()->getImage().pixel(1, 0) != 0x80ff8000u) {
        return fail("the font read back differs from the one written");
    }
    if (!IOManager::FontFileManager::fontToFile(read.get(), second)) {
        return fail("fontToFile failed on the font read back");
    }
    const QByteArray bytes = contents(first);
    if (bytes.isEmpty() || bytes != contents(second)) {
        return fail("writing the font read back gave other bytes");
    }
    std::printf("consumer: wrote, read and rewrote %d letters, %d bytes\n", int(read->getCharacters().size()),
                int(bytes.size()));

    QFont drawn;
    drawn.setPointSize(12);
    Models::Font glyphs(QStringLiteral("Rendered"));
    if (!renderGlyphs(drawn, QStringList{QStringLiteral("A"), QStringLiteral("g")}, &glyphs, nullptr, 96)) {
        return fail("renderGlyphs refused two letters at 12 pt");
    }
    const Models::Character *drawnA = glyphs.getCharacter(QStringLiteral("A"));
    if (glyphs.getCharacters().size() != 3 || !drawnA || drawnA->getPictures().size() != 1
        || drawnA->getPictures().first()->getImage().isNull()) {
        return fail("the rendered font lacks its letters");
    }
    IOManager::WriteResult written;
    if (!IOManager::FontFileManager::fontToFile(&glyphs, rendered, &written)) {
        return fail(qPrintable(written.reason()));
    }
    std::printf("consumer: rendered %d letters at %d px\n", int(glyphs.getCharacters().size()),
                renderedPixelSize(drawn, 96));
    return 0;
}
