#include "composeoptions.h"

#include "command.h"
#include "renderoptions.h"
#include "shardoptions.h"
#include "textencoding.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cmath>

namespace ComposeCommand {

namespace {

// A corpus larger than this is better split: the lines are held in memory, at about twice their size.
constexpr qint64 maxTextBytes = 128LL * 1024 * 1024;
constexpr int maxLines = 4000000;
constexpr int maxHeight = 4096;
constexpr int maxMargin = 1000;
constexpr qreal maxJitter = 100;

bool wholeNumber(const QString &text, qint64 lowest, qint64 highest, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok, 10);
    return ok && *value >= lowest && *value <= highest;
}

int readWhole(const Cli::CommandLine &line, const QString &name, qint64 lowest, qint64 highest, int *value)
{
    if (!line.isSet(name)) {
        return Cli::exitOk;
    }
    qint64 read = 0;
    if (!wholeNumber(line.value(name), lowest, highest, &read)) {
        return line.usageError(QStringLiteral("--%1: \"%2\" is not a whole number from %3 to %4")
                                   .arg(name, line.value(name)).arg(lowest).arg(highest));
    }
    *value = int(read);
    return Cli::exitOk;
}

int readPixels(const Cli::CommandLine &line, const QString &name, qreal *value)
{
    if (!line.isSet(name)) {
        return Cli::exitOk;
    }
    bool ok = false;
    *value = line.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(*value) || *value < 0 || *value > maxJitter) {
        return line.usageError(QStringLiteral("--%1: \"%2\" is not a number of pixels from 0 to %3").arg(name, line.value(name)).arg(maxJitter));
    }
    return Cli::exitOk;
}

int readColour(const Cli::CommandLine &line, const QString &name, QColor *colour)
{
    *colour = QColor(line.value(name));
    if (!colour->isValid()) {
        return line.usageError(QStringLiteral("--%1: \"%2\" is not a colour such as #202020 or black").arg(name, line.value(name)));
    }
    return Cli::exitOk;
}

bool isGrey(const QColor &colour)
{
    return !colour.isValid() || (colour.red() == colour.green() && colour.green() == colour.blue());
}

// Cli::exitOk with the non-empty lines of --text or --text-line; otherwise the status of the error it printed.
int readText(const Cli::CommandLine &line, Options *options)
{
    const bool fromFile = line.isSet(QStringLiteral("text"));
    const bool fromLines = line.isSet(QStringLiteral("text-line"));
    if (fromFile == fromLines) {
        return line.usageError(fromFile ? QStringLiteral("--text and --text-line exclude each other")
                                        : QStringLiteral("no text given: --text FILE or --text-line TEXT"));
    }
    if (fromLines) {
        for (const QString &text : line.values(QStringLiteral("text-line"))) {
            if (!text.trimmed().isEmpty()) {
                options->lines.append(TextLine{text, 0});
            }
        }
        return options->lines.isEmpty() ? line.usageError(QStringLiteral("--text-line: no text")) : Cli::exitOk;
    }
    const QString path = line.value(QStringLiteral("text"));
    options->textFile = path;
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return line.failure(QStringLiteral("--text: cannot read %1: not a regular file").arg(path));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return line.failure(QStringLiteral("--text: cannot read %1: %2").arg(path, file.errorString()));
    }
    // Read whole: a readLine() with a limit takes a buffer of that limit for every line.
    const QByteArray all = TextEncoding::readAtMost(&file, maxTextBytes + 1);
    if (all.size() > maxTextBytes) {
        return line.usageError(QStringLiteral("--text: %1 is larger than %2 bytes").arg(path).arg(maxTextBytes));
    }
    int number = 0;
    for (qsizetype from = 0; from < all.size();) {
        const qsizetype end = all.indexOf('\n', from);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        QByteArray raw = all.mid(from, next - from);
        from = next;
        ++number;
        while (raw.endsWith('\n') || raw.endsWith('\r')) {
            raw.chop(1);
        }
        if (number == 1 && raw.startsWith("\xEF\xBB\xBF")) {
            raw.remove(0, 3);
        }
        QString text;
        if (!TextEncoding::decodeUtf8(raw, &text)) {
            return line.usageError(QStringLiteral("--text: %1: line %2 is not UTF-8").arg(path).arg(number));
        }
        if (!text.trimmed().isEmpty()) {
            if (options->lines.size() >= maxLines) {
                return line.usageError(QStringLiteral("--text: %1 holds more than %2 lines of text").arg(path).arg(maxLines));
            }
            options->lines.append(TextLine{text, number});
        }
    }
    if (file.error() != QFileDevice::NoError) {
        return line.failure(QStringLiteral("--text: cannot read %1: %2").arg(path, file.errorString()));
    }
    return options->lines.isEmpty() ? line.usageError(QStringLiteral("--text: %1 holds no line of text").arg(path)) : Cli::exitOk;
}

int readChoices(const Cli::CommandLine &line, Options *options)
{
    const QString choice = line.value(QStringLiteral("font-choice"));
    if (choice == QLatin1String("random")) {
        options->fontChoice = FontChoice::Random;
    } else if (!choice.isEmpty() && choice != QLatin1String("cycle")) {
        return line.usageError(QStringLiteral("--font-choice: \"%1\" is not cycle or random").arg(choice));
    }
    const QString missing = line.value(QStringLiteral("missing"));
    if (missing == QLatin1String("fail")) {
        options->missing = Missing::Fail;
    } else if (missing == QLatin1String("drop")) {
        options->missing = Missing::Drop;
    } else if (!missing.isEmpty() && missing != QLatin1String("skip")) {
        return line.usageError(QStringLiteral("--missing: \"%1\" is not skip, fail or drop").arg(missing));
    }
    options->compose.dropMissing = options->missing == Missing::Drop;
    const QString boxes = line.value(QStringLiteral("boxes"));
    options->tesseractBoxes = boxes == QLatin1String("tesseract");
    if (line.isSet(QStringLiteral("boxes")) && !options->tesseractBoxes) {
        return line.usageError(QStringLiteral("--boxes: \"%1\" is not tesseract").arg(boxes));
    }
    options->pageXml = line.isSet(QStringLiteral("page-xml"));
    options->drawBoxes = line.isSet(QStringLiteral("draw-boxes"));
    if (line.isSet(QStringLiteral("degradation"))) {
        const QString text = line.value(QStringLiteral("degradation"));
        const QStringList ends = text.split(QLatin1Char('-'));
        bool lowOk = false;
        bool highOk = false;
        options->levels.lowest = ends.value(0).toFloat(&lowOk);
        options->levels.highest = ends.size() == 2 ? ends.at(1).toFloat(&highOk) : options->levels.lowest;
        if (ends.size() > 2 || !lowOk || (ends.size() == 2 && !highOk) || options->levels.lowest > options->levels.highest
            || !std::isfinite(options->levels.lowest) || !std::isfinite(options->levels.highest)) {
            return line.usageError(QStringLiteral("--degradation: \"%1\" is not a level or a range of levels such as 0-2").arg(text));
        }
    }
    return Cli::exitOk;
}

int readNumbers(const Cli::CommandLine &line, Options *options)
{
    if (line.isSet(QStringLiteral("count")) && !wholeNumber(line.value(QStringLiteral("count")), 1, maxCount, &options->count)) {
        return line.usageError(QStringLiteral("--count: \"%1\" is not a whole number from 1 to %2").arg(line.value(QStringLiteral("count"))).arg(maxCount));
    }
    if (line.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        options->seed = line.value(QStringLiteral("seed")).toULongLong(&ok, 10);
        if (!ok || options->seed > maxSeed) {
            return line.usageError(QStringLiteral("--seed: \"%1\" is not a whole number from 0 to %2").arg(line.value(QStringLiteral("seed"))).arg(maxSeed));
        }
    }
    options->threads = QThread::idealThreadCount();
    int status = Cli::exitOk;
    if (line.isSet(QStringLiteral("jobs"))) {
        qint64 threads = 0;
        if (!wholeNumber(line.value(QStringLiteral("jobs")), 1, Render::maxThreads, &threads)) {
            return line.usageError(QStringLiteral("-j: \"%1\" is not a number of threads from 1 to %2")
                                       .arg(line.value(QStringLiteral("jobs")), QString::number(Render::maxThreads)));
        }
        options->threads = int(threads);
    }
    const auto whole = [&](const QString &name, qint64 lowest, qint64 highest, int *value) {
        if (status == Cli::exitOk) {
            status = readWhole(line, name, lowest, highest, value);
        }
    };
    const auto pixels = [&](const QString &name, qreal *value) {
        if (status == Cli::exitOk) {
            status = readPixels(line, name, value);
        }
    };
    whole(QStringLiteral("lines-per-page"), 1, maxLinesPerPage, &options->linesPerPage);
    whole(QStringLiteral("height"), 1, maxHeight, &options->compose.height);
    whole(QStringLiteral("margin"), 0, maxMargin, &options->compose.margin);
    whole(QStringLiteral("baseline-jitter"), 0, qint64(maxJitter), &options->compose.baselineJitter);
    pixels(QStringLiteral("letter-spacing-jitter"), &options->compose.letterSpacingJitter);
    pixels(QStringLiteral("word-spacing-jitter"), &options->compose.wordSpacingJitter);
    if (!line.isSet(QStringLiteral("count"))) {
        options->count = (options->lines.size() + options->linesPerPage - 1) / options->linesPerPage;
    }
    return status;
}

int readLook(const Cli::CommandLine &line, Options *options)
{
    Compose::Options &look = options->compose;
    if (line.isSet(QStringLiteral("ink"))) {
        const int status = readColour(line, QStringLiteral("ink"), &look.ink);
        if (status != Cli::exitOk) {
            return status;
        }
    }
    const QString background = line.value(QStringLiteral("background"));
    if (background == QLatin1String("transparent")) {
        look.background = Compose::Options::Background::Transparent;
    } else if (!background.isEmpty()) {
        const int status = readColour(line, QStringLiteral("background"), &look.backgroundColour);
        if (status != Cli::exitOk) {
            return status;
        }
        look.background = Compose::Options::Background::Colour;
    }
    options->backgroundDir = line.value(QStringLiteral("background-dir"));
    if (!options->backgroundDir.isEmpty()) {
        if (line.isSet(QStringLiteral("background"))) {
            return line.usageError(QStringLiteral("--background and --background-dir exclude each other"));
        }
        look.background = Compose::Options::Background::Images;
    }
    look.colour = !isGrey(look.ink) || (look.background == Compose::Options::Background::Colour && !isGrey(look.backgroundColour))
                  || look.background == Compose::Options::Background::Images;
    return Cli::exitOk;
}

} // namespace

int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->fonts = line.arguments();
    options->output = line.value(QStringLiteral("output"));
    if (options->output.isEmpty()) {
        return line.usageError(QStringLiteral("--output: no directory given (for example --output dataset/)"));
    }
    int status = readChoices(line, options);
    if (status == Cli::exitOk) {
        status = readLook(line, options);
    }
    if (status == Cli::exitOk) {
        status = readText(line, options);
    }
    if (status == Cli::exitOk) {
        status = readNumbers(line, options);
    }
    if (status == Cli::exitOk) {
        status = readShardOptions(line, &options->shard);
    }
    options->resume = line.isSet(QStringLiteral("resume"));
    return status;
}

void declareOptions(Cli::CommandLine &line)
{
    line.addOptions({
        {QStringLiteral("text"), QStringLiteral("A UTF-8 text file: one sample per non-empty line."), QStringLiteral("file")},
        {QStringLiteral("text-line"), QStringLiteral("A line of text, as many times as wanted, instead of --text."), QStringLiteral("text")},
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The dataset's directory, made when missing; a directory holding a "
                                                                         "dataset of compose is continued."), QStringLiteral("dir")},
        {QStringLiteral("count"), QStringLiteral("Samples to make, cycling the lines (default: one per line or page, up to %1).").arg(maxCount),
         QStringLiteral("n")},
        {QStringLiteral("seed"), QStringLiteral("Seed of every random choice (default: 0); sample i draws from a hash of it and i."),
         QStringLiteral("n")},
        {QStringLiteral("font-choice"), QStringLiteral("Which font a sample takes: cycle (in turn, the default) or random."),
         QStringLiteral("how")},
        {QStringLiteral("degradation"), QStringLiteral("Choose only pictures of these degradation levels, such as 0-2."),
         QStringLiteral("range")},
        {QStringLiteral("missing"), QStringLiteral("A line holding a character the font lacks: skip it (default), fail (exit 3) or "
                                                   "drop the character from the image and the label."), QStringLiteral("policy")},
        {{QStringLiteral("j"), QStringLiteral("jobs")}, QStringLiteral("Samples made at once (default: the number of processors)."),
         QStringLiteral("n")},
        {QStringLiteral("page-xml"), QStringLiteral("Write NAME.xml, PAGE-XML 2019-07-15, for each sample.")},
        {QStringLiteral("boxes"), QStringLiteral("Write NAME.box in this box format: tesseract."), QStringLiteral("format")},
        {QStringLiteral("draw-boxes"), QStringLiteral("Also write NAME.boxes.png: the image with the boxes of its characters (red), "
                                                      "words (blue) and baselines (green) drawn over it, to look at.")},
        {QStringLiteral("lines-per-page"), QStringLiteral("Set this many lines into each image, one under the other (1 to %1).").arg(maxLinesPerPage),
         QStringLiteral("n")},
        {QStringLiteral("height"), QStringLiteral("Resample each image to this height in pixels (Qt's smooth filter: area average "
                                                  "down, bilinear up)."), QStringLiteral("px")},
        {QStringLiteral("margin"), QStringLiteral("Pixels of background around the text (default: 0)."), QStringLiteral("px")},
        {QStringLiteral("ink"), QStringLiteral("Draw the glyphs in this colour, keeping their alpha (default: their own)."),
         QStringLiteral("colour")},
        {QStringLiteral("background"), QStringLiteral("white (default), transparent (RGBA images) or a colour."),
         QStringLiteral("colour")},
        {QStringLiteral("background-dir"), QStringLiteral("Lay each sample on a random crop of an image (.png, .jpg, .bmp) of this "
                                                          "directory, scaled up when smaller."), QStringLiteral("dir")},
        {QStringLiteral("letter-spacing-jitter"), QStringLiteral("Move each advance by up to this many pixels, at random."),
         QStringLiteral("px")},
        {QStringLiteral("word-spacing-jitter"), QStringLiteral("Move each space's advance by up to this many pixels, at random."),
         QStringLiteral("px")},
        {QStringLiteral("baseline-jitter"), QStringLiteral("Move each letter up or down by up to this many whole pixels, at random."),
         QStringLiteral("px")},
        {QStringLiteral("resume"), QStringLiteral("Pass over the samples whose files the journal beside metadata.jsonl records as "
                                                  "whole; redo the rest. Give it from the first run on.")},
    });
    declareShardOptions(line, QStringLiteral("samples"));
    line.addArgument(QStringLiteral("FONT"), QStringLiteral("OF font files; FONT.metrics.json beside one places its letters."),
                     QStringLiteral("FONT.of..."));
}

} // namespace ComposeCommand
