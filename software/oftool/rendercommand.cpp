#include "commands.h"

#include "batchrunner.h"
#include "charactermap.h"
#include "charset.h"
#include "command.h"
#include "glyphoptions.h"
#include "fontmerge.h"
#include "manifest.h"
#include "metricsfile.h"
#include "outputfile.h"
#include "outputname.h"
#include "progress.h"
#include "renderjob.h"
#include "renderoptions.h"
#include "samefile.h"
#include "shardoptions.h"
#include "stagedfiles.h"

#include "glyphrenderer.h"

#include "iomanager/fontfilemanager.h"
#include "models/codepoint.h"
#include "models/font.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QSet>

#include <cstdio>
#include <memory>

namespace {

using Render::Missing;
using Render::Options;

constexpr int shownCodePoints = 8;

// The characters the face's own data maps: the cmap of the font Qt draws with, else its file's.
CharacterMap characterMapOf(const FontSources::Face &face, const QRawFont &raw)
{
    const QByteArray cmap = raw.isValid() ? raw.fontTable("cmap") : QByteArray();
    if (!cmap.isEmpty()) {
        return CharacterMap::fromCmap(cmap);
    }
    if (!face.file.isEmpty()) {
        return CharacterMap::fromFile(face.file, face.faceIndex);
    }
    for (const QString &file : FontSources::installedFiles(face.queryFamily, face.queryStyle)) {
        const CharacterMap map = CharacterMap::fromFile(file, 0);
        if (map.isValid()) {
            return map;
        }
    }
    return CharacterMap();
}

// Characters that the font itself lacks: those it does not map, and those Qt would draw from a fallback font.
QVector<uint> missingFrom(const BatchJob &job, const QVector<uint> &codePoints)
{
    const QRawFont raw = QRawFont::fromFont(jobFont(job));
    const CharacterMap map = characterMapOf(job.face, raw);
    QVector<uint> missing;
    for (const uint codePoint : codePoints) {
        if (!raw.isValid() || !raw.supportsCharacter(codePoint) || (map.isValid() && !map.contains(codePoint))) {
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
    for (const char32_t codePoint : codePoints) {
        if (!left.contains(codePoint)) {
            letters.append(Charset::letterOf(codePoint));
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
QString lackText(const BatchJob &job)
{
    QStringList names;
    for (const uint codePoint : job.missing.mid(0, shownCodePoints)) {
        names.append(Charset::codePointName(codePoint));
    }
    return QStringLiteral("%1 of %2 character%3: %4%5")
        .arg(job.missing.size()).arg(job.requested.size()).arg(job.requested.size() == 1 ? QString() : QStringLiteral("s"))
        .arg(names.join(QLatin1Char(' ')), job.missing.size() > shownCodePoints ? QStringLiteral(" ...") : QString());
}

// FAMILY__STYLE__SIZE.of, spaces as "_", each name kept to its directory. Room is left for the metrics file and the
// temporary names beside it, and a long family is cut before the style, so that every size keeps a name of its own.
QString outputFileName(const FontSources::Face &face, const QString &sizeName, bool nameFromFile)
{
    if (nameFromFile && !face.file.isEmpty()) {
        FontSources::Face named = face;
        named.family = QFileInfo(face.file).completeBaseName();
        named.style = QString::number(face.faceIndex);
        return outputFileName(named, sizeName, false);
    }
    constexpr int besideBytes = 20; // ".metrics.json" and the 7 bytes of a temporary name's ending
    const QString tail = QStringLiteral("__%1.of").arg(sizeName);
    const int room = OutputName::maxBytes - besideBytes - OutputName::utf8Size(tail) - 2;
    const QString style = OutputName::component(QString(face.style).replace(QLatin1Char(' '), QLatin1Char('_')), room / 2);
    const QString family = OutputName::component(QString(face.family).replace(QLatin1Char(' '), QLatin1Char('_')),
                                                 room - OutputName::utf8Size(style));
    return family + QStringLiteral("__") + style + tail;
}

// A job with everything but the characters its font lacks.
BatchJob makeJob(const Options &options, const FontSources::Face &face, int size)
{
    BatchJob job;
    job.face = face;
    job.size = size;
    job.pixels = options.pixels;
    job.dpi = options.dpi;
    job.typedOutput = options.output;
    const QString sizeName = options.pixels ? QStringLiteral("%1px").arg(size) : QString::number(size);
    job.fontName = outputFileName(face, sizeName, options.nameFromFile);
    job.path = options.destination.singlePath.isEmpty() ? options.destination.directory.absoluteFilePath(job.fontName)
                                                        : options.destination.singlePath;
    if (options.compress) {
        job.path = Cli::compressedPath(job.path);
    }
    job.compress = options.compress;
    job.requested = options.codePoints;
    job.keepFont = !options.into.isEmpty();
    job.settings = options.settings;
    return job;
}

// Cli::exitOk when no file of the run would replace one it reads, nor the manifest a font; otherwise the status of
// the usage error printed.
int refuseSameFiles(const Cli::CommandLine &line, const Options &options)
{
    Cli::FileSet files;
    files.add({QStringLiteral("--chars-file"), line.value(QStringLiteral("chars-file"))});
    QString lastFile;
    for (const FontSources::Face &face : options.faces) {
        if (face.file != lastFile) {
            files.add({QStringLiteral("the font file"), face.file});
            lastFile = face.file;
        }
    }
    QList<Cli::NamedFile> outputs{{QStringLiteral("--into"), options.into}, {QStringLiteral("--manifest"), options.manifest}};
    if (options.into.isEmpty()) {
        for (const FontSources::Face &face : options.faces) {
            for (const int size : options.sizes) {
                const QString path = makeJob(options, face, size).path;
                outputs.append({QStringLiteral("--output"), path});
                if (options.settings.metrics) {
                    outputs.append({QStringLiteral("--output"), MetricsFile::metricsPath(path)});
                }
            }
        }
    }
    if (Cli::refuseSameFiles(line, files, outputs) != Cli::exitOk) {
        return Cli::exitUsage;
    }
    // The manifest, written last, must not take the place of a font of the run.
    Cli::FileSet written;
    for (const Cli::NamedFile &output : outputs.mid(2)) {
        written.add(output);
    }
    return Cli::refuseSameFiles(line, written, {{QStringLiteral("--manifest"), options.manifest}});
}

/* The batch once planned: the jobs to render, and what was decided without rendering. */
struct Plan {
    QList<BatchJob> jobs;
    int skipped = 0;
    int failed = 0;
    int incomplete = 0;
    int strictRefusals = 0;
    int passed = 0; // found complete by --resume
    QStringList incompleteFonts; // the fonts --skip-incomplete left out
};

// A job per font and size, less those that --strict or --skip-incomplete leave out; prints a line per incomplete file.
Plan planJobs(const Cli::CommandLine &line, const Options &options)
{
    Plan plan;
    QHash<QString, QVector<uint>> missingByFont; // the characters a font has do not depend on its size
    // Shared by every job that draws them: a list per job is jobs x letters of memory before the first file.
    const QStringList allLetters = options.clusters.isEmpty() ? lettersOf(options.codePoints, QVector<uint>())
                                                              : Charset::lettersWithout(options.clusters, QVector<uint>());
    QHash<QString, QStringList> lettersByFont;
    QSet<QString> paths;
    const Shards::Range mine = Shards::itemsOf(options.shard, qint64(options.faces.size()) * options.sizes.size());
    int place = 0;
    for (const FontSources::Face &face : options.faces) {
        for (const int size : options.sizes) {
            BatchJob job = makeJob(options, face, size);
            job.place = place++;
            // Every shard's paths, so that each shard finds the clashes an unsharded run finds.
            if (paths.contains(job.path) && !job.keepFont) {
                if (mine.contains(job.place)) {
                    line.note(QStringLiteral("%1: %2 %3 would replace the file another font of this run writes; not written")
                                  .arg(job.path, fontLabel(face), sizeText(job)));
                    ++plan.failed;
                }
                continue;
            }
            paths.insert(job.path);
            if (!mine.contains(job.place)) {
                continue;
            }
            const QString key = face.queryFamily + QLatin1Char('\n') + face.queryStyle;
            if (!missingByFont.contains(key)) {
                missingByFont.insert(key, missingFrom(job, options.codePoints));
            }
            job.missing = missingByFont.value(key);
            if (options.missing != Missing::Skip || job.missing.isEmpty()) {
                job.letters = allLetters;
            } else {
                if (!lettersByFont.contains(key)) {
                    lettersByFont.insert(key, options.clusters.isEmpty() ? lettersOf(options.codePoints, job.missing)
                                                                         : Charset::lettersWithout(options.clusters, job.missing));
                }
                job.letters = lettersByFont.value(key);
            }

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

// Takes out of the plan the jobs whose files the manifest records as written and that are still whole, keeping their records.
void passOverComplete(const Options &options, Plan *plan, Manifest *manifest)
{
    const QHash<QString, Manifest::Record> records = Manifest::readRecords(options.manifest);
    QList<BatchJob> left;
    for (const BatchJob &job : qAsConst(plan->jobs)) {
        const auto record = records.constFind(job.path);
        if (record != records.cend() && manifest->keepIfComplete(job, *record)) {
            ++plan->passed;
        } else {
            left.append(job);
        }
    }
    plan->jobs = left;
}

// The labels of the first ten letters, and " ..." after them when there are more.
QString firstLabels(const QStringList &letters)
{
    constexpr int shown = 10;
    QStringList labels;
    for (const QString &letter : letters.mid(0, shown)) {
        labels.append(Models::letterLabel(letter));
    }
    return labels.join(QLatin1Char(' ')) + (letters.size() > shown ? QStringLiteral(" ...") : QString());
}

// Letters drawn without a single visible pixel: too small a size, or a character with no ink.
QString emptyLettersNote(const QString &path, const QStringList &letters)
{
    return QStringLiteral("oftool render: %1: %2 letter%3 came out without ink: %4")
        .arg(path, QString::number(letters.size()), letters.size() == 1 ? QString() : QStringLiteral("s"), firstLabels(letters));
}

// Letters whose images cut their ink off: the default layout, as wide as the advance and as high as the line.
QString clippedLettersNote(const QString &path, const QStringList &letters, int total)
{
    return QStringLiteral("oftool render: %1: %2 of %3 letter%4 lost ink at an image edge: %5; --fit ink keeps it whole")
        .arg(path, QString::number(letters.size()), QString::number(total), total == 1 ? QString() : QStringLiteral("s"),
             firstLabels(letters));
}

/* What became of the planned jobs. */
struct Outcome {
    int written = 0;
    int failed = 0;
    int stopped = 0;
    int clipped = 0; // files with letters that lost ink, as --strict counts them
};

// Writes the font of --into, printing its path; false with a line otherwise.
bool saveInto(const Models::Font &font, const QString &path, bool compress)
{
    if (compress) {
        if (!Cli::saveFont("render", &font, path, true)) {
            return false;
        }
        std::printf("%s\n", QFileInfo(path).absoluteFilePath().toUtf8().constData());
        std::fflush(stdout);
        return true;
    }
    // Through saveBytes rather than fontToFile, whose own warning would make the failure two lines.
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QString error;
    if (!IOManager::FontFileManager::fontToDevice(&font, &bytes) || !Cli::saveBytes(bytes.data(), path, &error)) {
        Cli::note("render", Cli::writeFailure(path, path, error.isEmpty() ? QStringLiteral("could not write %1").arg(path) : error));
        return false;
    }
    std::printf("%s\n", QFileInfo(path).absoluteFilePath().toUtf8().constData());
    std::fflush(stdout);
    return true;
}

// Every directory the plan writes into, once each.
QStringList targetDirectories(const Plan &plan)
{
    QStringList directories;
    for (const BatchJob &job : plan.jobs) {
        const QString directory = QFileInfo(job.path).absolutePath();
        if (!directories.contains(directory)) {
            directories.append(directory);
        }
    }
    return directories;
}

// "DejaVu Sans Book 16 pt (DejaVu Sans, Book, 21 px at 96 dpi)": what was asked for and what Qt drew.
QString jobDescription(const BatchJob &job, const BatchJobResult &result)
{
    return QStringLiteral("%1 %2 %3 (%4, %5, %6 px at %7 dpi)")
        .arg(job.face.family, job.face.style, sizeText(job), result.resolvedFamily, result.resolvedStyle,
             QString::number(result.pixelSize), QString::number(job.dpi));
}

// Renders the plan's jobs, printing the path of each file once it is in place.
Outcome writeFiles(const Options &options, const Plan &plan, Manifest *manifest)
{
    Progress progress(plan.jobs.size());
    StagedFiles staged(targetDirectories(plan));
    QHash<int, BatchJobResult> waiting; // rendered, until their files are committed
    // Named as the uncompressed file would be, so that the gzip file holds that file's bytes.
    const QString intoName = QFileInfo(options.compress && options.into.endsWith(QLatin1String(".gz")) ? options.into.chopped(3)
                                                                                          : options.into).fileName();
    const std::unique_ptr<Models::Font> into(options.into.isEmpty() ? nullptr : new Models::Font(intoName));
    Outcome outcome;
    const auto commit = [&] {
        for (const StagedFiles::Outcome &file : staged.commit()) {
            const BatchJob &job = plan.jobs.at(file.id);
            if (!file.error.isEmpty()) {
                progress.note(QStringLiteral("oftool render: cannot write %1: %2").arg(file.target, file.error));
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
    const int tried = runJobs(plan.jobs, options.threads, [&](int index, const BatchJobResult &result) {
        const BatchJob &job = plan.jobs.at(index);
        const QString description = jobDescription(job, result);
        // A font merged --into counts too: --strict fails on it.
        const auto noteClipped = [&](const QString &path) {
            if (!result.clippedLetters.isEmpty()) {
                progress.note(clippedLettersNote(path, result.clippedLetters, job.letters.size()));
                ++outcome.clipped;
            }
        };
        if (result.font) {
            mergeFont(into.get(), *result.font);
            noteClipped(options.into);
            progress.step(index + 1, description + QStringLiteral(" -> ") + options.into);
        } else if (!result.staged.isNull()) {
            // The metrics file last: a crash between the two renames leaves old metrics that its hash shows do not fit.
            staged.add(index, result.stagedMetrics.isNull() ? QList<StagedFile>{result.staged}
                                                            : QList<StagedFile>{result.staged, result.stagedMetrics});
            waiting.insert(index, result);
            if (!result.emptyLetters.isEmpty()) {
                progress.note(emptyLettersNote(job.path, result.emptyLetters));
            }
            noteClipped(job.path);
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
        const bool saved = saveInto(*into, options.into, options.compress);
        outcome.written = saved ? tried - outcome.failed : 0;
        outcome.failed = saved ? outcome.failed : tried;
    }
    return outcome;
}

// Writes a file per font, style and size, then says what became of them all.
int renderFonts(const Cli::CommandLine &line, const Options &options)
{
    const int status = refuseSameFiles(line, options);
    if (status != Cli::exitOk) {
        return status;
    }
    if (options.shard.isSharded()) {
        line.note(shardNote(options.shard, qint64(options.faces.size()) * options.sizes.size(), QStringLiteral("items")));
    }
    Plan plan = planJobs(line, options);
    Manifest manifest;
    if (options.resume) {
        passOverComplete(options, &plan, &manifest);
        QString error;
        if (!manifest.openJournal(options.manifest, &error)) {
            return line.failure(QStringLiteral("--manifest: cannot write %1: %2").arg(Manifest::journalPath(options.manifest), error));
        }
    }
    const StopSignals stopSignals;
    const Outcome outcome = writeFiles(options, plan, &manifest);
    const int written = outcome.written;
    for (const QString &font : plan.incompleteFonts) {
        line.note(QStringLiteral("skipped, incomplete: ") + font);
    }
    const int total = plan.jobs.size() + plan.passed + plan.skipped + plan.failed;
    const int stopped = outcome.stopped;
    const int failed = plan.failed + outcome.failed;
    const QString what = options.into.isEmpty() ? QStringLiteral("wrote %1 of %2 file%3")
                                                : QStringLiteral("put %1 of %2 font%3 into ") + options.into;
    QString summary = QStringLiteral("%1; %2 skipped, %3 failed, %4 incomplete")
                          .arg(what.arg(written).arg(total).arg(total == 1 ? QString() : QStringLiteral("s")))
                          .arg(plan.skipped + options.skippedFonts + stopped).arg(failed).arg(plan.incomplete);
    if (options.resume) {
        summary += QStringLiteral("; %1 passed over as complete (--resume)").arg(plan.passed);
    }
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
    const bool strictClipped = options.missing == Missing::Strict && outcome.clipped > 0;
    return plan.strictRefusals > 0 || strictClipped ? Cli::exitStrict : Cli::exitOk;
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
    line.describe(QStringLiteral("oftool render [options]"), QStringLiteral(R"(Renders installed fonts and font files into OF font files, as the QuillmereMakeFont window does, without a display.
Without options: DejaVu Sans, style Book, 32 pt, 96 dpi, into the current directory.
Files are named FAMILY__STYLE__SIZE.of (FAMILY__STYLE__SIZEpx.of for --px), spaces as "_".

Examples:
  oftool render
  oftool render --family "DejaVu Serif" --style Bold --size 12,16,24,32 --output fonts/
  oftool render --size 48 --chars 33-126,0xE0-0xE9 --skip-missing --output latin.of
  oftool render --font-dir downloads/ --size 8-72/8 --skip-incomplete -j 2 --manifest fonts.jsonl --output fonts/

Exit status: 0 every file written, 1 usage error, 2 a file could not be read or written (or a font
file was refused), 3 --strict left out a file whose font lacks a character or wrote one whose images
cut off ink, 128+N stopped by signal N.)"));
    line.addOptions({
        {QStringLiteral("family"), QStringLiteral("Installed font family, as many times as wanted (default: %1). A comma list as "
                                                  "fc-list prints it stands for its first name; Sans, Serif and Monospace for the "
                                                  "families they stand for.").arg(Render::defaultFamily), QStringLiteral("name")},
        {QStringLiteral("all-families"), QStringLiteral("Render every installed family.")},
        {QStringLiteral("font-file"), QStringLiteral("A font file to render, installed or not, as many times as wanted; PATH#N "
                                                     "for the Nth face of a collection, every face without."), QStringLiteral("path")},
        {QStringLiteral("font-dir"), QStringLiteral("Render the font files (.ttf, .otf, .ttc, .otc, .pfa, .pfb, .t1, .woff, .woff2) in "
                                                    "a directory and its subdirectories."), QStringLiteral("dir")},
        {QStringLiteral("style"), QStringLiteral("Style of the installed families (default: %1, or the family's regular style).").arg(Render::defaultStyle),
         QStringLiteral("name")},
        {QStringLiteral("all-styles"), QStringLiteral("Render every style of the installed families.")},
        {QStringLiteral("size"), QStringLiteral("Point sizes: a size, a range such as 8-72, every Nth size of one such as 8-72/4, or a "
                                                "comma list of these (default: %1). Very large sizes are limited by a pixel budget "
                                                "that depends on the font.").arg(Render::defaultSize),
         QStringLiteral("points")},
        {QStringLiteral("px"), QStringLiteral("Pixel sizes instead of point sizes, written as for --size."), QStringLiteral("pixels")},
        {QStringLiteral("output"), QStringLiteral("Output file for one font, directory for several; a path ending in \"/\" or naming "
                                                  "a directory is taken as one, made when missing (default: current "
                                                  "directory)."),
         QStringLiteral("path")},
        {QStringLiteral("dpi"), QStringLiteral("Logical dots per inch, so sizes do not depend on the machine (default: %1).").arg(Render::defaultDpi),
         QStringLiteral("dpi")},
        {QStringLiteral("chars"), QStringLiteral("Characters to draw instead of the usual 99: code points and ranges, "
                                                 "such as 33-126,0xA8,0xE0-0xE9."), QStringLiteral("list")},
        {QStringLiteral("chars-file"), QStringLiteral("Characters to draw, read from a UTF-8 text file (white space ignored)."),
         QStringLiteral("file")},
        {QStringLiteral("chars-from"), QStringLiteral("Draw exactly the letters of a UTF-8 text: each grapheme cluster (a "
                                                      "character with its marks) once, white space left out."), QStringLiteral("file")},
        {QStringLiteral("strict"), QStringLiteral("Write no file whose font lacks a character, and exit with 3; exit with 3 as "
                                                  "well when letters lose ink at an image edge (see --fit).")},
        {QStringLiteral("skip-missing"), QStringLiteral("Leave out the characters a font lacks.")},
        {QStringLiteral("skip-incomplete"), QStringLiteral("Write nothing for a font that lacks a character; such fonts are listed at the end.")},
        {{QStringLiteral("j"), QStringLiteral("jobs")}, QStringLiteral("Files rendered at once (default: the number of processors)."),
         QStringLiteral("n")},
        {QStringLiteral("into"), QStringLiteral("Render every font at one size into this one file, each font's glyph a picture of "
                                                "its letter (see oftool merge)."), QStringLiteral("file")},
        {QStringLiteral("manifest"), QStringLiteral("Write a JSON line per file written to this file: output, source, sizes, "
                                                    "characters, bytes. Under --shard, FILE.shard-I-of-N.jsonl for file.jsonl."),
         QStringLiteral("file")},
        {QStringLiteral("resume"), QStringLiteral("Pass over the files that the manifest (or the journal a stopped run left "
                                                  "beside it) records and that are still whole; redo the rest.")},
        {QStringLiteral("name-from"), QStringLiteral("Name a font file's output after its own family and style (font, the default) "
                                                     "or after the file's base name and face index (file): FILE__N__SIZE.of."),
         QStringLiteral("font|file")},
        Cli::compressOption(),
    });
    declareShardOptions(line, QStringLiteral("files"));
    declareGlyphOptions(line);
}

int runRender(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, Render::readOptions, renderFonts);
}
