#include "commands.h"

#include "batchrunner.h"
#include "charset.h"
#include "command.h"
#include "composeoptions.h"
#include "datasetfolder.h"
#include "fontinput.h"
#include "metricsfile.h"
#include "orderedrunner.h"
#include "progress.h"
#include "shardoptions.h"

#include "composer.h"
#include "groundtruth.h"
#include "samplerandom.h"
#include "typeface.h"

#include "models/codepoint.h"
#include "models/font.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSet>

#include <memory>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using ComposeCommand::Missing;
using ComposeCommand::Options;

constexpr int shownMissing = 8;
// PAGE-XML wants a creation time; a fixed one keeps a sample's bytes a function of its seed.
const QString createdTime = QStringLiteral("1970-01-01T00:00:00");

struct LoadedFont {
    QString path;
    QString name;
    std::unique_ptr<Compose::Typeface> typeface;
};

/* What became of one sample, made on a worker thread. */
struct SampleResult {
    enum class Kind { Made, Kept, Missing, TooLarge, NoMemory, WriteFailed };
    Kind kind = Kind::Made;
    QString name;
    int font = 0;
    int firstLine = 0; // the index into the lines of the sample's first line
    QSize size;
    QStringList missing;
    QString error;
    DatasetFolder::Sample sample;
};

// Reads each font and the metrics file beside it; false once one fails, with its line printed.
bool loadFonts(const Cli::CommandLine &line, const Options &options, std::vector<LoadedFont> *fonts)
{
    for (const QString &path : options.fonts) {
        const std::unique_ptr<Models::Font> font = Cli::openFont(line.command(), path);
        if (!font) {
            return false;
        }
        if (font->getCharacters().isEmpty()) {
            line.failure(QStringLiteral("%1: the font has no letters").arg(path));
            return false;
        }
        // As convert does: metrics that do not describe this font are named, and the anchor lines place its letters.
        MetricsFile::TextMetrics read;
        bool measured = QFileInfo::exists(MetricsFile::metricsPath(path));
        QString error;
        if (measured && !MetricsFile::readMetricsOf(path, &read, &error)) {
            line.note(error + QStringLiteral("; placing letters by their anchor lines"));
            measured = false;
        }
        LoadedFont loaded;
        loaded.path = path;
        loaded.name = font->getName();
        loaded.typeface.reset(new Compose::Typeface(*font, measured ? &read : nullptr, options.levels));
        if (loaded.typeface->isEmpty()) {
            line.failure(QStringLiteral("%1: no letter has a picture of the degradation levels asked for").arg(path));
            return false;
        }
        fonts->push_back(std::move(loaded));
    }
    return true;
}

// The images of --background-dir, in the order of their names; false with a line printed when there is none.
bool loadBackgrounds(const Cli::CommandLine &line, const QString &directory, QVector<QImage> *images)
{
    const QFileInfo info(directory);
    if (!info.isDir()) {
        line.failure(QStringLiteral("--background-dir: %1 is not a directory").arg(directory));
        return false;
    }
    const QStringList names = QDir(directory).entryList({QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"),
                                                         QStringLiteral("*.bmp"), QStringLiteral("*.PNG"), QStringLiteral("*.JPG"),
                                                         QStringLiteral("*.JPEG"), QStringLiteral("*.BMP")},
                                                        QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QImageReader reader(QDir(directory).filePath(name));
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > Compose::maxPixels) {
            line.note(QStringLiteral("--background-dir: %1: not an image of at most %2 pixels; left out").arg(name).arg(Compose::maxPixels));
            continue;
        }
        const QImage image = reader.read();
        if (image.isNull()) {
            line.note(QStringLiteral("--background-dir: %1: %2; left out").arg(name, reader.errorString()));
            continue;
        }
        images->append(image.convertToFormat(QImage::Format_RGB32));
    }
    if (images->isEmpty()) {
        line.failure(QStringLiteral("--background-dir: %1 holds no image (.png, .jpg, .jpeg, .bmp)").arg(directory));
        return false;
    }
    return true;
}

QString sampleName(qint64 index, qint64 count)
{
    const int width = qMax(6, int(QString::number(qMax<qint64>(count - 1, 0)).size()));
    return QStringLiteral("%1").arg(index, width, 10, QLatin1Char('0'));
}

// The image in colour with its boxes drawn over it, for people to check the ground truth by eye.
QImage boxesDrawn(const Compose::Composition &composition)
{
    QImage image = composition.image.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&image);
    for (const Compose::LineLayout &line : composition.lines) {
        painter.setPen(QColor(0, 160, 0));
        painter.drawLine(line.rect.left(), line.baseline, line.rect.right(), line.baseline);
        painter.setPen(QColor(0, 0, 255));
        for (const Compose::Box &word : line.words) {
            painter.drawRect(word.rect.adjusted(0, 0, -1, -1));
        }
        painter.setPen(QColor(230, 0, 0));
        for (const Compose::Box &character : line.characters) {
            if (character.picture >= 0) {
                painter.drawRect(character.rect.adjusted(0, 0, -1, -1));
            }
        }
    }
    return image;
}

// The endings of a sample's file names, the image last: what stageSample writes and what --resume checks.
QStringList sampleSuffixes(const Options &options)
{
    QStringList suffixes{QStringLiteral(".gt.txt")};
    if (options.pageXml) {
        suffixes.append(QStringLiteral(".xml"));
    }
    if (options.tesseractBoxes) {
        suffixes.append(QStringLiteral(".box"));
    }
    if (options.drawBoxes) {
        suffixes.append(QStringLiteral(".boxes.png"));
    }
    suffixes.append(QStringLiteral(".png"));
    return suffixes;
}

/* Everything a worker needs, read-only while the run lasts. */
struct Run {
    const Options &options;
    const std::vector<LoadedFont> &fonts;
    const QSet<QString> &kept;
    const DatasetFolder &folder;
    const QStringList suffixes; // sampleSuffixes()
};

// Writes the sample's files, unnamed, the image last, and makes its records; on any thread.
void stageSample(const Run &run, const LoadedFont &font, qint64 index, const Compose::Composition &composition, SampleResult *result)
{
    const Options &options = run.options;
    const QString label = composition.label();
    const QString imageName = result->name + QStringLiteral(".png");
    QVector<QPair<QString, QByteArray>> files;
    for (const QString &suffix : run.suffixes) {
        QByteArray bytes;
        if (suffix == QLatin1String(".gt.txt")) {
            bytes = label.toUtf8() + '\n';
        } else if (suffix == QLatin1String(".xml")) {
            bytes = Compose::pageXml(composition, imageName, createdTime);
        } else if (suffix == QLatin1String(".box")) {
            bytes = Compose::tesseractBoxes(composition);
        } else if (suffix == QLatin1String(".boxes.png")) {
            bytes = Compose::encodePng(boxesDrawn(composition));
        } else {
            bytes = Compose::encodePng(composition.image);
            if (bytes.isEmpty()) {
                result->kind = SampleResult::Kind::NoMemory;
                return;
            }
        }
        files.append({result->name + suffix, bytes});
    }

    Compose::SampleInfo info;
    info.fileName = imageName;
    info.fontFile = font.path;
    info.fontName = font.name;
    info.seed = options.seed;
    info.index = quint64(index);
    result->sample.name = result->name;
    result->sample.record = Compose::metadataRecord(info, composition);
    // A page's lines share its one line of gt.txt.
    result->sample.gtLine = (imageName + QLatin1Char('\t') + QString(label).replace(QLatin1Char('\n'), QLatin1Char(' '))).toUtf8() + '\n';
    for (const auto &file : qAsConst(files)) {
        DatasetFolder::Staged staged;
        if (!run.folder.stage(file.first, file.second, &staged, &result->error)) {
            for (const DatasetFolder::Staged &done : qAsConst(result->sample.files)) {
                DatasetFolder::drop(done);
            }
            result->sample.files.clear();
            result->kind = SampleResult::Kind::WriteFailed;
            return;
        }
        result->sample.files.append(staged);
    }
}

// Composes sample index and stages its files; on any thread.
SampleResult makeSample(const Run &run, qint64 index)
{
    const Options &options = run.options;
    SampleResult result;
    result.name = sampleName(index, options.count);
    if (run.kept.contains(result.name)) {
        result.kind = SampleResult::Kind::Kept;
        return result;
    }
    const quint64 seed = Compose::sampleSeed(options.seed, quint64(index));
    const int fontCount = int(run.fonts.size());
    result.font = options.fontChoice == ComposeCommand::FontChoice::Cycle
                      ? int(index % fontCount)
                      : int(Compose::SampleRandom(Compose::sampleSeed(seed, 1)).below(quint64(fontCount)));
    const LoadedFont &font = run.fonts.at(size_t(result.font));
    QStringList texts;
    const qint64 lineCount = options.lines.size();
    result.firstLine = int((index * options.linesPerPage) % lineCount);
    for (int k = 0; k < options.linesPerPage; ++k) {
        texts.append(options.lines.at(int((index * options.linesPerPage + k) % lineCount)).text);
    }
    const Compose::Composition composition = Compose::compose(*font.typeface, texts, options.compose, seed);
    result.missing = composition.missing;
    result.size = composition.size;
    switch (composition.status) {
    case Compose::Composition::Status::Missing:
        result.kind = SampleResult::Kind::Missing;
        return result;
    case Compose::Composition::Status::TooLarge:
        result.kind = SampleResult::Kind::TooLarge;
        return result;
    case Compose::Composition::Status::NoMemory:
        result.kind = SampleResult::Kind::NoMemory;
        return result;
    case Compose::Composition::Status::Done:
        break;
    }
    if (composition.label().trimmed().isEmpty()) {
        result.kind = SampleResult::Kind::Missing; // every character dropped
        return result;
    }
    stageSample(run, font, index, composition, &result);
    return result;
}

QString characterList(const QStringList &characters)
{
    QStringList names;
    for (const QString &character : characters.mid(0, shownMissing)) {
        names.append(QStringLiteral("%1 (%2)").arg(Models::codePointNames(character), Models::letterLabel(character)));
    }
    return names.join(QStringLiteral(", ")) + (characters.size() > shownMissing ? QStringLiteral(", ...") : QString());
}

QString lineName(const Options &options, int index)
{
    const ComposeCommand::TextLine &line = options.lines.at(index);
    return line.number > 0 ? QStringLiteral("%1: line %2").arg(options.textFile).arg(line.number)
                           : QStringLiteral("--text-line %1").arg(index + 1);
}

/* What became of the samples, as the report sees them. */
struct Tally {
    int written = 0;
    int kept = 0;
    int skipped = 0;
    int failed = 0;
    bool missingStop = false;
    bool writeStop = false;
    QVector<QStringList> missing; // per font, the first characters it lacked
    QSet<int> tooLong;            // lines reported too large
};

/*
 * The run: samples made on the workers, then in order put in place and handed to the folder, which lists
 * them after a sync, and what went wrong said once. One piece, because the stop conditions (a signal,
 * --missing fail, a failed write) and the commits share the tally.
 */
int composeSamples(const Cli::CommandLine &line, const Options &options)
{
#ifdef __GLIBC__
    // Each sample takes and frees images and PNG buffers of some hundred kilobytes; kept in the heap, they
    // are not mapped and unmapped every time (a page fault per page, and a TLB flush on every thread).
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
    std::vector<LoadedFont> fonts;
    if (!loadFonts(line, options, &fonts)) {
        return Cli::exitFailure;
    }
    Options withImages = options;
    if (!options.backgroundDir.isEmpty() && !loadBackgrounds(line, options.backgroundDir, &withImages.compose.backgroundImages)) {
        return Cli::exitFailure;
    }
    if (options.shard.isSharded()) {
        line.note(shardNote(options.shard, options.count, QStringLiteral("samples")));
    }
    // A shard makes its block of the plan; a sample's name, seed, font and lines come from its place in the whole.
    const Shards::Range samples = Shards::itemsOf(options.shard, options.count);
    DatasetFolder folder(options.output, options.shard, samples);
    if (options.resume) {
        folder.resumeWith(sampleSuffixes(options));
    }
    QString error;
    if (!folder.open(&error)) {
        return line.failure(error);
    }
    if (folder.listedCount() > 0 || folder.removedCount() > 0) {
        line.note(QStringLiteral("%1: continuing a dataset of %2 samples; %3 files of unlisted samples removed")
                      .arg(options.output).arg(folder.listedCount()).arg(folder.removedCount()));
    }
    const QSet<QString> kept = folder.done();
    const Run shared{withImages, fonts, kept, folder, sampleSuffixes(options)};
    const StopSignals stopSignals;
    const bool live = isatty(STDERR_FILENO);
    Progress progress(int(samples.size()));
    QElapsedTimer sinceStep;
    sinceStep.start();
    Tally tally;
    tally.missing.resize(int(fonts.size()));

    const auto count = [&](const QList<DatasetFolder::Outcome> &outcomes) {
        for (const DatasetFolder::Outcome &outcome : outcomes) {
            if (outcome.error.isEmpty()) {
                ++tally.written;
            } else {
                // The first failure stops the run; the samples after it in the group fail with it.
                if (!tally.writeStop) {
                    progress.note(QStringLiteral("oftool compose: ") + outcome.error);
                }
                ++tally.failed;
                tally.writeStop = true;
            }
        }
    };
    const auto report = [&](int index, SampleResult &result) {
        if (tally.missingStop || tally.writeStop) {
            for (const DatasetFolder::Staged &staged : qAsConst(result.sample.files)) {
                DatasetFolder::drop(staged);
            }
            return false;
        }
        QStringList &lacked = tally.missing[result.font];
        for (const QString &character : qAsConst(result.missing)) {
            if (lacked.size() <= shownMissing && !lacked.contains(character)) {
                lacked.append(character);
            }
        }
        switch (result.kind) {
        case SampleResult::Kind::Made: {
            // Placed here, one sample at a time: workers adding names to the one directory would contend for its lock.
            bool differs = false; // a sample made again with other settings fails alone
            if (!folder.place(&result.sample, &result.error, &differs)) {
                progress.note(QStringLiteral("oftool compose: ") + result.error);
                ++tally.failed;
                tally.writeStop = !differs;
                break;
            }
            result.sample.id = index;
            folder.add(result.sample);
            break;
        }
        case SampleResult::Kind::Kept:
            ++tally.kept;
            break;
        case SampleResult::Kind::Missing:
            if (options.missing == Missing::Fail) {
                progress.note(QStringLiteral("oftool compose: %1: %2 lacks %3; stopped (--missing fail)")
                                  .arg(lineName(options, result.firstLine), fonts.at(size_t(result.font)).path, characterList(result.missing)));
                tally.missingStop = true;
            }
            ++tally.skipped;
            break;
        case SampleResult::Kind::TooLarge:
            if (!tally.tooLong.contains(result.firstLine)) {
                tally.tooLong.insert(result.firstLine);
                const int height = options.compose.height > 0 ? options.compose.height : qMax(1, result.size.height());
                progress.note(QStringLiteral("oftool compose: %1: the image would be %2 x %3 pixels, more than %4 (at most %5 "
                                             "pixels wide at this height); skipped")
                                  .arg(lineName(options, result.firstLine)).arg(result.size.width()).arg(result.size.height())
                                  .arg(Compose::maxPixels).arg(qMin<qint64>(Compose::maxSide, Compose::maxPixels / height)));
            }
            ++tally.skipped;
            break;
        case SampleResult::Kind::NoMemory:
            progress.note(QStringLiteral("oftool compose: %1: not enough memory for a %2 x %3 image")
                              .arg(result.name).arg(result.size.width()).arg(result.size.height()));
            ++tally.failed;
            break;
        case SampleResult::Kind::WriteFailed:
            progress.note(QStringLiteral("oftool compose: ") + result.error);
            ++tally.failed;
            tally.writeStop = true;
            break;
        }
        count(folder.commit());
        if (live && (sinceStep.elapsed() >= 100 || index + 1 == samples.size())) {
            progress.step(index + 1, result.name);
            sinceStep.restart();
        }
        return !tally.missingStop && !tally.writeStop;
    };
    const qint64 first = samples.first;
    const std::function<SampleResult(int)> work = [&shared, first](int index) { return makeSample(shared, first + index); };
    const int reported = runOrdered<SampleResult>(int(samples.size()), options.threads, work, report,
                                                  [] { return StopSignals::received() != 0; });
    const int notMade = int(samples.size()) - reported;
    // The journal says the run did all its samples only when they are listed too.
    count(folder.finish(notMade == 0 && tally.failed == 0 && !tally.missingStop && StopSignals::received() == 0));
    QString summary = QStringLiteral("wrote %1 of %2 samples into %3; %4 skipped, %5 failed")
                          .arg(tally.written).arg(samples.size()).arg(options.output).arg(tally.skipped + notMade).arg(tally.failed);
    if (options.resume) {
        summary += QStringLiteral("; %1 passed over as complete (--resume)").arg(tally.kept);
    } else if (tally.kept > 0) {
        summary += QStringLiteral("; %1 kept from before").arg(tally.kept);
    }
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (!tally.missing.at(int(i)).isEmpty()) {
            summary += QStringLiteral("; %1 lacks %2").arg(fonts.at(i).path, characterList(tally.missing.at(int(i))));
        }
    }
    line.note(summary);
    if (StopSignals::received() != 0) {
        line.note(QStringLiteral("stopped by signal %1 before %2 samples").arg(StopSignals::received()).arg(notMade));
        return 128 + StopSignals::received();
    }
    if (tally.missingStop) {
        return Cli::exitStrict;
    }
    return tally.failed > 0 ? Cli::exitFailure : Cli::exitOk;
}

} // namespace

void declareCompose(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool compose FONT.of... (--text FILE | --text-line TEXT) --output DIR [options]"),
                  QStringLiteral(R"(Sets text lines (or pages) from the glyph images of OF font files and writes them as a dataset
for text recognition: NAME.png (8-bit grey; RGBA on a transparent background) and NAME.gt.txt per
sample, and metadata.jsonl (file_name, text, font, seed, size, baseline, the boxes of every character
and word) and gt.txt (path TAB text) listing exactly the samples written.

Each letter stands where FONT.of.metrics.json (oftool render --metrics) puts it; without one, where
its anchor lines in pixels (oftool render --anchors pixels) put it; otherwise its image is the line
box. Pictures of a letter are chosen at random from a generator seeded per sample from --seed, so a
sample's bytes do not depend on -j.

Examples:
  oftool render --fit ink --metrics --font-dir fonts/ --size 24 --output ofs/
  oftool compose ofs/*.of --text corpus.txt --output dataset/ --count 10000 --seed 1
  oftool compose sans.of --text-line "Hello, world" --output one/ --page-xml --boxes tesseract

Exit status: 0 done, 1 usage error, 2 a file could not be read or written, 3 --missing fail found a
character a font lacks, 128+N stopped by signal N.)"));
    ComposeCommand::declareOptions(line);
}

int runCompose(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, ComposeCommand::readOptions, composeSamples);
}
