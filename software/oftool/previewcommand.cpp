#include "commands.h"

#include "command.h"
#include "fontinput.h"
#include "metricsfile.h"
#include "outputfile.h"
#include "previewsheet.h"
#include "samefile.h"

#include "models/codepoint.h"
#include "models/font.h"

#include <QFileInfo>
#include <QImage>

#include <cstdio>

namespace {

// A French pangram, which also shows the accented letters the window draws.
const QString defaultText = QStringLiteral("Portez ce vieux whisky au juge blond qui fume : voil\u00E0, \u00E7a, p\u00E8re, \u00E9t\u00E9");
constexpr int maxScale = 16;
constexpr int maxTextLength = 1000;

struct Options {
    QString path;
    QString output;
    int scale = 1;
    QVector<uint> text; // code points
    bool anchorLines = false;
    int pictures = 1; // per letter; 0 for all
};

bool parseScale(const QString &text, int *scale)
{
    bool ok = false;
    *scale = text.toInt(&ok, 10);
    return ok && *scale >= 1 && *scale <= maxScale;
}

// Cli::exitOk with every option read; otherwise the status of the usage error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->path = line.arguments().first();
    options->output = line.value(QStringLiteral("output"));
    if (options->output.isEmpty()) {
        return line.usageError(QStringLiteral("-o: no output file given (for example -o sheet.png)"));
    }
    Cli::FileSet reads;
    reads.add({QStringLiteral("FILE"), options->path});
    reads.add({QStringLiteral("its metrics file"), MetricsFile::metricsPath(options->path)});
    if (Cli::refuseSameFiles(line, reads, {{QStringLiteral("-o"), options->output}}) != Cli::exitOk) {
        return Cli::exitUsage;
    }
    if (line.isSet(QStringLiteral("scale")) && !parseScale(line.value(QStringLiteral("scale")), &options->scale)) {
        return line.usageError(QStringLiteral("--scale: \"%1\" is not a whole number from 1 to %2")
                                   .arg(line.value(QStringLiteral("scale")), QString::number(maxScale)));
    }
    options->anchorLines = line.isSet(QStringLiteral("lines"));
    if (line.isSet(QStringLiteral("max-pictures"))) {
        bool ok = false;
        options->pictures = line.value(QStringLiteral("max-pictures")).toInt(&ok, 10);
        if (!ok || options->pictures < 1) {
            return line.usageError(QStringLiteral("--max-pictures: \"%1\" is not a whole number from 1 on").arg(line.value(QStringLiteral("max-pictures"))));
        }
    } else if (line.isSet(QStringLiteral("pictures"))) {
        options->pictures = 0;
    }
    options->text = Models::codePointsOf(line.isSet(QStringLiteral("text")) ? line.value(QStringLiteral("text")) : defaultText);
    if (options->text.size() > maxTextLength) {
        return line.usageError(QStringLiteral("--text: %1 characters; at most %2 fit a sheet")
                                   .arg(options->text.size()).arg(maxTextLength));
    }
    return Cli::exitOk;
}

// Draws the sheet and writes it.
int drawPreview(const Cli::CommandLine &line, const Options &options)
{
    const std::unique_ptr<Models::Font> font = Cli::openFont(line.command(), options.path);
    if (!font) {
        return Cli::exitFailure;
    }
    // The file oftool render --metrics writes beside the font; without it, the anchor lines or the image widths set the text.
    const QString metricsPath = MetricsFile::metricsPath(options.path);
    MetricsFile::TextMetrics metrics;
    const bool besideFont = QFileInfo::exists(metricsPath);
    QString reason;
    const bool withMetrics = besideFont && MetricsFile::readMetricsOf(options.path, &metrics, &reason);
    const PreviewSheet layout(*font, options.text, options.scale, withMetrics ? &metrics : nullptr, options.anchorLines,
                               options.pictures);
    if (besideFont && !withMetrics) {
        line.note(reason + (layout.placedByAnchors() ? QStringLiteral("; the sample text is set from the anchor lines")
                                                     : QStringLiteral("; the sample text is set from the image widths")));
    }
    if (!layout.fits()) {
        return line.failure(QStringLiteral("the sheet would be %1 x %2 pixels, more than this tool draws; "
                                           "use a smaller --scale or a shorter --text")
                                .arg(layout.width()).arg(layout.height()));
    }
    const QImage sheet = layout.draw();
    if (sheet.isNull()) {
        return line.failure(QStringLiteral("not enough memory for a %1 x %2 sheet").arg(layout.width()).arg(layout.height()));
    }
    QString error;
    if (!Cli::savePng(sheet, options.output, &error)) {
        return line.failure(Cli::writeFailure(options.output, options.output, error));
    }

    std::printf("%s: %d x %d pixels, %d letters\n", options.output.toUtf8().constData(), sheet.width(), sheet.height(),
                int(font->getCharacters().size()));
    if (!layout.missing().isEmpty()) {
        QStringList names;
        for (const QString &letter : layout.missing()) {
            names.append(QStringLiteral("%1 (%2)").arg(Models::codePointNames(letter), letter));
        }
        std::printf("not in the font: %s\n", names.join(QStringLiteral(", ")).toUtf8().constData());
    }
    if (withMetrics) {
        std::printf("sample text set with the metrics of %s\n", metricsPath.toUtf8().constData());
    }
    return Cli::exitOk;
}

} // namespace

void declarePreview(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool preview FILE -o sheet.png [--text TEXT] [--scale N] [--lines] [--pictures]"), QStringLiteral(R"(Draws an OF font file as a PNG sheet: every letter's first picture in a grid, with its character
and code point under it, transparent pixels on a light checkerboard, then a sample text set from
the glyph images side by side, standing on their bottom edges, or, when letters have anchor lines in
pixels (render --anchors pixels), each by its pen origin on the baseline and its advance. Characters of the sample text that
the font lacks appear as outlined boxes, in the text and at the end of the grid; a picture with a
null image is a crossed box.

When FILE.metrics.json (from oftool render --metrics) lies next to FILE, the sample text is set with
its advances, pen origins and kerning instead. --lines draws each letter's anchor lines over its
glyph: upLine green, baseLine blue, leftLine and rightLine red, each along the top or left edge of
the row or column it names; letters
with the anchors 0, 100, 0, 100 get them on the edges of the image. --pictures shows every picture
of each letter, a letter to a row (wrapped after 16), each after the first labelled with its id;
--max-pictures N the first N.

Examples:
  oftool preview DejaVu_Sans__Book__32.of -o sheet.png
  oftool preview small.of -o sheet.png --scale 3 --text "Hello, world"
  oftool render --fit ink --anchors pixels --metrics --output ink.of && oftool preview ink.of -o ink.png --lines

Exit status: 0 sheet written, 1 usage error, 2 the font could not be read or the sheet not written.)"));
    line.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The PNG file to write."), QStringLiteral("sheet.png")},
        {QStringLiteral("text"), QStringLiteral("Sample text (default: a pangram with \u00E0\u00E7\u00E8\u00E9; \"\" for none)."),
         QStringLiteral("text")},
        {QStringLiteral("scale"), QStringLiteral("Sheet pixels per glyph pixel, 1 to %1 (default: 1).").arg(maxScale),
         QStringLiteral("N")},
        {QStringLiteral("lines"), QStringLiteral("Draw each letter's anchor lines over its glyph.")},
        {QStringLiteral("pictures"), QStringLiteral("Show every picture of each letter, a letter to a row.")},
        {QStringLiteral("max-pictures"), QStringLiteral("Show the first N pictures of each letter, a letter to a row."),
         QStringLiteral("N")},
    });
    line.addArgument(QStringLiteral("FILE"), QStringLiteral("The OF font file."));
}

int runPreview(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, drawPreview);
}
