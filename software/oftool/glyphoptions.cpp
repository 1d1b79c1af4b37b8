#include "glyphoptions.h"

#include "cli.h"
#include "command.h"

#include "rendersettings.h"

#include <QCommandLineOption>
#include <QStringList>

namespace {

constexpr int maxPadding = 1000;

// The index of value in choices, or -1 after printing a usage error that lists them.
int choose(const Cli::CommandLine &line, const QString &option, const QStringList &choices)
{
    const QString value = line.value(option);
    const int index = choices.indexOf(value);
    if (index < 0) {
        line.usageError(QStringLiteral("--%1: \"%2\" is none of %3").arg(option, value, choices.join(QStringLiteral(", "))));
    }
    return index;
}

} // namespace

void declareGlyphOptions(Cli::CommandLine &line)
{
    line.addOptions({
        {QStringLiteral("fit"), QStringLiteral("line: each image as wide as the advance and as high as the line, as the "
                                               "window draws (default); ink: the glyph's ink and --padding pixels "
                                               "around it, nothing clipped, edge pixels black with their coverage in alpha."),
         QStringLiteral("line|ink")},
        {QStringLiteral("padding"), QStringLiteral("Transparent pixels around the ink with --fit ink, 0 to %1 (default: 1).").arg(maxPadding),
         QStringLiteral("N")},
        {QStringLiteral("antialias"), QStringLiteral("Smooth glyph edges (default: on)."), QStringLiteral("on|off")},
        {QStringLiteral("hinting"), QStringLiteral("Fit outlines to the pixel grid: default (the font configuration's), none, "
                                                   "slight (vertically) or full. So that the same command gives the same "
                                                   "bytes everywhere, oftool clears %1 before it starts.")
                                        .arg(Cli::renderingEnvironment().join(QStringLiteral(", "))),
         QStringLiteral("mode")},
        {QStringLiteral("anchors"), QStringLiteral("percent: every letter's anchor lines are 0, 100, 0, 100 (default); pixels: "
                                                   "the top of the line, the baseline (the row under the ink on it), the pen "
                                                   "origin and origin plus advance, in pixels of the glyph image, as oftool "
                                                   "convert reads them."),
         QStringLiteral("percent|pixels")},
        {QStringLiteral("metrics"), QStringLiteral("Write FILE.metrics.json next to each file: ascent, descent, line spacing, "
                                                   "space advance, each letter's advance, bearing, ink box and pen origin, "
                                                   "and the kerning pairs.")},
    });
}

int readGlyphOptions(const Cli::CommandLine &line, RenderSettings *settings)
{
    if (line.isSet(QStringLiteral("fit"))) {
        const int fit = choose(line, QStringLiteral("fit"), {QStringLiteral("line"), QStringLiteral("ink")});
        if (fit < 0) {
            return Cli::exitUsage;
        }
        settings->fit = fit == 1 ? RenderSettings::Fit::Ink : RenderSettings::Fit::LineBox;
    }
    if (line.isSet(QStringLiteral("padding"))) {
        bool ok = false;
        const QString text = line.value(QStringLiteral("padding"));
        settings->padding = text.toInt(&ok, 10);
        if (!ok || settings->padding < 0 || settings->padding > maxPadding) {
            return line.usageError(QStringLiteral("--padding: \"%1\" is not a whole number from 0 to %2").arg(text).arg(maxPadding));
        }
        if (settings->fit != RenderSettings::Fit::Ink) {
            return line.usageError(QStringLiteral("--padding goes with --fit ink"));
        }
    }
    if (line.isSet(QStringLiteral("antialias"))) {
        const int antialias = choose(line, QStringLiteral("antialias"), {QStringLiteral("on"), QStringLiteral("off")});
        if (antialias < 0) {
            return Cli::exitUsage;
        }
        settings->antialias = antialias == 0;
    }
    if (line.isSet(QStringLiteral("hinting"))) {
        const int hinting = choose(line, QStringLiteral("hinting"), {QStringLiteral("default"), QStringLiteral("none"),
                                                                     QStringLiteral("slight"), QStringLiteral("full")});
        if (hinting < 0) {
            return Cli::exitUsage;
        }
        settings->hinting = RenderSettings::Hinting(hinting); // the choices are in the order of the enum
    }
    if (line.isSet(QStringLiteral("anchors"))) {
        const int anchors = choose(line, QStringLiteral("anchors"), {QStringLiteral("percent"), QStringLiteral("pixels")});
        if (anchors < 0) {
            return Cli::exitUsage;
        }
        settings->anchors = anchors == 1 ? RenderSettings::Anchors::Pixels : RenderSettings::Anchors::Percent;
    }
    settings->metrics = line.isSet(QStringLiteral("metrics"));
    return Cli::exitOk;
}
