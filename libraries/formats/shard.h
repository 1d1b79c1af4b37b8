#ifndef FORMATS_SHARD_H
#define FORMATS_SHARD_H

#include <QHash>
#include <QString>

/*
 * One task's part of a run that a cluster job array spreads over many: the run plans all its items in
 * the same order in every task, and shard I of N does the contiguous block of them that falls to it.
 * Nothing here knows what an item is; render's are its output files, a composer's its samples.
 */
namespace Shards {

constexpr int maxCount = 1000000;

/** Shard index of count, 0-based; count 0 when the run is not sharded and does every item. */
struct Shard {
    int index = 0;
    int count = 0;

    bool isSharded() const { return count > 0; }
};

/** The items [first, end) of a plan of itemCount items that shard does. */
struct Range {
    qint64 first = 0;
    qint64 end = 0;

    bool contains(qint64 item) const { return item >= first && item < end; }
    qint64 size() const { return end - first; }
};

/**
 * Shard I of N does the items from floor(I * itemCount / N) to floor((I + 1) * itemCount / N): blocks in
 * the plan's order whose sizes differ by at most one, so that the shards' outputs, put one after the other
 * by index, are the unsharded run's. Every item when the run is not sharded.
 */
Range itemsOf(const Shard &shard, qint64 itemCount);

/** The options as given: null for one not given. */
struct Request {
    QString shard;      // --shard: "I/N" or "auto"
    QString shardIndex; // --shard-index
    QString shardCount; // --shard-count
};

using Environment = QHash<QString, QString>;

/** The variables of the process environment that resolve() reads. */
Environment processEnvironment();

/**
 * The shard that request asks for, with "--shard auto", or --shard-count without an index, taking it from
 * the job array's variables in environment: SLURM_ARRAY_TASK_ID less SLURM_ARRAY_TASK_MIN (in steps of
 * SLURM_ARRAY_TASK_STEP) of SLURM_ARRAY_TASK_COUNT tasks, else JOB_COMPLETION_INDEX of --shard-count.
 * An unsharded Shard when nothing is asked; false with error (naming the option or variable) when the
 * request or the environment is incomplete, malformed or inconsistent.
 */
bool resolve(const Request &request, const Environment &environment, Shard *shard, QString *error);

/** "I/N". */
QString label(const Shard &shard);

/**
 * The name of shard's own copy of a file the whole run would write: "m.jsonl" becomes
 * "m.shard-I-of-N.jsonl" (the suffix after the last dot of the file name stays last); path itself
 * when the run is not sharded.
 */
QString shardPath(const QString &path, const Shard &shard);

/** The inverse of shardPath(): whether name is the name of a shard's copy of path, and which shard's. */
bool shardOfPath(const QString &name, const QString &path, Shard *shard);

} // namespace Shards

#endif // FORMATS_SHARD_H
