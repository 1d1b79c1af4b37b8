#include "anchorcommand.h"

#include "charset.h"
#include "cli.h"

#include "iomanager/fontfilemanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdio>

namespace {

const char *const command = "anchor";

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

} // namespace

int runAnchor(int argc, char **argv)
{
    const QStringList arguments = Cli::arguments(argc, argv);
    const Cli::CommandApplication<QCoreApplication> app(argv[0]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sets the baseLine and rightLine anchor lines of a letter inside an OF font file, leaving the rest\n"
        "of the file as it is (it is written again with one space of indentation per level). The values\n"
        "are stored as whole numbers: 12.7 becomes 13. The file is replaced only once the new one is\n"
        "complete, and not at all when it has no such letter.\n"
        "\n"
        "Examples:\n"
        "  oftool anchor DejaVu_Sans__Book__32.of --letter g --baseline 28 --rightline 19\n"
        "  oftool anchor font.of --code U+00E9 --baseline 30 --rightline 20\n"
        "\n"
        "Exit status: 0 file updated, 1 usage error, 2 the file could not be read, parsed or written,\n"
        "or has no such letter."));
    parser.addOptions({
        {QStringLiteral("letter"), QStringLiteral("The letter, as text (\" \" for the space)."), QStringLiteral("L")},
        {QStringLiteral("code"), QStringLiteral("The letter as a code point instead, such as U+00E9, 0xE9 or 233."),
         QStringLiteral("N")},
        {QStringLiteral("baseline"), QStringLiteral("The new baseLine."), QStringLiteral("B")},
        {QStringLiteral("rightline"), QStringLiteral("The new rightLine."), QStringLiteral("R")},
    });
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The OF font file to change."));
    const Cli::Parsed parsed = Cli::parse(
        parser, command, QStringLiteral("oftool anchor FILE (--letter L | --code N) --baseline B --rightline R"), arguments);
    if (parsed != Cli::Parsed::Run) {
        return parsed == Cli::Parsed::Done ? Cli::exitOk : Cli::exitUsage;
    }
    QStringList positional;
    if (!Cli::takeArguments(parser, command, {QStringLiteral("FILE")}, &positional)) {
        return Cli::exitUsage;
    }

    QString letter;
    const bool byText = parser.isSet(QStringLiteral("letter"));
    const bool byCode = parser.isSet(QStringLiteral("code"));
    if (byText == byCode) {
        return Cli::usageError(command, QStringLiteral("give the letter with either --letter or --code"));
    }
    if (byText) {
        letter = parser.value(QStringLiteral("letter"));
    } else {
        uint codePoint = 0;
        if (!Charset::parseCodePoint(parser.value(QStringLiteral("code")), &codePoint) || codePoint > 0x10FFFF) {
            return Cli::usageError(command, QStringLiteral("--code: \"%1\" is not a code point such as U+00E9, 0xE9 or 233")
                                                .arg(parser.value(QStringLiteral("code"))));
        }
        const char32_t character = codePoint;
        letter = QString::fromUcs4(&character, 1);
    }

    double values[2] = {0, 0};
    const char *names[2] = {"baseline", "rightline"};
    for (int i = 0; i < 2; ++i) {
        const QString name = QLatin1String(names[i]);
        if (!parser.isSet(name)) {
            return Cli::usageError(command, QStringLiteral("--%1 is missing").arg(name));
        }
        if (!parseLine(parser.value(name), &values[i])) {
            return Cli::usageError(command, QStringLiteral("--%1: \"%2\" is not a number").arg(name, parser.value(name)));
        }
    }

    const QString path = positional.first();
    const QFileInfo info(path);
    if (!info.isFile()) {
        return Cli::failure(command, QStringLiteral("%1: %2").arg(path, info.exists() ? QStringLiteral("not a regular file")
                                                                                      : QStringLiteral("no such file")));
    }
    // The update itself rewrites a file without the letter, re-indented; better to leave it alone.
    const int matches = countLetters(path, letter);
    if (matches == 0) {
        return Cli::failure(command, QStringLiteral("%1 has no letter %2 (%3); nothing changed")
                                         .arg(path, Cli::letterLabel(letter), Cli::codePoints(letter)));
    }
    if (IOManager::FontFileManager::changeLetterAnchor(path, values[0], values[1], letter) != 0) {
        return Cli::failure(command, QStringLiteral("%1 was not changed").arg(path));
    }
    std::printf("%s: letter %s: baseLine %s, rightLine %s\n", path.toUtf8().constData(),
                Cli::letterLabel(letter).toUtf8().constData(), QString::number(values[0], 'f', 0).toUtf8().constData(),
                QString::number(values[1], 'f', 0).toUtf8().constData());
    return Cli::exitOk;
}
