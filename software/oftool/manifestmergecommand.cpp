#include "commands.h"

#include "command.h"
#include "manifest.h"
#include "outputfile.h"
#include "shard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <algorithm>
#include <cstdio>

namespace {

struct Options {
    QString output;
};

int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->output = line.arguments().constFirst();
    if (options->output.endsWith(QLatin1Char('/')) || QFileInfo(options->output).isDir()) {
        return line.usageError(QStringLiteral("%1 is a directory: name the list to write, such as %2")
                                   .arg(options->output, QDir(options->output).filePath(QStringLiteral("metadata.jsonl"))));
    }
    return Cli::exitOk;
}

// The shard manifests of output beside it, by index; false with a line when they are not one whole run's.
bool findShards(const Cli::CommandLine &line, const QString &output, QMap<int, QString> *files)
{
    const QFileInfo info(output);
    const QString directory = info.path();
    int count = 0;
    const QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        const QString path = directory == QLatin1String(".") ? name : directory + QLatin1Char('/') + name;
        Shards::Shard shard;
        if (!Shards::shardOfPath(path, output, &shard)) {
            continue;
        }
        if (count != 0 && shard.count != count) {
            line.note(QStringLiteral("%1 and %2 come from runs of different shard counts").arg(files->first(), path));
            return false;
        }
        count = shard.count;
        files->insert(shard.index, path);
    }
    if (count == 0) {
        line.note(QStringLiteral("no shard manifest of %1 (such as %2)").arg(output, Shards::shardPath(output, Shards::Shard{0, 2})));
        return false;
    }
    bool whole = true;
    for (int index = 0; index < count; ++index) {
        const QString path = Shards::shardPath(output, Shards::Shard{index, count});
        if (!files->contains(index)) {
            line.note(QStringLiteral("%1 is missing: shard %2 has not run to its end").arg(path, Shards::label(Shards::Shard{index, count})));
            whole = false;
        } else {
            // compose's gt.txt has no journal of its own: its shard's metadata list keeps it.
            QString journal = Manifest::journalPath(path);
            if (QFileInfo(output).fileName() == QLatin1String("gt.txt")) {
                const QString metadata = output.left(output.size() - 6) + QStringLiteral("metadata.jsonl");
                journal = Manifest::journalPath(Shards::shardPath(metadata, Shards::Shard{index, count}));
            }
            if (QFileInfo::exists(journal)) {
                line.note(QStringLiteral("%1 is there: shard %2 was stopped; run it again with --resume")
                              .arg(journal, Shards::label(Shards::Shard{index, count})));
                whole = false;
            }
        }
    }
    return whole;
}

// The shards' manifests one after the other by index, which is the unsharded run's manifest.
int mergeManifests(const Cli::CommandLine &line, const Options &options)
{
    QMap<int, QString> files;
    if (!findShards(line, options.output, &files)) {
        line.note(QStringLiteral("nothing written"));
        return Cli::exitFailure;
    }
    // Copied through a buffer: the lists of a large dataset run to gigabytes.
    qint64 records = 0;
    QString readError;
    const auto copyShards = [&](QIODevice *device, QString *why) {
        QByteArray buffer(1 << 16, Qt::Uninitialized);
        for (const QString &path : qAsConst(files)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                readError = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
                return false;
            }
            char last = '\n';
            qint64 size = 0;
            while ((size = file.read(buffer.data(), buffer.size())) > 0) {
                records += std::count(buffer.constData(), buffer.constData() + size, '\n');
                last = buffer.at(int(size) - 1);
                if (device->write(buffer.constData(), size) != size) {
                    *why = device->errorString();
                    return false;
                }
            }
            if (size < 0) {
                readError = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
                return false;
            }
            if (last != '\n') {
                readError = QStringLiteral("%1: the last line is cut short").arg(path);
                return false;
            }
        }
        return true;
    };
    QString error;
    if (!Cli::saveStream(options.output, copyShards, &error)) {
        if (readError.isEmpty()) {
            return line.failure(Cli::writeFailure(options.output, options.output, error));
        }
        line.note(readError);
        line.note(QStringLiteral("nothing written"));
        return Cli::exitFailure;
    }
    std::printf("%s: %lld records from %d shards\n", options.output.toUtf8().constData(), records, int(files.size()));
    return Cli::exitOk;
}

} // namespace

void declareManifestMerge(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool manifest-merge FILE"), QStringLiteral(R"(Writes FILE, the manifest of a run done in shards (such as render --shard I/N --manifest FILE),
from the manifests its shards wrote beside it (FILE.jsonl gives FILE.shard-I-of-N.jsonl), in the
order of their index: the manifest the run writes without shards, byte for byte. Nothing is written
when a shard's manifest is missing, or its journal (FILE.shard-I-of-N.jsonl.partial) says that it
was stopped. The lists of compose --shard I/N, metadata.jsonl and gt.txt, are merged the same way.

Examples:
  oftool manifest-merge dataset/fonts.jsonl
  oftool manifest-merge lines/metadata.jsonl && oftool manifest-merge lines/gt.txt

Exit status: 0 file written, 1 usage error, 2 a shard missing or stopped, or a file not read or written.)"));
    line.addArgument(QStringLiteral("FILE"), QStringLiteral("The manifest to write."));
}

int runManifestMerge(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, mergeManifests);
}
