#include "commands.h"

#include "command.h"
#include "fontinput.h"
#include "metricsfile.h"
#include "outputfile.h"
#include "stagedfiles.h"

#include "glyphmetrics.h"
#include "rendersettings.h"

#include "boxfile.h"
#include "pagereader.h"
#include "scanfont.h"
#include "scanimage.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

enum class Source { PageFiles, BoxFiles };

struct Options {
    Source source = Source::PageFiles;
    QStringList inputs;   // page files, or box files
    QString image;        // --image, or import-boxes' IMAGE
    int page = -1;        // --page; -1 when not given
    QString output;
    bool into = false;
    QString name;
    bool compress = false;
    Scans::ScanSettings settings;
};

bool parseCount(const QString &text, int minimum, int *value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    return ok && *value >= minimum;
}

// Cli::exitOk with every option read; otherwise the status of the error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->inputs = line.arguments();
    if (options->source == Source::BoxFiles) {
        options->image = options->inputs.takeFirst();
    } else if (line.isSet(QStringLiteral("image"))) {
        options->image = line.value(QStringLiteral("image"));
        if (options->inputs.size() != 1) {
            return line.usageError(QStringLiteral("--image names the image of one page; %1 page files are given").arg(options->inputs.size()));
        }
    }
    if (line.isSet(QStringLiteral("page")) && !parseCount(line.value(QStringLiteral("page")), 0, &options->page)) {
        return line.usageError(QStringLiteral("--page: \"%1\" is not a page number (0 the first)").arg(line.value(QStringLiteral("page"))));
    }
    if (line.isSet(QStringLiteral("max-pictures"))
        && !parseCount(line.value(QStringLiteral("max-pictures")), 1, &options->settings.maxPictures)) {
        return line.usageError(QStringLiteral("--max-pictures: \"%1\" is not a whole number from 1 on").arg(line.value(QStringLiteral("max-pictures"))));
    }
    if (line.isSet(QStringLiteral("degradation"))) {
        bool ok = false;
        const float level = line.value(QStringLiteral("degradation")).trimmed().toFloat(&ok);
        if (!ok || !std::isfinite(level) || level < 0) {
            return line.usageError(QStringLiteral("--degradation: \"%1\" is not a number from 0 on").arg(line.value(QStringLiteral("degradation"))));
        }
        options->settings.degradation = level;
    }
    options->settings.mode = line.isSet(QStringLiteral("binarize")) ? Scans::InkMode::Otsu : Scans::InkMode::Coverage;
    options->output = line.value(QStringLiteral("output"));
    const QString into = line.value(QStringLiteral("into"));
    if (!into.isEmpty() && !options->output.isEmpty()) {
        return line.usageError(QStringLiteral("--into writes the font it names; -o does not go with it"));
    }
    if (into.isEmpty() && options->output.isEmpty()) {
        return line.usageError(QStringLiteral("no output file given (-o FILE or --into FILE)"));
    }
    options->into = !into.isEmpty();
    if (options->into) {
        options->output = into;
    }
    options->name = line.isSet(QStringLiteral("name")) ? line.value(QStringLiteral("name")) : QFileInfo(options->output).fileName();
    options->compress = line.isSet(QStringLiteral("compress"));
    if (options->compress) {
        options->output = Cli::compressedPath(options->output);
    }
    return Cli::exitOk;
}

// Loads the page's image and checks its size against the file's; null after printing why.
QImage pageImage(const Cli::CommandLine &line, const QString &input, const QString &path, int page, const QSize &expected)
{
    if (path.isEmpty()) {
        line.failure(QStringLiteral("%1: names no image; give one with --image").arg(input));
        return QImage();
    }
    QString error;
    const QImage grey = Scans::loadScanImage(path, qMax(page, 0), &error);
    if (grey.isNull()) {
        line.failure(QStringLiteral("%1: cannot read the image %2: %3").arg(input, path, error));
        return QImage();
    }
    if (expected.isValid() && grey.size() != expected) {
        line.failure(QStringLiteral("%1: the image %2 is %3 x %4 pixels, the file says %5 x %6")
                         .arg(input, path).arg(grey.width()).arg(grey.height()).arg(expected.width()).arg(expected.height()));
        return QImage();
    }
    return grey;
}

void reportPage(const Cli::CommandLine &line, const QString &input, const QStringList &readerPassedOver, const Scans::PageCounts &counts)
{
    for (const QString &reason : readerPassedOver) {
        line.note(QStringLiteral("%1: passed over %2").arg(input, reason));
    }
    for (const QString &reason : counts.passedOver) {
        line.note(QStringLiteral("%1: passed over %2").arg(input, reason));
    }
    QString extra;
    if (counts.clipped > 0) {
        extra += QStringLiteral(", %1 cut to the image").arg(counts.clipped);
    }
    const int passed = readerPassedOver.size() + counts.passedOver.size();
    if (passed > 0) {
        extra += QStringLiteral(", %1 passed over").arg(passed);
    }
    std::printf("%s: %d glyphs%s; baselines: %d given, %d estimated\n", input.toUtf8().constData(), counts.glyphs,
                extra.toUtf8().constData(), counts.baselinesGiven, counts.baselinesEstimated);
}

// Each page file with its image, in order; nothing is kept of a run with a file that cannot be used.
bool addPageFiles(const Cli::CommandLine &line, const Options &options, Scans::ScanFont *font)
{
    for (const QString &input : options.inputs) {
        Scans::ScanPage page;
        QString error;
        if (!Scans::readPageFile(input, &page, &error)) {
            line.failure(QStringLiteral("%1: %2").arg(input, error));
            return false;
        }
        const QString imagePath = options.image.isEmpty() ? page.imagePath : options.image;
        const int pageNumber = options.page >= 0 ? options.page : page.imagePage;
        const QImage grey = pageImage(line, input, imagePath, pageNumber, page.imageSize);
        if (grey.isNull()) {
            return false;
        }
        reportPage(line, input, page.passedOver, font->addPage(page, grey));
    }
    return true;
}

// Each box file on the pages of the image it names by number (--page: that page alone).
bool addBoxFiles(const Cli::CommandLine &line, const Options &options, Scans::ScanFont *font)
{
    for (const QString &input : options.inputs) {
        Scans::BoxFile boxes;
        QString error;
        if (!Scans::readBoxFile(input, &boxes, &error)) {
            line.failure(QStringLiteral("%1: %2").arg(input, error));
            return false;
        }
        QList<int> pages;
        for (const Scans::BoxEntry &entry : qAsConst(boxes.entries)) {
            if (!pages.contains(entry.page) && (options.page < 0 || entry.page == options.page)) {
                pages.append(entry.page);
            }
        }
        QStringList lines;
        for (const QString &reason : qAsConst(boxes.passedOver)) {
            lines.append(QStringLiteral("line ") + reason);
        }
        if (boxes.wordStrLines > 0) {
            std::printf("%s: %d WordStr lines passed over\n", input.toUtf8().constData(), boxes.wordStrLines);
        }
        if (pages.isEmpty()) {
            reportPage(line, input, lines, Scans::PageCounts());
        }
        for (const int pageNumber : qAsConst(pages)) {
            if (pageNumber < 0) {
                line.failure(QStringLiteral("%1: page %2 is no page number").arg(input).arg(pageNumber));
                return false;
            }
            const QImage grey = pageImage(line, input, options.image, pageNumber, QSize());
            if (grey.isNull()) {
                return false;
            }
            reportPage(line, input, lines, font->addPage(Scans::boxPage(boxes, pageNumber, grey.size()), grey));
            lines.clear();
        }
    }
    return true;
}

// The scanned font's geometry as the metrics file records a rendered font's.
FontGeometry geometryOf(const Scans::ScanMetrics &metrics)
{
    FontGeometry geometry;
    geometry.pixelSize = metrics.pixelSize;
    geometry.ascent = metrics.ascent;
    geometry.descent = metrics.descent;
    geometry.lineSpacing = metrics.lineSpacing;
    geometry.spaceAdvance = metrics.spaceAdvance;
    for (const Scans::ScanLetterMetrics &letter : metrics.letters) {
        LetterGeometry entry;
        entry.letter = letter.letter;
        entry.advance = letter.advance;
        entry.ink = letter.ink;
        entry.image = letter.image;
        entry.origin = letter.origin;
        geometry.letters.append(entry);
    }
    geometry.kerningMeasured = false; // a page shows too few pairs to measure kerning
    return geometry;
}

int importPages(const Cli::CommandLine &line, const Options &options)
{
    Scans::ScanFont scanned(options.settings);
    if (options.into) {
        const std::unique_ptr<Models::Font> existing = Cli::openFont(line.command(), options.output);
        if (!existing) {
            return Cli::exitFailure;
        }
        scanned.addFont(*existing);
    }
    const int before = scanned.pictureCount();
    const bool read = options.source == Source::PageFiles ? addPageFiles(line, options, &scanned) : addBoxFiles(line, options, &scanned);
    if (!read) {
        line.note(QStringLiteral("nothing written"));
        return Cli::exitFailure;
    }
    if (scanned.pictureCount() == before) {
        return line.failure(QStringLiteral("no glyph to import; nothing written"));
    }
    const std::unique_ptr<Models::Font> font(scanned.font(options.name));
    RenderSettings settings;
    settings.fit = RenderSettings::Fit::Ink;
    settings.padding = 0;
    settings.antialias = options.settings.mode == Scans::InkMode::Coverage;
    settings.anchors = RenderSettings::Anchors::Pixels;
    settings.metrics = true;
    // The font and its metrics file replace the old pair together, or neither does.
    const QString metricsPath = MetricsFile::metricsPath(options.output);
    StagedFiles files({QFileInfo(options.output).absolutePath()});
    QString error;
    const StagedFile staged = StagedFiles::write(font.get(), options.output, &error, options.compress);
    if (staged.isNull()) {
        return line.failure(Cli::writeFailure(options.output, options.output,
                                              QStringLiteral("could not write %1: %2").arg(options.output, error)));
    }
    const QByteArray hash = StagedFiles::sha256(staged, &error);
    const StagedFile stagedMetrics = hash.isEmpty() ? StagedFile()
        : StagedFiles::write(MetricsFile::metricsText(options.output, settings, geometryOf(scanned.metrics()), staged.bytes, hash),
                             metricsPath, &error);
    if (stagedMetrics.isNull()) {
        StagedFiles::drop(staged);
        return line.failure(Cli::writeFailure(metricsPath, metricsPath, QStringLiteral("could not write %1: %2").arg(metricsPath, error)));
    }
    files.add(0, {staged, stagedMetrics});
    const StagedFiles::Outcome outcome = files.commit().value(0);
    if (!outcome.error.isEmpty()) {
        return line.failure(QStringLiteral("cannot write %1: %2").arg(outcome.target, outcome.error));
    }
    std::printf("%s: %d letters, %d pictures (%d added); metrics in %s\n", options.output.toUtf8().constData(),
                int(font->getCharacters().size()), scanned.pictureCount(), scanned.pictureCount() - before,
                MetricsFile::metricsPath(options.output).toUtf8().constData());
    return Cli::exitOk;
}

QList<QCommandLineOption> sharedOptions()
{
    return {
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The OF font file to write."), QStringLiteral("file")},
        {QStringLiteral("into"), QStringLiteral("Add the pictures to this existing OF font file instead."), QStringLiteral("file")},
        {QStringLiteral("name"), QStringLiteral("The font's name (default: the output file's name)."), QStringLiteral("name")},
        {QStringLiteral("max-pictures"), QStringLiteral("Keep the first N pictures of each letter (default: all)."), QStringLiteral("N")},
        {QStringLiteral("binarize"), QStringLiteral("Alpha 0 or 255, split by Otsu's threshold of each glyph's neighbourhood.")},
        {QStringLiteral("degradation"), QStringLiteral("The pictures' degradation level (default: 0)."), QStringLiteral("N")},
        {QStringLiteral("page"), QStringLiteral("The page of a multi-page image, 0 the first."), QStringLiteral("N")},
        Cli::compressOption(),
    };
}

const char *const inkText = R"(Each picture is its glyph's box cut from the image, black, its alpha the ink's coverage between the
paper and ink levels of the glyph's neighbourhood, transparent outside the outline. Each letter's
pictures share one canvas, aligned on the baseline and the left edge, with anchor lines in pixels:
upLine the top of the line, baseLine the row under the ink on the baseline, leftLine the left edge,
rightLine leftLine plus the letter's advance (the median distance to the next glyph in a word).
FILE.metrics.json is written beside the font, as 'oftool render --metrics' writes it.)";

} // namespace

void declareImportPage(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool import-page PAGE.xml... (-o FILE | --into FILE) [options]"),
                  QStringLiteral(R"(Makes an OF font file from scanned pages and their ground truth: every Glyph of PAGE-XML
(any schema from 2010 to 2019) or ALTO (v2 to v4, in pixels) with a text becomes a picture of that
text's letter, every picture kept. The image is the one the file names, relative to it.
%1

Examples:
  oftool import-page page_0020.xml -o kant.of
  oftool import-page book/*.xml -o book.of --max-pictures 20
  oftool import-page scan.xml --image scan.tif --page 2 --into book.of

Exit status: 0 file written, 1 usage error, 2 an input could not be used or the file not written.)").arg(QLatin1String(inkText)));
    QList<QCommandLineOption> options = sharedOptions();
    options.append({QStringLiteral("image"), QStringLiteral("The page image, for a single page file."), QStringLiteral("file")});
    line.addOptions(options);
    line.addArgument(QStringLiteral("PAGE"), QStringLiteral("PAGE-XML or ALTO files, in order."), QStringLiteral("PAGE.xml..."));
}

void declareImportBoxes(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool import-boxes IMAGE BOXFILE... (-o FILE | --into FILE) [options]"),
                  QStringLiteral(R"(Makes an OF font file from a scanned page and Tesseract box files (TEXT LEFT BOTTOM RIGHT TOP
PAGE a line, origin at the image's bottom left): every box becomes a picture of its text's letter.
Boxes of page N are cut from page N of a multi-page image; WordStr lines are counted and passed over.
%1

Examples:
  oftool import-boxes page.png page.box -o hand.of
  oftool import-boxes book.tif book.box --page 0 --into hand.of

Exit status: 0 file written, 1 usage error, 2 an input could not be used or the file not written.)").arg(QLatin1String(inkText)));
    line.addOptions(sharedOptions());
    line.addArgument(QStringLiteral("IMAGE"), QStringLiteral("The page image."));
    line.addArgument(QStringLiteral("BOXFILE"), QStringLiteral("Box files, in order."), QStringLiteral("BOXFILE..."));
}

int runImportPage(const Cli::CommandLine &line)
{
    return Cli::runSteps<Options>(line, readOptions, importPages);
}

int runImportBoxes(const Cli::CommandLine &line)
{
    return Cli::runSteps<Options>(
        line, [](const Cli::CommandLine &commandLine, Options *options) {
            options->source = Source::BoxFiles;
            return readOptions(commandLine, options);
        },
        importPages);
}
