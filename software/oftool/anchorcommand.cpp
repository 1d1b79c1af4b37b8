#include "commands.h"

#include "charset.h"
#include "command.h"

#include "iomanager/fontfilemanager.h"
#include "models/codepoint.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdio>

namespace {

struct Options {
    QString path;
    QString letter;
    double baseLine = 0;
    double rightLine = 0;
};

bool parseLine(const QString &text, double *value)
{
    bool ok = false;
    *value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(*value);
}

/* How many letter elements the file has with this "char"; -1 when it is no well-formed XML. */
int countLetters(const QString &path, const QString &letter)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    QXmlStreamReader reader(&file);
    int count = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD) {
            return -1;
        }
        if (token == QXmlStreamReader::StartElement && reader.name() == QLatin1String("letter")
            && reader.attributes().value(QLatin1String("char")) == letter) {
            ++count;
        }
    }
    return reader.hasError() ? -1 : count;
}

// Cli::exitOk with every option read; otherwise the status of the usage error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->path = line.arguments().first();
    const bool byText = line.isSet(QStringLiteral("letter"));
    if (byText == line.isSet(QStringLiteral("code"))) {
        return line.usageError(QStringLiteral("give the letter with either --letter or --code"));
    }
    if (byText) {
        options->letter = line.value(QStringLiteral("letter"));
    } else {
        uint codePoint = 0;
        if (!Charset::parseCodePoint(line.value(QStringLiteral("code")), &codePoint) || codePoint > 0x10FFFF) {
            return line.usageError(QStringLiteral("--code: \"%1\" is not a code point such as U+00E9, 0xE9 or 233")
                                       .arg(line.value(QStringLiteral("code"))));
        }
        options->letter = Charset::letterOf(codePoint);
    }
    const QString names[2] = {QStringLiteral("baseline"), QStringLiteral("rightline")};
    double *const values[2] = {&options->baseLine, &options->rightLine};
    for (int i = 0; i < 2; ++i) {
        if (!line.isSet(names[i])) {
            return line.usageError(QStringLiteral("--%1 is missing").arg(names[i]));
        }
        if (!parseLine(line.value(names[i]), values[i])) {
            return line.usageError(QStringLiteral("--%1: \"%2\" is not a number").arg(names[i], line.value(names[i])));
        }
    }
    return Cli::exitOk;
}

// Sets the anchor lines inside the file, unless it lacks the letter.
int updateAnchor(const Cli::CommandLine &line, const Options &options)
{
    const QString &path = options.path;
    const QString &letter = options.letter;
    const QFileInfo info(path);
    if (!info.isFile()) {
        return line.failure(QStringLiteral("%1: %2").arg(path, info.exists() ? QStringLiteral("not a regular file")
                                                                            : QStringLiteral("no such file")));
    }
    // The update edits the file's text in place; a compressed file would come out as neither.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.peek(2) == QByteArray("\x1f\x8b", 2)) {
        return line.failure(QStringLiteral("%1: compressed with gzip; anchor edits uncompressed OF font files (gunzip it first)").arg(path));
    }
    // The update itself rewrites a file without the letter, re-indented; better to leave it alone.
    if (info.size() > IOManager::maxAnchorFileBytes) {
        return line.failure(QStringLiteral("%1: %2 MiB, more than the %3 MiB the anchor update can edit (it holds the whole "
                                           "file in memory, about five times over); nothing changed")
                                .arg(path).arg((info.size() + (1 << 20) - 1) >> 20).arg(IOManager::maxAnchorFileBytes >> 20));
    }
    if (countLetters(path, letter) == 0) {
        return line.failure(QStringLiteral("%1 has no letter %2 (%3); nothing changed")
                                .arg(path, Models::letterLabel(letter), Models::codePointNames(letter)));
    }
    if (IOManager::FontFileManager::changeLetterAnchor(path, options.baseLine, options.rightLine, letter) != 0) {
        return line.failure(QStringLiteral("%1 was not changed").arg(path));
    }

    std::printf("%s: letter %s: baseLine %s, rightLine %s\n", path.toUtf8().constData(),
                Models::letterLabel(letter).toUtf8().constData(), QString::number(options.baseLine, 'f', 0).toUtf8().constData(),
                QString::number(options.rightLine, 'f', 0).toUtf8().constData());
    return Cli::exitOk;
}

} // namespace

void declareAnchor(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool anchor FILE (--letter L | --code N) --baseline B --rightline R"), QStringLiteral(R"(Sets the baseLine and rightLine anchor lines of a letter inside an OF font file, leaving the rest
of the file as it is (it is written again with one space of indentation per level). The values
are stored as whole numbers: 12.7 becomes 13. The file is replaced only once the new one is
complete, and not at all when it has no such letter.

Examples:
  oftool anchor DejaVu_Sans__Book__32.of --letter g --baseline 28 --rightline 19
  oftool anchor font.of --code U+00E9 --baseline 30 --rightline 20

Exit status: 0 file updated, 1 usage error, 2 the file could not be read, parsed or written,
or has no such letter.)"));
    line.addOptions({
        {QStringLiteral("letter"), QStringLiteral("The letter, as text (\" \" for the space)."), QStringLiteral("L")},
        {QStringLiteral("code"), QStringLiteral("The letter as a code point instead, such as U+00E9, 0xE9 or 233."),
         QStringLiteral("N")},
        {QStringLiteral("baseline"), QStringLiteral("The new baseLine."), QStringLiteral("B")},
        {QStringLiteral("rightline"), QStringLiteral("The new rightLine."), QStringLiteral("R")},
    });
    line.addArgument(QStringLiteral("FILE"), QStringLiteral("The OF font file to change."));
}

int runAnchor(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, updateAnchor);
}
