#include "exportcommand.h"

#include "cli.h"

#include "iomanager/glyphfilename.h"
#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <cstdio>

namespace {

const char *const command = "export";
const QString defaultPrefix = QStringLiteral("glyph");
constexpr int maxFileNameBytes = 255;

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

} // namespace

int runExport(int argc, char **argv)
{
    const QStringList arguments = Cli::arguments(argc, argv);
    const Cli::CommandApplication<QCoreApplication> app(argv[0]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes every picture of an OF font file as a PNG image (32-bit ARGB) into a new or empty directory,\n"
        "named so that 'oftool import' reads it back to the same letter and id: PREFIX_u+XXXX_ID.png for a\n"
        "letter of one UTF-16 unit, PREFIX_LETTER_ID.png for a longer one. A longer letter holding \"_\", \"+\",\n"
        "\"/\" or \".\", or the letter [pasdecode], cannot be named so; it is reported and left out, and so is a\n"
        "picture with a null image. When a letter has several pictures, PREFIX gets a number that keeps\n"
        "their order.\n"
        "\n"
        "Not carried by image files: the anchor lines (import gives every letter upLine 0, baseLine 100,\n"
        "leftLine 0, rightLine 100; set them again with 'oftool anchor') and the degradation levels.\n"
        "\n"
        "Examples:\n"
        "  oftool export DejaVu_Sans__Book__32.of glyphs/\n"
        "  oftool export small.of out --prefix small\n"
        "\n"
        "Exit status: 0 images written, 1 usage error, 2 the font could not be read or an image not written\n"
        "(the images already written are then removed)."));
    parser.addOption({QStringLiteral("prefix"),
                      QStringLiteral("Start of every file name (default: %1); no \"_\" or \"/\", not starting with \".\".")
                          .arg(defaultPrefix),
                      QStringLiteral("text")});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The OF font file."));
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The directory for the images; new or empty."));
    const Cli::Parsed parsed = Cli::parse(parser, command, QStringLiteral("oftool export FILE DIR [--prefix TEXT]"), arguments);
    if (parsed != Cli::Parsed::Run) {
        return parsed == Cli::Parsed::Done ? Cli::exitOk : Cli::exitUsage;
    }
    QStringList positional;
    if (!Cli::takeArguments(parser, command, {QStringLiteral("FILE"), QStringLiteral("DIR")}, &positional)) {
        return Cli::exitUsage;
    }
    const QString prefix = parser.isSet(QStringLiteral("prefix")) ? parser.value(QStringLiteral("prefix")) : defaultPrefix;
    if (!IOManager::GlyphFileName::isPrefix(prefix)) {
        return Cli::usageError(command, QStringLiteral("--prefix: \"%1\" holds \"_\" or \"/\", or starts with \".\"").arg(prefix));
    }
    const QString path = positional.at(0);
    const QString directory = positional.at(1);
    const QFileInfo target(directory);
    if (target.exists() && !target.isDir()) {
        return Cli::usageError(command, QStringLiteral("DIR: \"%1\" is not a directory").arg(directory));
    }
    // Images left from before would be imported along with these.
    if (target.isDir() && !QDir(directory).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        return Cli::usageError(command, QStringLiteral("DIR: \"%1\" is not empty; give a new or empty directory").arg(directory));
    }

    const Cli::FontInput input = Cli::readFont(path);
    if (!input.error.isEmpty()) {
        return Cli::failure(command, QStringLiteral("%1: %2").arg(path, input.error));
    }
    for (const QString &warning : input.warnings) {
        std::fprintf(stderr, "oftool export: %s: %s\n", path.toUtf8().constData(), warning.toUtf8().constData());
    }

    const bool created = !target.exists();
    if (created && !QDir().mkpath(directory)) {
        return Cli::failure(command, QStringLiteral("cannot create the directory %1").arg(directory));
    }
    Cleanup cleanup(directory, created);
    const QDir out(directory);
    int written = 0;
    int letters = 0;
    int skipped = 0;
    for (const Models::Character *letter : input.font->getCharacters()) {
        const QString value = letter->getCharacterValue();
        QString why;
        const QList<Models::CharacterPicture *> &pictures = letter->getPictures();
        // Whether a letter can be named does not depend on the id.
        if (IOManager::GlyphFileName::compose(prefix, value, 0, &why).isNull()) {
            std::fprintf(stderr, "oftool export: letter %s (%s) left out: %s\n", Cli::letterLabel(value).toUtf8().constData(),
                         Cli::codePoints(value).toUtf8().constData(), why.toUtf8().constData());
            skipped += pictures.size();
            continue;
        }
        const int digits = pictures.size() > 1 ? QString::number(pictures.size() - 1).size() : 0;
        bool any = false;
        for (int i = 0; i < pictures.size(); ++i) {
            const Models::CharacterPicture *picture = pictures.at(i);
            if (picture->getImage().isNull()) {
                std::fprintf(stderr, "oftool export: letter %s id %d left out: its image is null\n",
                             Cli::letterLabel(value).toUtf8().constData(), picture->getId());
                ++skipped;
                continue;
            }
            const QString number = digits ? QStringLiteral("%1").arg(i, digits, 10, QLatin1Char('0')) : QString();
            const QString name = IOManager::GlyphFileName::compose(prefix + number, value, picture->getId());
            if (name.toUtf8().size() > maxFileNameBytes) {
                std::fprintf(stderr, "oftool export: letter %s left out: its file name would be too long\n",
                             Cli::codePoints(value).toUtf8().constData());
                ++skipped;
                continue;
            }
            QString error;
            const QString file = out.filePath(name);
            if (!Cli::savePng(picture->getImage().convertToFormat(QImage::Format_ARGB32), file, &error)) {
                cleanup.undo();
                return Cli::failure(command, error + QStringLiteral("; nothing left in ") + directory);
            }
            cleanup.add(file);
            ++written;
            any = true;
        }
        letters += any;
    }
    std::printf("%s: %d pictures of %d letters exported%s\n", directory.toUtf8().constData(), written, letters,
                skipped ? QStringLiteral(", %1 left out").arg(skipped).toUtf8().constData() : "");
    return Cli::exitOk;
}
