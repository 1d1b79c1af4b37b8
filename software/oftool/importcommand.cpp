#include "importcommand.h"

#include "cli.h"

#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/glyphfilename.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <cstdio>
#include <memory>

namespace {

const char *const command = "import";

// Files worth a word when they are passed over; a README in the directory is not.
bool looksLikeImage(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    static const QStringList suffixes{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("tif"),
                                      QStringLiteral("tiff"), QStringLiteral("webp"), QStringLiteral("svg"),
                                      QStringLiteral("xpm"), QStringLiteral("pbm"), QStringLiteral("pgm"),
                                      QStringLiteral("ppm")};
    return suffixes.contains(suffix);
}

// The import's own warnings, as it prints them; its progress lines only with --verbose.
Models::Font *importFont(const QString &directory, const QMap<QString, QString> &substitutions, bool verbose)
{
    if (verbose) {
        return IOManager::FontFileManager::fontFromDirectory(directory, substitutions);
    }
    return IOManager::FontFileManager::fontFromDirectory(directory, substitutions, [](const IOManager::Diagnostic &diagnostic) {
        std::fputs(diagnostic.standardLine().toUtf8().constData(), stderr);
    });
}

} // namespace

int runImport(int argc, char **argv)
{
    const QStringList arguments = Cli::arguments(argc, argv);
    const Cli::CommandApplication<QCoreApplication> app(argv[0]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes an OF font file from a directory of glyph images, one image per picture, named\n"
        "PREFIX_LETTER_ID.png (or .jpg, .bmp, or the same in capitals). LETTER is the letter itself or\n"
        "u+XXXX (its UTF-16 code in hex); ID is the picture id. The prefix is ignored, and may be empty.\n"
        "Images without alpha get it from their darkness: black ink opaque, white paper transparent.\n"
        "Letters get the default anchor lines (upLine 0, baseLine 100, leftLine 0, rightLine 100).\n"
        "\n"
        "Examples:\n"
        "  oftool import glyphs/                      writes glyphs.of here\n"
        "  oftool import scans -o hand.of --map a=A --map o=0\n"
        "\n"
        "Exit status: 0 file written, 1 usage error, 2 no glyph image found or the file not written."));
    parser.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("The OF font file to write (default: the directory's name with .of, here)."), QStringLiteral("file")},
        {QStringLiteral("map"), QStringLiteral("Store the letter FROM as TO; may be given several times."),
         QStringLiteral("FROM=TO")},
        {QStringLiteral("verbose"), QStringLiteral("Show the import's progress lines.")},
    });
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The directory of glyph images."));
    const Cli::Parsed parsed =
        Cli::parse(parser, command, QStringLiteral("oftool import DIR [-o FILE] [--map FROM=TO]..."), arguments);
    if (parsed != Cli::Parsed::Run) {
        return parsed == Cli::Parsed::Done ? Cli::exitOk : Cli::exitUsage;
    }
    QStringList positional;
    if (!Cli::takeArguments(parser, command, {QStringLiteral("DIR")}, &positional)) {
        return Cli::exitUsage;
    }
    const QString directory = positional.first();

    QMap<QString, QString> substitutions;
    for (const QString &item : parser.values(QStringLiteral("map"))) {
        // From the second character on, so that "==" maps the letter "=".
        const int equals = item.indexOf(QLatin1Char('='), 1);
        if (equals < 0) {
            return Cli::usageError(command, QStringLiteral("--map: \"%1\" is not FROM=TO").arg(item));
        }
        const QString from = item.left(equals);
        if (substitutions.contains(from)) {
            return Cli::usageError(command, QStringLiteral("--map: \"%1\" is mapped twice").arg(from));
        }
        substitutions.insert(from, item.mid(equals + 1));
    }

    const QFileInfo info(directory);
    if (!info.isDir()) {
        return Cli::failure(command, QStringLiteral("%1: %2").arg(directory, info.exists() ? QStringLiteral("not a directory")
                                                                                           : QStringLiteral("no such directory")));
    }
    const QString ownName = QFileInfo(QDir::cleanPath(info.absoluteFilePath())).fileName(); // "glyphs/" too
    QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty()) {
        if (ownName.isEmpty()) {
            return Cli::usageError(command, QStringLiteral("-o: %1 has no name to give the file; use -o FILE").arg(directory));
        }
        output = ownName + QStringLiteral(".of");
    }

    std::unique_ptr<Models::Font> font(importFont(directory, substitutions, parser.isSet(QStringLiteral("verbose"))));
    // ".", ".." and the "" of "glyphs/" are no names for a font.
    if (font->getName().isEmpty() || font->getName() == QLatin1String(".") || font->getName() == QLatin1String("..")) {
        font->setName(ownName);
    }

    int pictures = 0;
    QStringList nullImages;
    for (const Models::Character *letter : font->getCharacters()) {
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            ++pictures;
            if (picture->getImage().isNull()) {
                nullImages.append(QStringLiteral("%1 id %2").arg(Cli::letterLabel(letter->getCharacterValue()))
                                      .arg(picture->getId()));
            }
        }
    }
    QStringList refused;
    for (const QString &name : QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const IOManager::GlyphFileName glyph = IOManager::GlyphFileName::parse(name);
        if (!glyph.isAccepted() && (looksLikeImage(name) || IOManager::GlyphFileName::hasGlyphExtension(name))) {
            refused.append(QStringLiteral("%1: %2").arg(name, glyph.reason()));
        }
    }
    for (const QString &line : qAsConst(refused)) {
        std::fprintf(stderr, "oftool import: passed over %s\n", line.toUtf8().constData());
    }
    for (const QString &picture : qAsConst(nullImages)) {
        std::fprintf(stderr, "oftool import: letter %s: the image could not be loaded; kept as a null image\n",
                     picture.toUtf8().constData());
    }

    if (pictures == 0) {
        return Cli::failure(command, QStringLiteral("%1: no glyph image to import (names are PREFIX_LETTER_ID.png); "
                                                    "nothing written").arg(directory));
    }
    if (!IOManager::FontFileManager::fontToFile(font.get(), output)) {
        const QString reason = Cli::cannotWrite(output, output);
        return Cli::failure(command, reason.isEmpty() ? QStringLiteral("could not write %1").arg(output) : reason);
    }
    std::printf("%s: %d letters, %d pictures imported from %s%s\n", output.toUtf8().constData(),
                int(font->getCharacters().size()), pictures, directory.toUtf8().constData(),
                refused.isEmpty() ? "" : QStringLiteral(" (%1 files passed over)").arg(refused.size()).toUtf8().constData());
    return Cli::exitOk;
}
