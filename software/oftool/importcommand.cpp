#include "commands.h"

#include "command.h"
#include "outputfile.h"

#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/glyphfilename.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/codepoint.h"
#include "models/font.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct Options {
    QString directory;
    QString ownName; // the directory's own name, also for "glyphs/"
    QString output;
    QMap<QString, QString> substitutions;
    bool verbose = false;
    bool compress = false;
};

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
        const QString line = diagnostic.standardLine();
        if (!line.isEmpty()) {
            std::fprintf(stderr, "%s\n", Cli::oneLine(line.left(line.size() - 1)).toUtf8().constData());
        }
    });
}

// Cli::exitOk with every option read; otherwise the status of the error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->directory = line.arguments().first();
    for (const QString &item : line.values(QStringLiteral("map"))) {
        // From the second character on, so that "==" maps the letter "=".
        const int equals = item.indexOf(QLatin1Char('='), 1);
        if (equals < 0) {
            return line.usageError(QStringLiteral("--map: \"%1\" is not FROM=TO").arg(item));
        }
        const QString from = item.left(equals);
        if (options->substitutions.contains(from)) {
            return line.usageError(QStringLiteral("--map: \"%1\" is mapped twice").arg(from));
        }
        options->substitutions.insert(from, item.mid(equals + 1));
    }
    const QFileInfo info(options->directory);
    if (!info.isDir()) {
        return line.failure(QStringLiteral("%1: %2").arg(options->directory, info.exists() ? QStringLiteral("not a directory")
                                                                                         : QStringLiteral("no such directory")));
    }
    options->ownName = QFileInfo(QDir::cleanPath(info.absoluteFilePath())).fileName();
    options->output = line.value(QStringLiteral("output"));
    if (options->output.isEmpty()) {
        if (options->ownName.isEmpty()) {
            return line.usageError(QStringLiteral("-o: %1 has no name to give the file; use -o FILE").arg(options->directory));
        }
        options->output = options->ownName + QStringLiteral(".of");
    }
    options->verbose = line.isSet(QStringLiteral("verbose"));
    options->compress = line.isSet(QStringLiteral("compress"));
    if (options->compress) {
        options->output = Cli::compressedPath(options->output);
    }
    return Cli::exitOk;
}

// The pictures of font, as "LETTER id ID" those whose image could not be loaded.
int countPictures(const Models::Font &font, QStringList *nullImages)
{
    int pictures = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            ++pictures;
            if (picture->getImage().isNull()) {
                nullImages->append(QStringLiteral("%1 id %2").arg(Models::letterLabel(letter->getCharacterValue()),
                                            QString::number(picture->getId())));
            }
        }
    }
    return pictures;
}

// "NAME: REASON" for each image file in directory that the import passed over, or whose letter, after the
// substitutions, an OF font file cannot hold.
QStringList passedOver(const QString &directory, const QMap<QString, QString> &substitutions)
{
    QStringList refused;
    for (const QString &name : QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const IOManager::GlyphFileName glyph = IOManager::GlyphFileName::parse(name);
        if (!glyph.isAccepted() && (looksLikeImage(name) || IOManager::GlyphFileName::hasGlyphExtension(name))) {
            refused.append(QStringLiteral("%1: %2").arg(name, glyph.reason()));
        } else if (glyph.isAccepted()
                   && !IOManager::GlyphFileName::isStorableLetter(substitutions.value(glyph.letter(), glyph.letter()))) {
            const QString problem = glyph.storageProblem();
            refused.append(QStringLiteral("%1: %2").arg(
                name, problem.isEmpty() ? QStringLiteral("--map gives it a letter an OF font file cannot hold") : problem));
        }
    }
    return refused;
}

// font without the letters an OF font file cannot hold, which the framework's import reads all the same.
std::unique_ptr<Models::Font> storableLetters(std::unique_ptr<Models::Font> font)
{
    const QList<QString> values = font->getCharacters().keys();
    if (std::all_of(values.cbegin(), values.cend(), IOManager::GlyphFileName::isStorableLetter)) {
        return font;
    }
    std::unique_ptr<Models::Font> kept(new Models::Font(font->getName()));
    for (const Models::Character *letter : font->getCharacters()) {
        if (!IOManager::GlyphFileName::isStorableLetter(letter->getCharacterValue())) {
            continue;
        }
        auto *copy = new Models::Character(letter->getCharacterValue(), letter->getUpLine(), letter->getBaseLine(),
                                           letter->getLeftLine(), letter->getRightLine());
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            copy->addPicture(new Models::CharacterPicture(picture->getImage(), picture->getId(),
                                                          picture->getDegradationLevel()));
        }
        kept->addCharacter(copy);
    }
    return kept;
}

// Reads the images of the directory and writes the font file.
int importDirectory(const Cli::CommandLine &line, const Options &options)
{
    const std::unique_ptr<Models::Font> font = storableLetters(
        std::unique_ptr<Models::Font>(importFont(options.directory, options.substitutions, options.verbose)));
    // ".", ".." and the "" of "glyphs/" are no names for a font.
    if (font->getName().isEmpty() || font->getName() == QLatin1String(".") || font->getName() == QLatin1String("..")) {
        font->setName(options.ownName);
    }
    QStringList nullImages;
    const int pictures = countPictures(*font, &nullImages);
    const QStringList refused = passedOver(options.directory, options.substitutions);
    for (const QString &file : refused) {
        line.note(QStringLiteral("passed over ") + file);
    }
    for (const QString &picture : qAsConst(nullImages)) {
        line.note(QStringLiteral("letter %1: the image could not be loaded; kept as a null image").arg(picture));
    }
    if (pictures == 0) {
        return line.failure(QStringLiteral("%1: no glyph image to import (names are PREFIX_LETTER_ID.png); "
                                           "nothing written").arg(options.directory));
    }
    if (!Cli::saveFont(line.command(), font.get(), options.output, options.compress)) {
        return Cli::exitFailure;
    }

    std::printf("%s: %d letters, %d pictures imported from %s%s\n", options.output.toUtf8().constData(),
                int(font->getCharacters().size()), pictures, options.directory.toUtf8().constData(),
                refused.isEmpty() ? "" : QStringLiteral(" (%1 files passed over)").arg(refused.size()).toUtf8().constData());
    return Cli::exitOk;
}

} // namespace

void declareImport(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool import DIR [-o FILE] [--map FROM=TO]..."), QStringLiteral(R"(Makes an OF font file from a directory of glyph images, one image per picture, named
PREFIX_LETTER_ID.png (or .jpg, .bmp, or the same in capitals). LETTER is the letter itself or
u+XXXX (its UTF-16 code in hex); ID is the picture id. The prefix is ignored, and may be empty.
Images without alpha get it from their darkness: black ink opaque, white paper transparent.
Letters get the default anchor lines (upLine 0, baseLine 100, leftLine 0, rightLine 100).

Examples:
  oftool import glyphs/                      writes glyphs.of here
  oftool import scans -o hand.of --map a=A --map o=0

Exit status: 0 file written, 1 usage error, 2 no glyph image found or the file not written.)"));
    line.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("The OF font file to write (default: the directory's name with .of, here)."), QStringLiteral("file")},
        {QStringLiteral("map"), QStringLiteral("Store the letter FROM as TO; may be given several times."),
         QStringLiteral("FROM=TO")},
        {QStringLiteral("verbose"), QStringLiteral("Show the import's progress lines.")},
        Cli::compressOption(),
    });
    line.addArgument(QStringLiteral("DIR"), QStringLiteral("The directory of glyph images."));
}

int runImport(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, importDirectory);
}
