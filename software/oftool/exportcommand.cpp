#include "commands.h"

#include "command.h"
#include "fontinput.h"
#include "outputfile.h"

#include "iomanager/glyphfilename.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/codepoint.h"
#include "models/font.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <cstdio>

namespace {

const QString defaultPrefix = QStringLiteral("glyph");
constexpr int maxFileNameBytes = 255;

struct Options {
    QString path;
    QString directory;
    bool newDirectory = false;
    QString prefix;
};

struct Tally {
    int written = 0;
    int letters = 0;
    int skipped = 0;
};

/* Takes back what an export that failed half-way has written. */
class Cleanup
{
public:
    explicit Cleanup(const QString &directory, bool created)
        : m_directory(directory)
        , m_created(created)
    {
    }

    void add(const QString &path) { m_files.append(path); }

    void undo()
    {
        for (const QString &path : qAsConst(m_files)) {
            QFile::remove(path);
        }
        if (m_created) {
            QDir().rmdir(m_directory);
        }
    }

private:
    QString m_directory;
    bool m_created;
    QStringList m_files;
};

// Cli::exitOk with every option read; otherwise the status of the usage error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->prefix = line.isSet(QStringLiteral("prefix")) ? line.value(QStringLiteral("prefix")) : defaultPrefix;
    if (!IOManager::GlyphFileName::isPrefix(options->prefix)) {
        return line.usageError(QStringLiteral("--prefix: \"%1\" holds \"_\" or \"/\", or starts with \".\"").arg(options->prefix));
    }
    options->path = line.arguments().at(0);
    options->directory = line.arguments().at(1);
    const QFileInfo target(options->directory);
    if (target.exists() && !target.isDir()) {
        return line.usageError(QStringLiteral("DIR: \"%1\" is not a directory").arg(options->directory));
    }
    // Images left from before would be imported along with these.
    if (target.isDir() && !QDir(options->directory).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        return line.usageError(QStringLiteral("DIR: \"%1\" is not empty; give a new or empty directory").arg(options->directory));
    }
    options->newDirectory = !target.exists();
    return Cli::exitOk;
}

/*
 * Writes the pictures of one letter into out, each file added to cleanup; false, with the message
 * in error, when one could not be written. What cannot be named, or is a null image, is reported
 * and counted as left out.
 */
bool exportLetter(const Cli::CommandLine &line, const Models::Character &letter, const QString &prefix, const QDir &out,
                  Cleanup &cleanup, Tally *tally, QString *error)
{
    const QString value = letter.getCharacterValue();
    QString why;
    const QList<Models::CharacterPicture *> &pictures = letter.getPictures();
    // Whether a letter can be named does not depend on the id.
    if (IOManager::GlyphFileName::compose(prefix, value, 0, &why).isNull()) {
        line.note(QStringLiteral("letter %1 (%2) left out: %3").arg(Models::letterLabel(value), Models::codePointNames(value), why));
        tally->skipped += pictures.size();
        return true;
    }
    const int digits = pictures.size() > 1 ? QString::number(pictures.size() - 1).size() : 0;
    bool any = false;
    for (int i = 0; i < pictures.size(); ++i) {
        const Models::CharacterPicture *picture = pictures.at(i);
        if (picture->getImage().isNull()) {
            line.note(QStringLiteral("letter %1 id %2 left out: its image is null")
                          .arg(Models::letterLabel(value), QString::number(picture->getId())));
            ++tally->skipped;
            continue;
        }
        const QString number = digits ? QStringLiteral("%1").arg(i, digits, 10, QLatin1Char('0')) : QString();
        const QString name = IOManager::GlyphFileName::compose(prefix + number, value, picture->getId());
        if (name.toUtf8().size() > maxFileNameBytes) {
            line.note(QStringLiteral("letter %1 left out: its file name would be too long").arg(Models::codePointNames(value)));
            ++tally->skipped;
            continue;
        }
        const QString file = out.filePath(name);
        if (!Cli::savePng(picture->getImage().convertToFormat(QImage::Format_ARGB32), file, error)) {
            return false;
        }
        cleanup.add(file);
        ++tally->written;
        any = true;
    }
    tally->letters += any;
    return true;
}

// Writes the images into the directory, or nothing at all.
int exportFont(const Cli::CommandLine &line, const Options &options)
{
    const std::unique_ptr<Models::Font> font = Cli::openFont(line.command(), options.path);
    if (!font) {
        return Cli::exitFailure;
    }
    if (options.newDirectory && !QDir().mkpath(options.directory)) {
        return line.failure(QStringLiteral("cannot create the directory %1").arg(options.directory));
    }
    Cleanup cleanup(options.directory, options.newDirectory);
    const QDir out(options.directory);
    Tally tally;
    for (const Models::Character *letter : font->getCharacters()) {
        QString error;
        if (!exportLetter(line, *letter, options.prefix, out, cleanup, &tally, &error)) {
            cleanup.undo();
            return line.failure(error + QStringLiteral("; nothing left in ") + options.directory);
        }
    }

    std::printf("%s: %d pictures of %d letters exported%s\n", options.directory.toUtf8().constData(), tally.written,
                tally.letters, tally.skipped ? QStringLiteral(", %1 left out").arg(tally.skipped).toUtf8().constData() : "");
    return Cli::exitOk;
}

} // namespace

void declareExport(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool export FILE DIR [--prefix TEXT]"), QStringLiteral(R"(Writes every picture of an OF font file as a PNG image (32-bit ARGB) into a new or empty directory,
named so that 'oftool import' reads it back to the same letter and id: PREFIX_u+XXXX_ID.png for a
letter of one UTF-16 unit, PREFIX_LETTER_ID.png for a longer one. A longer letter holding "_", "+",
"/" or ".", or the letter [pasdecode], cannot be named so; it is reported and left out, and so is a
picture with a null image. When a letter has several pictures, PREFIX gets a number that keeps
their order.

Not carried by image files: the anchor lines (import gives every letter upLine 0, baseLine 100,
leftLine 0, rightLine 100; set them again with 'oftool anchor') and the degradation levels.

Examples:
  oftool export DejaVu_Sans__Book__32.of glyphs/
  oftool export small.of out --prefix small

Exit status: 0 images written, 1 usage error, 2 the font could not be read or an image not written
(the images already written are then removed).)"));
    line.addOptions({{QStringLiteral("prefix"),
                      QStringLiteral("Start of every file name (default: %1); no \"_\" or \"/\", not starting with \".\".")
                          .arg(defaultPrefix),
                      QStringLiteral("text")}});
    line.addArgument(QStringLiteral("FILE"), QStringLiteral("The OF font file."));
    line.addArgument(QStringLiteral("DIR"), QStringLiteral("The directory for the images; new or empty."));
}

int runExport(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, exportFont);
}
