#include "shardoptions.h"

#include "cli.h"
#include "command.h"

#include <QCommandLineOption>

void declareShardOptions(Cli::CommandLine &line, const QString &items)
{
    line.addOptions({
        {QStringLiteral("shard"), QStringLiteral("Do shard I of N (0-based) of the run's %1: the Ith of N contiguous blocks of the "
                                                 "plan. auto takes I and N from a Slurm job array or I from a Kubernetes "
                                                 "Indexed Job (JOB_COMPLETION_INDEX, with --shard-count).").arg(items),
         QStringLiteral("I/N|auto")},
        {QStringLiteral("shard-index"), QStringLiteral("The shard to do, with --shard-count."), QStringLiteral("i")},
        {QStringLiteral("shard-count"), QStringLiteral("The number of shards; without --shard-index the index comes from the "
                                                       "environment, as for --shard auto."), QStringLiteral("n")},
    });
}

int readShardOptions(const Cli::CommandLine &line, Shards::Shard *shard)
{
    // Null for an option not given; an empty value given is not null.
    const auto given = [&](const QString &name) {
        return line.isSet(name) ? (line.value(name).isNull() ? QString(QLatin1String("")) : line.value(name)) : QString();
    };
    const Shards::Request request{given(QStringLiteral("shard")), given(QStringLiteral("shard-index")),
                                  given(QStringLiteral("shard-count"))};
    QString error;
    if (!Shards::resolve(request, Shards::processEnvironment(), shard, &error)) {
        return line.usageError(error);
    }
    return Cli::exitOk;
}

QString shardNote(const Shards::Shard &shard, qint64 count, const QString &items)
{
    const Shards::Range range = Shards::itemsOf(shard, count);
    if (range.size() == 0) {
        return QStringLiteral("shard %1: none of the %2 %3 planned; nothing to do").arg(Shards::label(shard)).arg(count).arg(items);
    }
    return QStringLiteral("shard %1: %2 %3 to %4 of the %5 planned")
        .arg(Shards::label(shard), items).arg(range.first).arg(range.end - 1).arg(count);
}
