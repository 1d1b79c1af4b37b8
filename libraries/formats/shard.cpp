#include "shard.h"

#include <QProcessEnvironment>
#include <QStringList>

namespace Shards {

namespace {

const QString slurmId = QStringLiteral("SLURM_ARRAY_TASK_ID");
const QString slurmMin = QStringLiteral("SLURM_ARRAY_TASK_MIN");
const QString slurmMax = QStringLiteral("SLURM_ARRAY_TASK_MAX");
const QString slurmStep = QStringLiteral("SLURM_ARRAY_TASK_STEP");
const QString slurmCount = QStringLiteral("SLURM_ARRAY_TASK_COUNT");
const QString completionIndex = QStringLiteral("JOB_COMPLETION_INDEX");

// Plain decimal digits only: " 3", "+3" and "3x" are not numbers here, nor anything past ten digits.
bool parseNumber(const QString &text, qint64 *number)
{
    if (text.isEmpty() || text.size() > 10) {
        return false;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    *number = text.toLongLong();
    return true;
}

bool parseCount(const QString &text, const QString &name, int *count, QString *error)
{
    qint64 number = 0;
    if (!parseNumber(text, &number) || number < 1 || number > maxCount) {
        *error = QStringLiteral("%1: \"%2\" is not a number from 1 to %3").arg(name, text).arg(maxCount);
        return false;
    }
    *count = int(number);
    return true;
}

// The variable's number; false with error when it is missing or not one.
bool variable(const Environment &environment, const QString &name, qint64 *number, QString *error)
{
    if (!environment.contains(name)) {
        *error = QStringLiteral("%1 is not set").arg(name);
        return false;
    }
    if (!parseNumber(environment.value(name), number)) {
        *error = QStringLiteral("%1: \"%2\" is not a number").arg(name, environment.value(name));
        return false;
    }
    return true;
}

// The task's place in a Slurm job array; an array given as a list with gaps is refused, since its tasks'
// numbers would leave shards that no task does.
bool fromSlurm(const Environment &environment, int givenCount, Shard *shard, QString *error)
{
    qint64 id = 0;
    qint64 min = 0;
    qint64 count = 0;
    qint64 step = 1;
    if (!variable(environment, slurmId, &id, error) || !variable(environment, slurmMin, &min, error)
        || !variable(environment, slurmCount, &count, error)
        || (environment.contains(slurmStep) && !variable(environment, slurmStep, &step, error))) {
        return false;
    }
    if (step < 1) {
        *error = QStringLiteral("%1: \"%2\" is not a step").arg(slurmStep, environment.value(slurmStep));
        return false;
    }
    if (count < 1 || count > maxCount) {
        *error = QStringLiteral("%1: %2 is not a number of tasks from 1 to %3").arg(slurmCount).arg(count).arg(maxCount);
        return false;
    }
    qint64 max = 0;
    if (environment.contains(slurmMax)) {
        if (!variable(environment, slurmMax, &max, error)) {
            return false;
        }
        if (max < min || (max - min) % step != 0 || (max - min) / step + 1 != count) {
            *error = QStringLiteral("%1 %2 does not match the array from %3 %4 to %5 %6 in steps of %7; "
                                    "give the array as one range, such as --array=0-15")
                         .arg(slurmCount).arg(count).arg(slurmMin).arg(min).arg(slurmMax).arg(max).arg(step);
            return false;
        }
    }
    if (id < min || (id - min) % step != 0 || (id - min) / step >= count) {
        *error = QStringLiteral("%1 %2 is not one of the %3 %4 tasks from %5 %6 in steps of %7")
                     .arg(slurmId).arg(id).arg(slurmCount).arg(count).arg(slurmMin).arg(min).arg(step);
        return false;
    }
    if (givenCount > 0 && givenCount != count) {
        *error = QStringLiteral("--shard-count %1 does not match %2 %3").arg(givenCount).arg(slurmCount).arg(count);
        return false;
    }
    shard->index = int((id - min) / step);
    shard->count = int(count);
    return true;
}

// The pod's index in a Kubernetes Indexed Job, which says nothing of the number of completions.
bool fromKubernetes(const Environment &environment, int givenCount, Shard *shard, QString *error)
{
    qint64 index = 0;
    if (!variable(environment, completionIndex, &index, error)) {
        return false;
    }
    if (givenCount == 0) {
        *error = QStringLiteral("%1 gives the index only; give the Job's completions as --shard-count").arg(completionIndex);
        return false;
    }
    if (index >= givenCount) {
        *error = QStringLiteral("%1 %2 is not below --shard-count %3").arg(completionIndex).arg(index).arg(givenCount);
        return false;
    }
    shard->index = int(index);
    shard->count = givenCount;
    return true;
}

} // namespace

Range itemsOf(const Shard &shard, qint64 itemCount)
{
    if (!shard.isSharded()) {
        return {0, itemCount};
    }
    return {shard.index * itemCount / shard.count, (shard.index + 1) * itemCount / shard.count};
}

Environment processEnvironment()
{
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    Environment environment;
    for (const QString &name : {slurmId, slurmMin, slurmMax, slurmStep, slurmCount, completionIndex}) {
        if (system.contains(name)) {
            environment.insert(name, system.value(name));
        }
    }
    return environment;
}

bool resolve(const Request &request, const Environment &environment, Shard *shard, QString *error)
{
    *shard = Shard();
    const bool automatic = request.shard == QLatin1String("auto");
    if (!request.shard.isNull() && !automatic) {
        if (!request.shardIndex.isNull() || !request.shardCount.isNull()) {
            *error = QStringLiteral("--shard I/N and --shard-index or --shard-count exclude each other");
            return false;
        }
        const QStringList parts = request.shard.split(QLatin1Char('/'));
        qint64 index = 0;
        qint64 count = 0;
        if (parts.size() != 2 || !parseNumber(parts.at(0), &index) || !parseNumber(parts.at(1), &count) || count < 1
            || count > maxCount || index >= count) {
            *error = QStringLiteral("--shard: \"%1\" is neither auto nor I/N, a shard index I from 0 to N-1 of N "
                                    "shards (at most %2)").arg(request.shard).arg(maxCount);
            return false;
        }
        *shard = Shard{int(index), int(count)};
        return true;
    }
    if (automatic && !request.shardIndex.isNull()) {
        *error = QStringLiteral("--shard auto and --shard-index exclude each other");
        return false;
    }
    int count = 0;
    if (!request.shardCount.isNull() && !parseCount(request.shardCount, QStringLiteral("--shard-count"), &count, error)) {
        return false;
    }
    if (!request.shardIndex.isNull()) {
        if (count == 0) {
            *error = QStringLiteral("--shard-index needs --shard-count");
            return false;
        }
        qint64 index = 0;
        if (!parseNumber(request.shardIndex, &index) || index >= count) {
            *error = QStringLiteral("--shard-index: \"%1\" is not a number from 0 to %2").arg(request.shardIndex).arg(count - 1);
            return false;
        }
        *shard = Shard{int(index), count};
        return true;
    }
    if (!automatic && count == 0) {
        return true;
    }
    if (environment.contains(slurmId)) {
        return fromSlurm(environment, count, shard, error);
    }
    if (environment.contains(completionIndex)) {
        return fromKubernetes(environment, count, shard, error);
    }
    *error = QStringLiteral("%1: the shard index comes from %2 (Slurm) or %3 (Kubernetes), and neither is set")
                 .arg(automatic ? QStringLiteral("--shard auto") : QStringLiteral("--shard-count without --shard-index"),
                      slurmId, completionIndex);
    return false;
}

QString label(const Shard &shard)
{
    return QStringLiteral("%1/%2").arg(shard.index).arg(shard.count);
}

QString shardPath(const QString &path, const Shard &shard)
{
    if (!shard.isSharded()) {
        return path;
    }
    const QString tag = QStringLiteral(".shard-%1-of-%2").arg(shard.index).arg(shard.count);
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    // A name's leading dot (".jsonl") starts no suffix.
    if (dot <= nameStart) {
        return path + tag;
    }
    return path.left(dot) + tag + path.mid(dot);
}

bool shardOfPath(const QString &name, const QString &path, Shard *shard)
{
    const QString tag = QStringLiteral(".shard-0-of-1");
    const QString model = shardPath(path, Shard{0, 1});
    const int at = model.lastIndexOf(tag);
    const QString prefix = model.left(at) + QStringLiteral(".shard-");
    const QString suffix = model.mid(at + tag.size());
    if (!name.startsWith(prefix) || !name.endsWith(suffix) || name.size() <= prefix.size() + suffix.size()) {
        return false;
    }
    const QStringList parts = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size()).split(QStringLiteral("-of-"));
    qint64 index = 0;
    qint64 count = 0;
    if (parts.size() != 2 || !parseNumber(parts.at(0), &index) || !parseNumber(parts.at(1), &count) || count < 1
        || count > maxCount || index >= count) {
        return false;
    }
    // "m.shard-01-of-4.jsonl" is no name shardPath() gives.
    *shard = Shard{int(index), int(count)};
    return shardPath(path, *shard) == name;
}

} // namespace Shards
