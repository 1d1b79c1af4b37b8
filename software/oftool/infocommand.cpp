#include "commands.h"

#include "command.h"
#include "fontinput.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/codepoint.h"
#include "models/font.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace {

struct Anchors {
    double upLine = 0;
    double baseLine = 0;
    double leftLine = 0;
    double rightLine = 0;

    bool operator==(const Anchors &other) const
    {
        return upLine == other.upLine && baseLine == other.baseLine && leftLine == other.leftLine && rightLine == other.rightLine;
    }
};

struct Summary {
    QString name;
    QStringList letters;
    QVector<Anchors> anchors; // one per letter
    int pictures = 0;
    int minPictures = -1; // per letter
    int maxPictures = -1;
    int minWidth = -1;
    int maxWidth = -1;
    int minHeight = -1;
    int maxHeight = -1;
    qint64 pixels = 0;
    QStringList nullImageLetters;
};

Summary summarize(const Models::Font &font)
{
    Summary summary;
    summary.name = font.getName();
    for (const Models::Character *letter : font.getCharacters()) {
        const QString value = letter->getCharacterValue();
        summary.letters.append(value);
        summary.anchors.append({letter->getUpLine(), letter->getBaseLine(), letter->getLeftLine(), letter->getRightLine()});
        const int count = letter->pictureCount();
        summary.minPictures = summary.minPictures < 0 ? count : qMin(summary.minPictures, count);
        summary.maxPictures = qMax(summary.maxPictures, count);
        bool hasNullImage = false;
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            ++summary.pictures;
            const QImage image = picture->getImage();
            if (image.isNull()) {
                hasNullImage = true;
                continue;
            }
            const bool first = summary.minWidth < 0;
            summary.minWidth = first ? image.width() : qMin(summary.minWidth, image.width());
            summary.maxWidth = first ? image.width() : qMax(summary.maxWidth, image.width());
            summary.minHeight = first ? image.height() : qMin(summary.minHeight, image.height());
            summary.maxHeight = first ? image.height() : qMax(summary.maxHeight, image.height());
            summary.pixels += qint64(image.width()) * image.height();
        }
        if (hasNullImage) {
            summary.nullImageLetters.append(value);
        }
    }
    return summary;
}

QString range(int low, int high)
{
    if (low < 0) {
        return QStringLiteral("none");
    }
    return (low == high ? QStringLiteral("%1").arg(low) : QStringLiteral("%1 to %2").arg(low).arg(high)) + QStringLiteral(" px");
}

QString labels(const QStringList &letters)
{
    if (letters.isEmpty()) {
        return QStringLiteral("none");
    }
    QStringList shown;
    for (const QString &letter : letters) {
        shown.append(Models::letterLabel(letter));
    }
    return shown.join(QLatin1Char(' '));
}

QString anchorText(const Anchors &anchors)
{
    return QStringLiteral("up %1, base %2, left %3, right %4")
        .arg(QString::number(anchors.upLine), QString::number(anchors.baseLine), QString::number(anchors.leftLine),
             QString::number(anchors.rightLine));
}

// One line when every letter has the same anchor lines, as a font without pixel anchors has; otherwise a line per letter.
QStringList anchorLines(const Summary &summary)
{
    if (summary.anchors.isEmpty()) {
        return {QStringLiteral("none")};
    }
    if (std::all_of(summary.anchors.cbegin(), summary.anchors.cend(), [&](const Anchors &a) { return a == summary.anchors.first(); })) {
        return {anchorText(summary.anchors.first()) + QStringLiteral(" (every letter)")};
    }
    QStringList lines;
    for (int i = 0; i < summary.letters.size(); ++i) {
        lines.append(Models::letterLabel(summary.letters.at(i)) + QStringLiteral(": ") + anchorText(summary.anchors.at(i)));
    }
    return lines;
}

void printText(const QString &path, const Summary &summary, const Cli::FontInput &input)
{
    QString text = path + QLatin1Char('\n');
    const auto line = [&text](const char *label, const QString &value) {
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(label), -13).arg(value);
    };
    line("name:", summary.name);
    line("letters:", QString::number(summary.letters.size()));
    line("pictures:", QString::number(summary.pictures));
    line("per letter:", summary.minPictures < 0 ? QStringLiteral("none")
                        : summary.minPictures == summary.maxPictures ? QString::number(summary.minPictures)
                                                                     : QStringLiteral("%1 to %2").arg(summary.minPictures).arg(summary.maxPictures));
    line("width:", range(summary.minWidth, summary.maxWidth));
    line("height:", range(summary.minHeight, summary.maxHeight));
    line("pixels:", QString::number(summary.pixels));
    line("null images:", labels(summary.nullImageLetters));
    line("letter list:", labels(summary.letters));
    for (const QString &anchors : anchorLines(summary)) {
        line("anchors:", anchors);
    }
    for (const QString &warning : input.warnings) {
        line("warning:", warning);
    }
    if (input.moreWarnings > 0) {
        line("warning:", Cli::moreWarningsText(input.moreWarnings));
    }
    if (!input.error.isEmpty()) {
        line("error:", input.error);
    }
    std::fputs(text.toUtf8().constData(), stdout);
}

QJsonValue jsonRange(int low, int high)
{
    if (low < 0) {
        return QJsonValue::Null;
    }
    return QJsonObject{{QStringLiteral("min"), low}, {QStringLiteral("max"), high}};
}

void printJson(const QString &path, const Summary &summary, const Cli::FontInput &input)
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), path);
    object.insert(QStringLiteral("name"), input.font ? QJsonValue(summary.name) : QJsonValue::Null);
    object.insert(QStringLiteral("letterCount"), summary.letters.size());
    object.insert(QStringLiteral("pictureCount"), summary.pictures);
    object.insert(QStringLiteral("picturesPerLetter"), jsonRange(summary.minPictures, summary.maxPictures));
    object.insert(QStringLiteral("letters"), QJsonArray::fromStringList(summary.letters));
    object.insert(QStringLiteral("width"), jsonRange(summary.minWidth, summary.maxWidth));
    object.insert(QStringLiteral("height"), jsonRange(summary.minHeight, summary.maxHeight));
    object.insert(QStringLiteral("pixelCount"), double(summary.pixels));
    QJsonArray anchors;
    for (int i = 0; i < summary.letters.size(); ++i) {
        const Anchors &a = summary.anchors.at(i);
        anchors.append(QJsonObject{{QStringLiteral("char"), summary.letters.at(i)}, {QStringLiteral("upLine"), a.upLine},
                                   {QStringLiteral("baseLine"), a.baseLine}, {QStringLiteral("leftLine"), a.leftLine},
                                   {QStringLiteral("rightLine"), a.rightLine}});
    }
    object.insert(QStringLiteral("anchors"), anchors);
    object.insert(QStringLiteral("nullImageLetters"), QJsonArray::fromStringList(summary.nullImageLetters));
    object.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(input.warnings));
    object.insert(QStringLiteral("warningCount"), double(input.warnings.size() + input.moreWarnings));
    object.insert(QStringLiteral("error"), input.error.isEmpty() ? QJsonValue::Null : QJsonValue(input.error));
    // One document per line, so a script can read them one by one.
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
}

struct Options {
    QStringList files;
    bool json = false;
};

int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->files = line.arguments();
    options->json = line.isSet(QStringLiteral("json"));
    return Cli::exitOk;
}

// Shows each file, and fails when any could not be read whole.
int showFiles(const Cli::CommandLine &line, const Options &options)
{
    int status = Cli::exitOk;
    for (const QString &path : options.files) {
        const Cli::FontInput input = Cli::readFont(path);
        const Summary summary = input.font ? summarize(*input.font) : Summary();
        if (options.json) {
            printJson(path, summary, input);
        } else if (input.font) {
            printText(path, summary, input);
        }
        std::fflush(stdout);
        if (!input.error.isEmpty()) {
            status = line.failure(QStringLiteral("%1: %2").arg(path, input.error));
        } else if (input.lostPictures) {
            status = line.failure(QStringLiteral("%1: pictures were lost while reading (see the warnings)").arg(path));
        }
    }
    return status;
}

} // namespace

void declareInfo(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool info [--json] FILE..."), QStringLiteral(R"(Shows what OF font files hold: the font's name, its letters and pictures (and how many each
letter holds), the image sizes, the pixel count, the letters whose picture is a null image, each
letter's anchor lines (one line when all letters share them), and what the reader warned about (the
first 20 warnings, then how many more there were).

Examples:
  oftool info DejaVu_Sans__Book__32.of
  oftool info --json fonts/*.of

With --json, each file gives one JSON document on a line of its own, with the keys file, name,
letterCount, pictureCount, picturesPerLetter, width and height ({"min", "max"} or null), letters, pixelCount,
anchors (per letter, in the order of letters: char, upLine, baseLine, leftLine, rightLine), nullImageLetters,
warnings (the first 20), warningCount (all of them) and error (null when the file
is fine).

Exit status: 0 every file read, 1 usage error, 2 a file could not be read, is not well-formed,
is not an OF font file, or lost pictures while being read.)"));
    line.addOptions({{QStringLiteral("json"), QStringLiteral("One JSON document per file instead of text.")}});
    line.addArgument(QStringLiteral("FILE"), QStringLiteral("OF font files."), QStringLiteral("FILE..."));
}

int runInfo(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, showFiles);
}
