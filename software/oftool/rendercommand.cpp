#include "commands.h"

#include "charset.h"
#include "command.h"
#include "glyphoptions.h"
#include "metricsfile.h"
#include "outputfile.h"
#include "progress.h"

#include "glyphmetrics.h"
#include "glyphrenderer.h"
#include "installedfonts.h"
#include "rendersettings.h"

#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QRawFont>
#include <QSet>

#include <algorithm>
#include <cstdio>

namespace {

const QString defaultFamily = QStringLiteral("DejaVu Sans");
const QString defaultStyle = QStringLiteral("Book");
constexpr int defaultSize = 32;
constexpr int maxSize = 1024;
constexpr int defaultDpi = 96;

/* Where the files go: one file named by --output, or a directory where each gets its own name. */
struct Destination {
    QString singlePath;
    QDir directory = QDir::current();
};

struct Options {
    int dpi = defaultDpi;
    QString family; // as installed
    QStringList styles;
    QList<int> sizes;
    QVector<uint> codePoints;
    QString output; // as given
    Destination destination;
    bool strict = false;
    bool skipMissing = false;
    RenderSettings settings;
};

struct Job {
    QString style;
    int size = 0;
    QFont font;
    QString path;
    QStringList letters;
    QVector<uint> missing;
};

// The --dpi value as the raw command line gives it (null for the default); false when it is none.
bool parseDpi(const QString &text, int *dpi)
{
    bool ok = true;
    *dpi = text.isNull() ? defaultDpi : text.toInt(&ok, 10);
    return ok && *dpi >= 1 && *dpi <= 10000;
}

QString pickDefaultStyle(const QStringList &styles)
{
    for (const QString &preferred : {defaultStyle, QStringLiteral("Regular"), QStringLiteral("Normal"),
                                     QStringLiteral("Roman"), QStringLiteral("Medium")}) {
        if (styles.contains(preferred)) {
            return preferred;
        }
    }
    return styles.value(0);
}

// Cli::exitOk with the sizes to render; otherwise the status of the usage error it printed.
int readSizes(const Cli::CommandLine &line, QList<int> *sizes)
{
    if (!line.isSet(QStringLiteral("size"))) {
        sizes->append(defaultSize);
        return Cli::exitOk;
    }
    for (const QString &item : line.value(QStringLiteral("size")).split(QLatin1Char(','))) {
        bool ok = false;
        const int size = item.trimmed().toInt(&ok, 10);
        if (!ok || size <= 0 || size > maxSize) {
            return line.usageError(QStringLiteral("--size: \"%1\" is not a point size from 1 to %2").arg(item.trimmed(), QString::number(maxSize)));
        }
        if (!sizes->contains(size)) {
            sizes->append(size);
        }
    }
    return Cli::exitOk;
}

QStringList lettersOf(const QVector<uint> &codePoints, const QVector<uint> &leaveOut)
{
    // A set: a large character list can lack tens of thousands of its characters.
    const QSet<uint> left(leaveOut.cbegin(), leaveOut.cend());
    QStringList letters;
    letters.reserve(codePoints.size());
    for (const char32_t codePoint : codePoints) {
        if (!left.contains(codePoint)) {
            letters.append(Charset::letterOf(codePoint));
        }
    }
    return letters;
}

QVector<uint> fixedCodePoints()
{
    QVector<uint> codePoints;
    for (const QString &letter : defaultLetters()) {
        codePoints.append(letter.toUcs4().value(0));
    }
    return codePoints;
}

// Letters drawn without a single visible pixel: too small a size, or a character with no ink.
QString emptyLettersNote(const QString &path, const QStringList &letters)
{
    constexpr int shown = 10;
    QStringList labels;
    for (const QString &letter : letters.mid(0, shown)) {
        labels.append(Cli::letterLabel(letter));
    }
    return QStringLiteral("oftool render: %1: %2 letter%3 came out without ink: %4%5")
        .arg(path, QString::number(letters.size()), letters.size() == 1 ? QString() : QStringLiteral("s"),
             labels.join(QLatin1Char(' ')), letters.size() > shown ? QStringLiteral(" ...") : QString());
}

// Characters that the font itself lacks; Qt would otherwise draw them from a fallback font.
QVector<uint> missingFrom(const QFont &font, const QVector<uint> &codePoints)
{
    const QRawFont raw = QRawFont::fromFont(font);
    QVector<uint> missing;
    for (const uint codePoint : codePoints) {
        if (!raw.isValid() || !raw.supportsCharacter(codePoint)) {
            missing.append(codePoint);
        }
    }
    return missing;
}

// Cli::exitOk with the family as installed; otherwise the status of the usage error it printed.
int readFamily(const Cli::CommandLine &line, QString *family)
{
    *family = line.isSet(QStringLiteral("family")) ? line.value(QStringLiteral("family")) : defaultFamily;
    const QStringList families = InstalledFonts::families();
    const auto knownFamily = std::find_if(families.cbegin(), families.cend(), [&](const QString &known) {
        return known.compare(*family, Qt::CaseInsensitive) == 0;
    });
    if (knownFamily == families.cend()) {
        return line.usageError(QStringLiteral("--family: no installed font family is called \"%1\" "
                                              "(fc-list : family lists them)").arg(*family));
    }
    *family = *knownFamily;
    return Cli::exitOk;
}

// Cli::exitOk with the styles of family to render; otherwise the status of the usage error it printed.
int readStyles(const Cli::CommandLine &line, const QString &family, QStringList *styles)
{
    const QStringList familyStyles = InstalledFonts::styles(family);
    if (line.isSet(QStringLiteral("all-styles"))) {
        if (line.isSet(QStringLiteral("style"))) {
            return line.usageError(QStringLiteral("--style and --all-styles exclude each other"));
        }
        *styles = familyStyles;
        std::sort(styles->begin(), styles->end());
    } else if (line.isSet(QStringLiteral("style"))) {
        const QString style = line.value(QStringLiteral("style"));
        const auto knownStyle = std::find_if(familyStyles.cbegin(), familyStyles.cend(), [&](const QString &known) {
            return known.compare(style, Qt::CaseInsensitive) == 0;
        });
        if (knownStyle == familyStyles.cend()) {
            return line.usageError(QStringLiteral("--style: %1 has no style \"%2\"; it has: %3")
                                       .arg(family, style, familyStyles.join(QStringLiteral(", "))));
        }
        styles->append(*knownStyle);
    } else {
        styles->append(pickDefaultStyle(familyStyles));
    }
    return Cli::exitOk;
}

// Cli::exitOk with the code points to draw; otherwise the status of the error it printed.
int readCharacters(const Cli::CommandLine &line, QVector<uint> *codePoints)
{
    const bool fromList = line.isSet(QStringLiteral("chars"));
    const bool fromFile = line.isSet(QStringLiteral("chars-file"));
    QString error;
    if (fromList && !Charset::parseList(line.value(QStringLiteral("chars")), codePoints, &error)) {
        return line.usageError(QStringLiteral("--chars: ") + error);
    }
    if (fromFile) {
        switch (Charset::readFile(line.value(QStringLiteral("chars-file")), codePoints, &error)) {
        case Charset::FileRead::Done:
            break;
        case Charset::FileRead::Unreadable:
            return line.failure(QStringLiteral("--chars-file: ") + error);
        case Charset::FileRead::Refused:
            return line.usageError(QStringLiteral("--chars-file: ") + error);
        }
    }
    if (!fromList && !fromFile) {
        *codePoints = fixedCodePoints();
    }
    return Cli::exitOk;
}

// Cli::exitOk with where fileCount files go, a directory made when missing; otherwise the status of the error it printed.
int resolveDestination(const Cli::CommandLine &line, const QString &output, int fileCount, Destination *destination)
{
    if (output.isEmpty()) {
        return Cli::exitOk;
    }
    const bool namesDirectory = output.endsWith(QLatin1Char('/')) || QFileInfo(output).isDir();
    if (fileCount == 1 && !namesDirectory) {
        destination->singlePath = QFileInfo(output).absoluteFilePath();
        return Cli::exitOk;
    }
    if (QFileInfo::exists(output) && !QFileInfo(output).isDir()) {
        return line.usageError(QStringLiteral("--output: %1 files go into a directory, and \"%2\" is a file")
                                   .arg(fileCount).arg(output));
    }
    if (!namesDirectory && output.endsWith(QLatin1String(".of"), Qt::CaseInsensitive)) {
        return line.usageError(QStringLiteral("--output: %1 files go into a directory, and \"%2\" ends in .of like "
                                              "a file; end it with \"/\" to make it a directory")
                                   .arg(fileCount).arg(output));
    }
    // A directory literally named "~" is a trap: removing it later with rm -rf ~ removes the home directory.
    if (output.startsWith(QLatin1Char('~')) && !QFileInfo::exists(output)) {
        return line.usageError(QStringLiteral("--output: \"%1\" starts with \"~\", which the shell did not expand "
                                              "(it does not inside quotes or after \"=\"); use $HOME").arg(output));
    }
    if (!QDir().mkpath(output)) {
        return line.failure(QStringLiteral("cannot create the directory %1").arg(output));
    }
    destination->directory = QDir(output);
    return Cli::exitOk;
}

// Cli::exitOk with every option read and the output directory made; otherwise the status of the error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    const QString dpiText = line.peek(QStringLiteral("dpi"));
    if (!parseDpi(dpiText, &options->dpi)) {
        return line.usageError(QStringLiteral("--dpi: \"%1\" is not a number from 1 to 10000").arg(dpiText));
    }
    options->strict = line.isSet(QStringLiteral("strict"));
    options->skipMissing = line.isSet(QStringLiteral("skip-missing"));
    if (options->strict && options->skipMissing) {
        return line.usageError(QStringLiteral("--strict and --skip-missing exclude each other"));
    }
    options->output = line.value(QStringLiteral("output"));

    // Only now: the database reads every installed font, and the checks above need none.
    int status = readFamily(line, &options->family);
    if (status == Cli::exitOk) {
        status = readStyles(line, options->family, &options->styles);
    }
    if (status == Cli::exitOk) {
        status = readSizes(line, &options->sizes);
    }
    if (status == Cli::exitOk) {
        status = readCharacters(line, &options->codePoints);
    }
    if (status == Cli::exitOk) {
        status = readGlyphOptions(line, &options->settings);
        options->settings.dpi = options->dpi;
    }
    if (status == Cli::exitOk) {
        const int fileCount = options->styles.size() * options->sizes.size();
        status = resolveDestination(line, options->output, fileCount, &options->destination);
    }
    return status;
}

QList<Job> planJobs(const Options &options)
{
    const Destination &destination = options.destination;
    QList<Job> jobs;
    for (const QString &style : options.styles) {
        for (const int size : options.sizes) {
            Job job;
            job.style = style;
            job.size = size;
            job.font = InstalledFonts::font(options.family, style, size);
            const QString name = defaultFontFileName(options.family, style, QString::number(size));
            job.path = destination.singlePath.isEmpty() ? destination.directory.absoluteFilePath(name) : destination.singlePath;
            job.missing = missingFrom(job.font, options.codePoints);
            job.letters = options.skipMissing ? lettersOf(options.codePoints, job.missing) : lettersOf(options.codePoints, {});
            jobs.append(job);
        }
    }
    return jobs;
}

// Names every character a job's font lacks; whether there is any.
bool reportMissing(const Options &options, const QList<Job> &jobs)
{
    bool any = false;
    for (const Job &job : jobs) {
        for (const char32_t codePoint : job.missing) {
            std::fprintf(stderr, "oftool render: %s %s lacks %s (%s)%s\n", options.family.toUtf8().constData(),
                         job.style.toUtf8().constData(), Charset::codePointName(codePoint).toUtf8().constData(),
                         Charset::letterOf(codePoint).toUtf8().constData(), options.skipMissing ? ", left out" : "");
            any = true;
        }
    }
    return any;
}

// Why a job's file was not written, when something says more than "could not write".
QString whyNotWritten(const Options &options, const Job &job)
{
    if (fitsPixelBudget(job.font, job.letters, options.settings)) {
        const QString reason = Cli::cannotWrite(job.path, options.output);
        return reason.isEmpty() ? QString() : QStringLiteral("oftool render: ") + reason;
    }
    const int largest = largestFittingPointSize(job.font, job.letters, options.settings);
    return QStringLiteral("oftool render: %1 %2 %3 pt: the glyph images would take more than %4 pixels; %5")
        .arg(options.family, job.style, QString::number(job.size), QString::number(maxGlyphPixels),
             largest > 0 ? QStringLiteral("the largest size that fits is %1 pt").arg(largest)
                         : QStringLiteral("not even 1 pt fits; draw fewer characters"));
}

// Writes every job's file, printing the path of each one written; how many were.
int writeFiles(const Options &options, const QList<Job> &jobs)
{
    Progress progress(jobs.size());
    int written = 0;
    for (int i = 0; i < jobs.size(); ++i) {
        const Job &job = jobs.at(i);
        const QFontInfo info(job.font);
        const QString description = QStringLiteral("%1 %2 %3 pt (%4, %5, %6 px at %7 dpi)")
                                        .arg(options.family, job.style, QString::number(job.size), info.family(), info.styleName(),
                                             QString::number(renderedPixelSize(job.font, options.dpi)), QString::number(options.dpi));
        const QString fontName = defaultFontFileName(options.family, job.style, QString::number(job.size));
        QStringList emptyLetters;
        FontGeometry geometry;
        QString metricsError;
        if (produceFontFile(job.font, fontName, job.path, job.letters, options.settings, &geometry, &emptyLetters)
            && Cli::writeMetricsFile(job.path, options.settings, geometry, &metricsError)) {
            ++written;
            std::printf("%s\n", job.path.toUtf8().constData());
            std::fflush(stdout);
            if (!emptyLetters.isEmpty()) {
                progress.note(emptyLettersNote(job.path, emptyLetters));
            }
            progress.step(i + 1, description + QStringLiteral(" -> ") + job.path);
            continue;
        }
        const QString why = metricsError.isEmpty() ? whyNotWritten(options, job) : QStringLiteral("oftool render: ") + metricsError;
        if (!why.isEmpty()) {
            progress.note(why);
        }
        progress.step(i + 1, description + QStringLiteral(": could not write ") + job.path);
    }
    progress.note(QStringLiteral("oftool render: wrote %1 of %2 file%3").arg(written).arg(jobs.size())
                      .arg(jobs.size() == 1 ? QString() : QStringLiteral("s")));
    return written;
}

// Writes a file per style and size; with --strict, none when a character is missing.
int renderFonts(const Cli::CommandLine &line, const Options &options)
{
    const QList<Job> jobs = planJobs(options);
    if (reportMissing(options, jobs) && options.strict) {
        line.note(QStringLiteral("--strict: characters are missing, no file written"));
        return Cli::exitStrict;
    }
    const int written = writeFiles(options, jobs);
    return written == jobs.size() ? Cli::exitOk : Cli::exitFailure;
}

} // namespace

void prepareRender(const Cli::CommandLine &)
{
    // The renderer sets the DPI on the images it draws into. Qt 6 takes an inherited QT_FONT_DPI as a scale
    // factor, which turns its default hinting off: the bytes would depend on the environment.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
}

void declareRender(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool render [options]"), QStringLiteral(R"(Renders an installed font into an OF font file, as the QuillmereMakeFont window does, without a display.
Without options: DejaVu Sans, style Book, 32 pt, 96 dpi, into the current directory.

Examples:
  oftool render
  oftool render --family "DejaVu Serif" --style Bold --size 12,16,24,32 --output fonts/
  oftool render --size 48 --chars 33-126,0xE0-0xE9 --skip-missing --output latin.of

Exit status: 0 every file written, 1 usage error, 2 a file could not be read or written,
3 --strict and a character is missing from the font.)"));
    line.addOptions({
        {QStringLiteral("family"), QStringLiteral("Font family (default: %1).").arg(defaultFamily), QStringLiteral("name")},
        {QStringLiteral("style"), QStringLiteral("Style of the family (default: %1, or the family's regular style).").arg(defaultStyle),
         QStringLiteral("name")},
        {QStringLiteral("all-styles"), QStringLiteral("Render every style of the family.")},
        {QStringLiteral("size"), QStringLiteral("Point size, or a comma list such as 12,16,24,32 (default: %1). Very large sizes "
                                                "are limited by a pixel budget that depends on the font.").arg(defaultSize),
         QStringLiteral("points")},
        {QStringLiteral("output"), QStringLiteral("Output file for one font, directory for several; a path ending in \"/\" or naming "
                                                  "a directory is taken as one, made when missing (default: current "
                                                  "directory)."),
         QStringLiteral("path")},
        {QStringLiteral("dpi"), QStringLiteral("Logical dots per inch, so sizes do not depend on the machine (default: %1).").arg(defaultDpi),
         QStringLiteral("dpi")},
        {QStringLiteral("chars"), QStringLiteral("Characters to draw instead of the usual 99: code points and ranges, "
                                                 "such as 33-126,0xA8,0xE0-0xE9."), QStringLiteral("list")},
        {QStringLiteral("chars-file"), QStringLiteral("Characters to draw, read from a UTF-8 text file (white space ignored)."),
         QStringLiteral("file")},
        {QStringLiteral("strict"), QStringLiteral("Fail, writing nothing, when the font lacks a character.")},
        {QStringLiteral("skip-missing"), QStringLiteral("Leave out the characters the font lacks.")},
    });
    declareGlyphOptions(line);
}

int runRender(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, renderFonts);
}
