#include "commands.h"

#include "batchrunner.h"
#include "charset.h"
#include "command.h"
#include "fontmerge.h"
#include "fontsource.h"
#include "manifest.h"
#include "outputfile.h"
#include "progress.h"
#include "renderjob.h"
#include "sizelist.h"
#include "stagedfiles.h"

#include "glyphrenderer.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QString defaultFamily = QStringLiteral("DejaVu Sans");
const QString defaultStyle = QStringLiteral("Book");
constexpr int defaultSize = 32;
constexpr int maxSize = 1024;
constexpr int defaultDpi = 96;
constexpr int maxThreads = 256;
constexpr int shownCodePoints = 8;

/* Where the files go: one file named by --output, or a directory where each gets its own name. */
struct Destination {
    QString singlePath;
    QDir directory = QDir::current();
};

enum class Missing { Draw, Strict, Skip, SkipFont };

struct Options {
    int dpi = defaultDpi;
    QList<FontSources::Face> faces;
    int refusedFiles = 0; // font files that could not be used, each already named
    int skippedFonts = 0; // installed families without the style asked for, each already named
    QList<int> sizes;
    bool pixels = false;
    QVector<uint> codePoints;
    QString output; // as given
    Destination destination;
    Missing missing = Missing::Draw;
    int threads = 1;
    QString manifest;
    QString into; // the one file every font goes into, as pictures of its letters
};

// The --dpi value as the raw command line gives it (null for the default); false when it is none.
bool parseDpi(const QString &text, int *dpi)
{
    bool ok = true;
    *dpi = text.isNull() ? defaultDpi : text.toInt(&ok, 10);
    return ok && *dpi >= 1 && *dpi <= 10000;
}

// Cli::exitOk with the sizes to render; otherwise the status of the usage error it printed.
int readSizes(const Cli::CommandLine &line, Options *options)
{
    const bool points = line.isSet(QStringLiteral("size"));
    options->pixels = line.isSet(QStringLiteral("px"));
    if (points && options->pixels) {
        return line.usageError(QStringLiteral("--size and --px exclude each other"));
    }
    if (!points && !options->pixels) {
        options->sizes.append(defaultSize);
        return Cli::exitOk;
    }
    const QString name = options->pixels ? QStringLiteral("px") : QStringLiteral("size");
    QString error;
    if (!Sizes::parseList(line.value(name), maxSize, options->pixels ? QStringLiteral("pixel size") : QStringLiteral("point size"),
                          &options->sizes, &error)) {
        return line.usageError(QStringLiteral("--%1: %2").arg(name, error));
    }
    return Cli::exitOk;
}

QVector<uint> fixedCodePoints()
{
    QVector<uint> codePoints;
    for (const QString &letter : defaultLetters()) {
        codePoints.append(letter.toUcs4().value(0));
    }
    return codePoints;
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

// Cli::exitOk with the styles of family to render; otherwise the status of the usage error it printed.
int readStyles(const Cli::CommandLine &line, const QFontDatabase &database, const QString &family, QStringList *styles)
{
    const QStringList familyStyles = database.styles(family);
    if (line.isSet(QStringLiteral("all-styles"))) {
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
        styles->append(FontSources::defaultStyle(familyStyles));
    }
    return Cli::exitOk;
}

// Cli::exitOk with the installed families' faces added; otherwise the status of the usage error it printed.
int readFamilies(const Cli::CommandLine &line, Options *options)
{
    const bool all = line.isSet(QStringLiteral("all-families"));
    QStringList names = line.values(QStringLiteral("family"));
    if (all && !names.isEmpty()) {
        return line.usageError(QStringLiteral("--family and --all-families exclude each other"));
    }
    if (line.isSet(QStringLiteral("style")) && line.isSet(QStringLiteral("all-styles"))) {
        return line.usageError(QStringLiteral("--style and --all-styles exclude each other"));
    }
    const bool fromFiles = line.isSet(QStringLiteral("font-file")) || line.isSet(QStringLiteral("font-dir"));
    const QFontDatabase database;
    QStringList families;
    if (all) {
        for (const QString &family : database.families()) {
            // Generic names such as "Monospace" are listed too; their fonts come with the real family.
            if (!database.isPrivateFamily(family) && FontSources::installedFamily(database, family) == family) {
                families.append(family);
            }
        }
    } else if (names.isEmpty() && !fromFiles) {
        names.append(defaultFamily);
    }
    for (const QString &name : names) {
        const QString family = FontSources::installedFamily(database, name);
        if (family.isEmpty()) {
            return line.usageError(QStringLiteral("--family: no installed font family is called \"%1\" "
                                                  "(fc-list : family lists them)").arg(name));
        }
        if (family.compare(name, Qt::CaseInsensitive) != 0 && !name.startsWith(family + QLatin1Char(','))) {
            line.note(QStringLiteral("\"%1\" is %2").arg(name, family));
        }
        if (!families.contains(family)) {
            families.append(family);
        }
    }
    for (const QString &family : families) {
        QStringList styles;
        if (families.size() > 1 && line.isSet(QStringLiteral("style"))
            && !database.styles(family).contains(line.value(QStringLiteral("style")), Qt::CaseInsensitive)) {
            line.note(QStringLiteral("%1 has no style \"%2\"; skipped").arg(family, line.value(QStringLiteral("style"))));
            ++options->skippedFonts;
            continue;
        }
        const int status = readStyles(line, database, family, &styles);
        if (status != Cli::exitOk) {
            return status;
        }
        for (const QString &style : styles) {
            options->faces.append(FontSources::Face{family, style, family, QString(), -1});
        }
    }
    return Cli::exitOk;
}

// Registers every font file named or found; each one refused gets a line and is counted.
void readFontFiles(const Cli::CommandLine &line, Options *options)
{
    QStringList specs = line.values(QStringLiteral("font-file"));
    for (const QString &directory : line.values(QStringLiteral("font-dir"))) {
        if (!QFileInfo(directory).isDir()) {
            line.note(QStringLiteral("--font-dir: %1: not a directory").arg(directory));
            ++options->refusedFiles;
            continue;
        }
        QStringList problems;
        int scanned = 0;
        const QStringList found = FontSources::filesIn(directory, &problems, &scanned);
        for (const QString &problem : problems) {
            line.note(problem);
        }
        options->refusedFiles += problems.size();
        if (found.isEmpty() && problems.isEmpty()) {
            line.note(QStringLiteral("--font-dir: %1: no font files among its %2 files").arg(directory).arg(scanned));
            ++options->refusedFiles;
        }
        specs += found;
    }
    for (const QString &spec : specs) {
        QString error;
        if (!FontSources::addFile(spec, &options->faces, &error)) {
            line.note(QStringLiteral("%1: %2").arg(spec, error));
            ++options->refusedFiles;
        }
    }
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

// Cli::exitOk with the flags read; otherwise the status of the usage error it printed.
int readFlags(const Cli::CommandLine &line, Options *options)
{
    const QString dpiText = line.peek(QStringLiteral("dpi"));
    if (!parseDpi(dpiText, &options->dpi)) {
        return line.usageError(QStringLiteral("--dpi: \"%1\" is not a number from 1 to 10000").arg(dpiText));
    }
    const QList<QPair<QString, Missing>> modes{{QStringLiteral("strict"), Missing::Strict},
                                              {QStringLiteral("skip-missing"), Missing::Skip},
                                              {QStringLiteral("skip-incomplete"), Missing::SkipFont}};
    QStringList given;
    for (const auto &mode : modes) {
        if (line.isSet(mode.first)) {
            given.append(QStringLiteral("--") + mode.first);
            options->missing = mode.second;
        }
    }
    if (given.size() > 1) {
        return line.usageError(QStringLiteral("%1 exclude each other").arg(given.join(QStringLiteral(" and "))));
    }
    options->threads = QThread::idealThreadCount();
    if (line.isSet(QStringLiteral("jobs"))) {
        bool ok = false;
        options->threads = line.value(QStringLiteral("jobs")).toInt(&ok, 10);
        if (!ok || options->threads < 1 || options->threads > maxThreads) {
            return line.usageError(QStringLiteral("-j: \"%1\" is not a number of threads from 1 to %2")
                                       .arg(line.value(QStringLiteral("jobs")), QString::number(maxThreads)));
        }
    }
    options->manifest = line.value(QStringLiteral("manifest"));
    options->output = line.value(QStringLiteral("output"));
    options->into = line.value(QStringLiteral("into"));
    if (!options->into.isEmpty() && (!options->output.isEmpty() || !options->manifest.isEmpty())) {
        return line.usageError(QStringLiteral("--into writes one file, so --output and --manifest do not go with it"));
    }
    return Cli::exitOk;
}

// Cli::exitOk with every option read and the output directory made; otherwise the status of the error it printed.
int readOptions(const Cli::CommandLine &line, Options *options)
{
    int status = readFlags(line, options);
    if (status == Cli::exitOk) {
        status = readSizes(line, options);
    }
    if (status == Cli::exitOk && !options->into.isEmpty() && options->sizes.size() != 1) {
        status = line.usageError(QStringLiteral("--into takes the fonts at one size; %1 are given").arg(options->sizes.size()));
    }
    if (status == Cli::exitOk) {
        status = readCharacters(line, &options->codePoints);
    }
    // Only now: the database reads every installed font, and the checks above need none.
    if (status == Cli::exitOk) {
        status = readFamilies(line, options);
    }
    if (status == Cli::exitOk) {
        readFontFiles(line, options);
        const int fileCount = options->faces.size() * options->sizes.size();
        status = resolveDestination(line, options->output, fileCount, &options->destination);
    }
    return status;
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

QStringList lettersOf(const QVector<uint> &codePoints, const QVector<uint> &leaveOut)
{
    // A set: a large character list can lack tens of thousands of its characters.
    const QSet<uint> left(leaveOut.cbegin(), leaveOut.cend());
    QStringList letters;
    letters.reserve(codePoints.size());
    for (const uint codePoint : codePoints) {
        if (!left.contains(codePoint)) {
            letters.append(QString::fromUcs4(&codePoint, 1));
        }
    }
    return letters;
}

QString fontLabel(const FontSources::Face &face)
{
    const QString label = face.family + QLatin1Char(' ') + face.style;
    return face.file.isEmpty() ? label : QStringLiteral("%1 (%2#%3)").arg(label, face.file).arg(face.faceIndex);
}

// "3 of 99 characters: U+4E00 U+4E01 U+4E02"
QString lackText(const Job &job)
{
    QStringList names;
    for (const uint codePoint : job.missing.mid(0, shownCodePoints)) {
        names.append(Charset::codePointName(codePoint));
    }
    return QStringLiteral("%1 of %2 character%3: %4%5")
        .arg(job.missing.size()).arg(job.requested.size()).arg(job.requested.size() == 1 ? QString() : QStringLiteral("s"))
        .arg(names.join(QLatin1Char(' ')), job.missing.size() > shownCodePoints ? QStringLiteral(" ...") : QString());
}

/* The batch once planned: the jobs to render, and what was decided without rendering. */
struct Plan {
    QList<Job> jobs;
    int skipped = 0;
    int failed = 0;
    int incomplete = 0;
    int strictRefusals = 0;
    QStringList incompleteFonts; // the fonts --skip-incomplete left out
};

// A job per font and size, less those that --strict or --skip-incomplete leave out; prints a line per incomplete file.
Plan planJobs(const Cli::CommandLine &line, const Options &options)
{
    Plan plan;
    QHash<QString, QVector<uint>> missingByFont; // the characters a font has do not depend on its size
    QSet<QString> paths;
    for (const FontSources::Face &face : options.faces) {
        for (const int size : options.sizes) {
            Job job;
            job.face = face;
            job.size = size;
            job.pixels = options.pixels;
            job.dpi = options.dpi;
            job.typedOutput = options.output;
            const QString sizeName = options.pixels ? QStringLiteral("%1px").arg(size) : QString::number(size);
            job.fontName = defaultFontFileName(face.family, face.style, sizeName);
            job.path = options.destination.singlePath.isEmpty() ? options.destination.directory.absoluteFilePath(job.fontName)
                                                                : options.destination.singlePath;
            job.requested = options.codePoints;
            const QString key = face.queryFamily + QLatin1Char('\n') + face.style;
            if (!missingByFont.contains(key)) {
                missingByFont.insert(key, missingFrom(jobFont(job), options.codePoints));
            }
            job.missing = missingByFont.value(key);
            job.letters = lettersOf(options.codePoints, options.missing == Missing::Skip ? job.missing : QVector<uint>());
            job.keepFont = !options.into.isEmpty();

            if (paths.contains(job.path) && !job.keepFont) {
                line.note(QStringLiteral("%1: %2 %3 would replace the file another font of this run writes; not written")
                              .arg(job.path, fontLabel(face), sizeText(job)));
                ++plan.failed;
                continue;
            }
            paths.insert(job.path);
            if (job.missing.isEmpty()) {
                plan.jobs.append(job);
                continue;
            }
            ++plan.incomplete;
            switch (options.missing) {
            case Missing::SkipFont:
                ++plan.skipped;
                if (size == options.sizes.first()) {
                    plan.incompleteFonts.append(QStringLiteral("%1 lacks %2").arg(fontLabel(face), lackText(job)));
                }
                continue;
            case Missing::Strict:
                line.note(QStringLiteral("%1: %2 lacks %3; not written (--strict)").arg(job.path, fontLabel(face), lackText(job)));
                ++plan.skipped;
                ++plan.strictRefusals;
                continue;
            case Missing::Skip:
                line.note(QStringLiteral("%1: %2 lacks %3; left out").arg(job.path, fontLabel(face), lackText(job)));
                break;
            case Missing::Draw:
                line.note(QStringLiteral("%1: %2 lacks %3; Qt draws them from another font")
                              .arg(job.path, fontLabel(face), lackText(job)));
                break;
            }
            plan.jobs.append(job);
        }
    }
    return plan;
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

/* What became of the planned jobs. */
struct Outcome {
    int written = 0;
    int failed = 0;
    int stopped = 0;
};

// Renders the plan's jobs, printing the path of each file once it is in place.
Outcome writeFiles(const Options &options, const Plan &plan, Manifest *manifest)
{
    Progress progress(plan.jobs.size());
    StagedFiles staged;
    QHash<int, JobResult> waiting; // rendered, until their files are committed
    const std::unique_ptr<Models::Font> into(options.into.isEmpty() ? nullptr : new Models::Font(QFileInfo(options.into).fileName()));
    Outcome outcome;
    const auto commit = [&] {
        for (const StagedFiles::Outcome &file : staged.commit()) {
            const Job &job = plan.jobs.at(file.id);
            if (!file.error.isEmpty()) {
                progress.note(QStringLiteral("oftool render: cannot write %1: %2").arg(job.path, file.error));
                ++outcome.failed;
                continue;
            }
            ++outcome.written;
            manifest->add(job, waiting.value(file.id));
            std::printf("%s\n", job.path.toUtf8().constData());
        }
        std::fflush(stdout);
        waiting.clear();
    };
    const int tried = runJobs(plan.jobs, options.threads, [&](int index, const JobResult &result) {
        const Job &job = plan.jobs.at(index);
        const QString description = QStringLiteral("%1 %2 %3 (%4, %5, %6 px at %7 dpi)")
                                        .arg(job.face.family, job.face.style, sizeText(job), result.resolvedFamily,
                                             result.resolvedStyle, QString::number(result.pixelSize), QString::number(job.dpi));
        if (result.font) {
            mergeFont(into.get(), *result.font);
            progress.step(index + 1, description + QStringLiteral(" -> ") + options.into);
        } else if (!result.staged.isEmpty()) {
            staged.add(index, result.staged, job.path);
            waiting.insert(index, result);
            if (!result.emptyLetters.isEmpty()) {
                progress.note(emptyLettersNote(job.path, result.emptyLetters));
            }
            progress.step(index + 1, description + QStringLiteral(" -> ") + job.path);
        } else {
            progress.note(result.error);
            progress.step(index + 1, description + QStringLiteral(": could not write ") + job.path);
            ++outcome.failed;
        }
        if (staged.due()) {
            commit();
        }
    });
    commit();
    outcome.stopped = plan.jobs.size() - tried;
    // Fonts cut short by a signal would make a file that looks whole; none is written then.
    if (into && StopSignals::received() == 0 && tried > outcome.failed) {
        if (IOManager::FontFileManager::fontToFile(into.get(), options.into)) {
            outcome.written = tried - outcome.failed;
            std::printf("%s\n", QFileInfo(options.into).absoluteFilePath().toUtf8().constData());
            std::fflush(stdout);
        } else {
            progress.note(QStringLiteral("oftool render: ")
                          + Cli::writeFailure(options.into, options.into, QStringLiteral("could not write %1").arg(options.into)));
            outcome.failed = tried;
        }
    }
    return outcome;
}

// Writes a file per font, style and size, then says what became of them all.
int renderFonts(const Cli::CommandLine &line, const Options &options)
{
    const Plan plan = planJobs(line, options);
    const StopSignals stopSignals;
    Manifest manifest;
    const Outcome outcome = writeFiles(options, plan, &manifest);
    const int written = outcome.written;
    for (const QString &font : plan.incompleteFonts) {
        line.note(QStringLiteral("skipped, incomplete: ") + font);
    }
    const int total = plan.jobs.size() + plan.skipped + plan.failed;
    const int stopped = outcome.stopped;
    const int failed = plan.failed + outcome.failed;
    const QString what = options.into.isEmpty() ? QStringLiteral("wrote %1 of %2 file%3")
                                                : QStringLiteral("put %1 of %2 font%3 into ") + options.into;
    QString summary = QStringLiteral("%1; %2 skipped, %3 failed, %4 incomplete")
                          .arg(what.arg(written).arg(total).arg(total == 1 ? QString() : QStringLiteral("s")))
                          .arg(plan.skipped + options.skippedFonts + stopped).arg(failed).arg(plan.incomplete);
    if (options.refusedFiles > 0) {
        summary += QStringLiteral("; %1 font file%2 refused").arg(options.refusedFiles).arg(options.refusedFiles == 1 ? "" : "s");
    }
    line.note(summary);

    bool manifestSaved = true;
    if (!options.manifest.isEmpty()) {
        QString error;
        manifestSaved = manifest.save(options.manifest, &error);
        if (!manifestSaved) {
            line.note(QStringLiteral("--manifest: cannot write %1: %2").arg(options.manifest, error));
        }
    }
    if (StopSignals::received() != 0) {
        line.note(QStringLiteral("stopped by signal %1 before %2 file%3").arg(StopSignals::received()).arg(stopped)
                      .arg(stopped == 1 ? "" : "s"));
        return 128 + StopSignals::received();
    }
    if (failed > 0 || options.refusedFiles > 0 || !manifestSaved) {
        return Cli::exitFailure;
    }
    return plan.strictRefusals > 0 ? Cli::exitStrict : Cli::exitOk;
}

} // namespace

void prepareRender(const Cli::CommandLine &line)
{
    // The logical DPI has to be fixed before the application object exists.
    int dpi = 0;
    if (parseDpi(line.peek(QStringLiteral("dpi")), &dpi)) {
        qputenv("QT_FONT_DPI", QByteArray::number(dpi));
    }
}

void declareRender(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool render [options]"), QStringLiteral(R"(Renders installed fonts and font files into OF font files, as the QuillmereMakeFont window does, without a display.
Without options: DejaVu Sans, style Book, 32 pt, 96 dpi, into the current directory.
Files are named FAMILY__STYLE__SIZE.of (FAMILY__STYLE__SIZEpx.of for --px), spaces as "_".

Examples:
  oftool render
  oftool render --family "DejaVu Serif" --style Bold --size 12,16,24,32 --output fonts/
  oftool render --size 48 --chars 33-126,0xE0-0xE9 --skip-missing --output latin.of
  oftool render --font-dir downloads/ --size 8-72/8 --skip-incomplete -j 2 --manifest fonts.jsonl --output fonts/

Exit status: 0 every file written, 1 usage error, 2 a file could not be read or written (or a font
file was refused), 3 --strict left out a file whose font lacks a character, 128+N stopped by signal N.)"));
    line.addOptions({
        {QStringLiteral("family"), QStringLiteral("Installed font family, as many times as wanted (default: %1). A comma list as "
                                                  "fc-list prints it stands for its first name; Sans, Serif and Monospace for the "
                                                  "families they stand for.").arg(defaultFamily), QStringLiteral("name")},
        {QStringLiteral("all-families"), QStringLiteral("Render every installed family.")},
        {QStringLiteral("font-file"), QStringLiteral("A font file to render, installed or not, as many times as wanted; PATH#N "
                                                     "for the Nth face of a collection, every face without."), QStringLiteral("path")},
        {QStringLiteral("font-dir"), QStringLiteral("Render the font files (.ttf, .otf, .ttc, .otc, .pfa, .pfb, .woff, .woff2) in "
                                                    "a directory and its subdirectories."), QStringLiteral("dir")},
        {QStringLiteral("style"), QStringLiteral("Style of the installed families (default: %1, or the family's regular style).").arg(defaultStyle),
         QStringLiteral("name")},
        {QStringLiteral("all-styles"), QStringLiteral("Render every style of the installed families.")},
        {QStringLiteral("size"), QStringLiteral("Point sizes: a size, a range such as 8-72, every Nth size of one such as 8-72/4, or a "
                                                "comma list of these (default: %1). Very large sizes are limited by a pixel budget "
                                                "that depends on the font.").arg(defaultSize),
         QStringLiteral("points")},
        {QStringLiteral("px"), QStringLiteral("Pixel sizes instead of point sizes, written as for --size."), QStringLiteral("pixels")},
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
        {QStringLiteral("strict"), QStringLiteral("Write no file whose font lacks a character, and exit with 3.")},
        {QStringLiteral("skip-missing"), QStringLiteral("Leave out the characters a font lacks.")},
        {QStringLiteral("skip-incomplete"), QStringLiteral("Write nothing for a font that lacks a character; such fonts are listed at the end.")},
        {{QStringLiteral("j"), QStringLiteral("jobs")}, QStringLiteral("Files rendered at once (default: the number of processors)."),
         QStringLiteral("n")},
        {QStringLiteral("into"), QStringLiteral("Render every font at one size into this one file, each font's glyph a picture of "
                                                "its letter (see oftool merge)."), QStringLiteral("file")},
        {QStringLiteral("manifest"), QStringLiteral("Write a JSON line per file written to this file: output, source, sizes, "
                                                    "characters, bytes."), QStringLiteral("file")},
    });
}

int runRender(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, renderFonts);
}
