#include "commands.h"

#include "atlas.h"
#include "bdffont.h"
#include "command.h"
#include "conversion.h"
#include "fontinput.h"
#include "metricsfile.h"
#include "outputfile.h"
#include "samefile.h"
#include "stagedfiles.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

#include <cstdio>

namespace {

enum class Format { Of, Bdf, Atlas };

constexpr int defaultThreshold = 128;
// A BDF file is text; beyond this it would be a font of millions of large glyphs.
constexpr qint64 maxBdfBytes = qint64(256) << 20;

struct Options {
    QString input;
    QString output;
    Format to = Format::Of;
    int threshold = defaultThreshold;
    Atlas::Shape shape = Atlas::Shape::PowerOfTwo;
    bool json = false;
    bool compress = false;
};

bool formatNamed(const QString &name, Format *format)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("of")) {
        *format = Format::Of;
    } else if (lower == QLatin1String("bdf")) {
        *format = Format::Bdf;
    } else if (lower == QLatin1String("fnt") || lower == QLatin1String("atlas") || lower == QLatin1String("png")) {
        *format = Format::Atlas;
    } else {
        return false;
    }
    return true;
}

// The path of the atlas's other files: OUT with its extension replaced.
QString besideOutput(const QString &output, const QString &extension)
{
    const QFileInfo info(output);
    const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.path() == QLatin1String(".") && !output.startsWith(QLatin1String("./")) ? base + extension
                                                                                       : info.dir().filePath(base + extension);
}

// The files options.output stands for: an atlas is OUT.fnt, OUT.png and, with --json, OUT.json.
QList<Cli::NamedFile> outputFiles(const Options &options)
{
    if (options.to != Format::Atlas) {
        return {{QStringLiteral("OUT"), options.output}};
    }
    const QString fnt = options.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? besideOutput(options.output, QStringLiteral(".fnt")) : options.output;
    QList<Cli::NamedFile> files{{QStringLiteral("OUT"), fnt}, {QStringLiteral("OUT's page"), besideOutput(fnt, QStringLiteral(".png"))}};
    if (options.json) {
        files.append({QStringLiteral("OUT's JSON"), besideOutput(fnt, QStringLiteral(".json"))});
    }
    return files;
}

// Cli::exitOk with every option read; otherwise the status of the usage error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->input = line.arguments().at(0);
    options->output = line.arguments().at(1);
    options->compress = line.isSet(QStringLiteral("compress"));
    const QString typed = options->compress && options->output.endsWith(QLatin1String(".gz")) ? options->output.chopped(3) : options->output;
    const QString to = line.isSet(QStringLiteral("to")) ? line.value(QStringLiteral("to")) : QFileInfo(typed).suffix();
    if (!formatNamed(to, &options->to)) {
        return line.usageError(line.isSet(QStringLiteral("to"))
                                   ? QStringLiteral("--to: \"%1\" is none of of, bdf, fnt").arg(to)
                                   : QStringLiteral("OUT: \"%1\" does not end in .of, .bdf or .fnt; give --to").arg(options->output));
    }
    if (line.isSet(QStringLiteral("threshold"))) {
        bool ok = false;
        options->threshold = line.value(QStringLiteral("threshold")).toInt(&ok, 10);
        if (!ok || options->threshold < 1 || options->threshold > 255) {
            return line.usageError(QStringLiteral("--threshold: \"%1\" is not a whole number from 1 to 255")
                                       .arg(line.value(QStringLiteral("threshold"))));
        }
    }
    if (line.isSet(QStringLiteral("atlas-size"))) {
        const QString shape = line.value(QStringLiteral("atlas-size"));
        if (shape != QLatin1String("pot") && shape != QLatin1String("tight")) {
            return line.usageError(QStringLiteral("--atlas-size: \"%1\" is neither pot nor tight").arg(shape));
        }
        options->shape = shape == QLatin1String("pot") ? Atlas::Shape::PowerOfTwo : Atlas::Shape::Tight;
    }
    if (options->compress && options->to != Format::Of) {
        return line.usageError(QStringLiteral("--compress is for an OF font file"));
    }
    if (options->compress) {
        options->output = Cli::compressedPath(options->output);
    }
    options->json = line.isSet(QStringLiteral("json"));
    if ((options->json || line.isSet(QStringLiteral("atlas-size"))) && options->to != Format::Atlas) {
        return line.usageError(QStringLiteral("--json and --atlas-size are for an atlas (.fnt)"));
    }
    Cli::FileSet reads;
    reads.add({QStringLiteral("IN"), options->input});
    reads.add({QStringLiteral("IN's metrics file"), MetricsFile::metricsPath(options->input)});
    return Cli::refuseSameFiles(line, reads, outputFiles(*options));
}

// The input font, from an OF font file or a BDF file by what the file starts with; null after printing why.
std::unique_ptr<Models::Font> readInput(const Cli::CommandLine &line, const QString &path)
{
    QFile file(path);
    QByteArray start;
    // Opening a FIFO would wait for a writer; the OF reader refuses anything but a regular file.
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)) {
        start = file.peek(64).trimmed();
    }
    if (!start.startsWith("STARTFONT")) {
        return Cli::openFont(line.command(), path);
    }
    if (file.size() > maxBdfBytes) {
        line.failure(QStringLiteral("%1: larger than %2 bytes, more than a BDF font holds").arg(path).arg(maxBdfBytes));
        return nullptr;
    }
    Bdf::Font bdf;
    QString error;
    if (!Bdf::read(file.readAll(), &bdf, &error)) {
        line.failure(QStringLiteral("%1: %2").arg(path, error));
        return nullptr;
    }
    QStringList notes;
    const QString name = bdf.family.isEmpty() ? QFileInfo(path).completeBaseName() : bdf.family;
    std::unique_ptr<Models::Font> font = Convert::fromBdf(bdf, name, &notes, &error);
    for (const QString &note : qAsConst(notes)) {
        line.note(QStringLiteral("%1: %2").arg(path, note));
    }
    if (bdf.unencoded > 0) {
        line.note(QStringLiteral("%1: %2 glyphs without a code point (ENCODING -1) left out").arg(path).arg(bdf.unencoded));
    }
    if (!font) {
        line.failure(QStringLiteral("%1: %2").arg(path, error));
    }
    return font;
}

// The metrics file beside an OF input, when there is one; a broken one, or one of another font, is named and passed over.
std::unique_ptr<MetricsFile::TextMetrics> metricsBeside(const Cli::CommandLine &line, const QString &input)
{
    const QString path = MetricsFile::metricsPath(input);
    if (!QFileInfo(path).isFile()) {
        return nullptr;
    }
    auto metrics = std::make_unique<MetricsFile::TextMetrics>();
    QString error;
    if (!MetricsFile::readMetricsOf(input, metrics.get(), &error)) {
        line.note(error + QStringLiteral("; placing glyphs by their anchor lines"));
        return nullptr;
    }
    return metrics;
}

/*
 * Writes the atlas's files as one set: the descriptors are staged first, so that a target that cannot
 * be written is found before the page is encoded, and the targets are replaced together, the .fnt that
 * names the page last. json is left out when jsonPath is empty. False with "cannot write PATH: REASON".
 */
bool saveAtlas(const QImage &image, const QString &png, const QByteArray &fntText, const QString &fnt, const QByteArray &jsonText,
               const QString &json, QString *error)
{
    StagedFiles files({QFileInfo(png).absolutePath(), QFileInfo(fnt).absolutePath()});
    QList<StagedFile> set;
    QString reason;
    const auto stage = [&](const QString &path, const std::function<bool(QIODevice *, QString *)> &content) {
        const StagedFile staged = StagedFiles::write(path, content, &reason);
        if (staged.isNull()) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
            for (const StagedFile &other : qAsConst(set)) {
                StagedFiles::drop(other);
            }
            return false;
        }
        set.prepend(staged);
        return true;
    };
    const auto bytes = [](const QByteArray &text) {
        return [text](QIODevice *device, QString *why) {
            const bool written = device->write(text) == text.size();
            *why = device->errorString();
            return written;
        };
    };
    const bool staged = stage(fnt, bytes(fntText)) && (json.isEmpty() || stage(json, bytes(jsonText)))
                        && stage(png, [&](QIODevice *device, QString *why) {
                               QImageWriter writer(device, "png");
                               const bool written = writer.write(image);
                               *why = writer.errorString();
                               return written;
                           });
    if (!staged) {
        return false;
    }
    files.add(0, set);
    const StagedFiles::Outcome outcome = files.commit().value(0);
    if (!outcome.error.isEmpty()) {
        *error = QStringLiteral("cannot write %1: %2").arg(outcome.target, outcome.error);
        return false;
    }
    return true;
}

int writeAtlas(const Cli::CommandLine &line, const Options &options, const Models::Font &font, const MetricsFile::TextMetrics *metrics)
{
    Atlas::Page page;
    QStringList notes;
    QString error;
    const bool laidOut = Atlas::layOut(font, options.shape, &page, &notes, &error, metrics);
    for (const QString &note : qAsConst(notes)) {
        line.note(note);
    }
    if (!laidOut) {
        return line.failure(error);
    }
    const QImage image = Atlas::draw(page);
    if (image.isNull()) {
        return line.failure(QStringLiteral("not enough memory for a %1 x %2 atlas").arg(page.pageSize.width()).arg(page.pageSize.height()));
    }
    const QString fnt = options.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? besideOutput(options.output, QStringLiteral(".fnt")) : options.output;
    const QString png = besideOutput(fnt, QStringLiteral(".png"));
    const QString pageFile = QFileInfo(png).fileName();
    const QString json = besideOutput(fnt, QStringLiteral(".json"));
    if (!saveAtlas(image, png, Atlas::fntText(page, pageFile), fnt, options.json ? Atlas::jsonText(page, pageFile) : QByteArray(),
                   options.json ? json : QString(), &error)) {
        return line.failure(error);
    }
    std::printf("%s: %d glyphs on a %d x %d page (%s)\n", fnt.toUtf8().constData(), int(page.glyphs.size()),
                page.pageSize.width(), page.pageSize.height(), png.toUtf8().constData());
    return Cli::exitOk;
}

int convertFont(const Cli::CommandLine &line, const Options &options)
{
    const std::unique_ptr<Models::Font> font = readInput(line, options.input);
    if (!font) {
        return Cli::exitFailure;
    }
    const std::unique_ptr<MetricsFile::TextMetrics> metrics = metricsBeside(line, options.input);
    if (options.to == Format::Atlas) {
        return writeAtlas(line, options, *font, metrics.get());
    }
    if (options.to == Format::Of) {
        if (!Cli::saveFont(line.command(), font.get(), options.output, options.compress)) {
            return Cli::exitFailure;
        }
        std::printf("%s: %d letters\n", options.output.toUtf8().constData(), int(font->getCharacters().size()));
        return Cli::exitOk;
    }
    QStringList notes;
    const Bdf::Font bdf = Convert::toBdf(*font, options.threshold, &notes, metrics.get());
    for (const QString &note : qAsConst(notes)) {
        line.note(note);
    }
    QString error;
    if (!Cli::saveBytes(Bdf::write(bdf), options.output, &error)) {
        return line.failure(error);
    }
    std::printf("%s: %d glyphs, ascent %d, descent %d\n", options.output.toUtf8().constData(), int(bdf.glyphs.size()),
                bdf.ascent, bdf.descent);
    return Cli::exitOk;
}

} // namespace

void declareConvert(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool convert IN OUT [--to of|bdf|fnt] [options]"), QStringLiteral(R"(Converts a font between an OF font file, BDF 2.1 and a BMFont atlas. IN is an OF font file or a BDF file
(told apart by what it starts with); the format of OUT comes from its extension or --to.

- OF to BDF: one glyph per letter of one code point, ink where the first picture's alpha reaches
  --threshold. Letters with anchor lines other than 0/100/0/100 stand on the line as those say, in
  pixels; otherwise each image is its line box and the baseline its bottom edge.
- OF to an atlas: OUT.fnt (BMFont text), OUT.png beside it, and OUT.json with --json: every
  letter's first picture, cut to its visible pixels and packed with 1 pixel between glyphs.
- With IN.metrics.json beside an OF font file (oftool render --metrics), the pen origins, baselines,
  advances, ascent, descent and pixel size come from it, and the atlas gets its kerning pairs.
- BDF to OF: each glyph becomes a letter with one picture, ink opaque black on transparent pixels,
  the image the glyph's line box, with anchor lines in pixels (upLine the top of the line, baseLine
  the baseline, leftLine the pen origin, rightLine the origin plus the advance).

Examples:
  oftool convert DejaVu_Sans__Book__16.of sans16.bdf
  oftool convert DejaVu_Sans__Book__32.of sans32.fnt --atlas-size tight --json
  oftool convert terminus-16.bdf terminus16.of

Exit status: 0 written, 1 usage error, 2 IN could not be read or OUT not written.)"));
    line.addOptions({
        {QStringLiteral("to"), QStringLiteral("Format of OUT: of, bdf or fnt (default: from OUT's extension)."), QStringLiteral("format")},
        {QStringLiteral("threshold"), QStringLiteral("Alpha from which a pixel is ink in a BDF bitmap, 1 to 255 (default: %1).").arg(defaultThreshold),
         QStringLiteral("N")},
        {QStringLiteral("atlas-size"), QStringLiteral("pot: the smallest page with power-of-two sides (default); tight: just large enough."),
         QStringLiteral("shape")},
        {QStringLiteral("json"), QStringLiteral("Also write the atlas data as JSON.")},
        Cli::compressOption(),
    });
    line.addArgument(QStringLiteral("IN"), QStringLiteral("The font to convert."));
    line.addArgument(QStringLiteral("OUT"), QStringLiteral("The file to write."));
}

int runConvert(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, convertFont);
}
