#ifndef OFTOOL_SHARDOPTIONS_H
#define OFTOOL_SHARDOPTIONS_H

#include "shard.h"

namespace Cli {
class CommandLine;
}

/** --shard, --shard-index and --shard-count, for a command whose items are called items ("files", "samples"). */
void declareShardOptions(Cli::CommandLine &line, const QString &items);

/** Cli::exitOk with the shard asked for (unsharded when none is); otherwise the status of the usage error it printed. */
int readShardOptions(const Cli::CommandLine &line, Shards::Shard *shard);

/** "shard 1/3: items 3 to 5 of the 10 planned", or "shard 0/4: none of the 2 items planned; nothing to do"; items names them. */
QString shardNote(const Shards::Shard &shard, qint64 count, const QString &items);

#endif // OFTOOL_SHARDOPTIONS_H
