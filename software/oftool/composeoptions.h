#ifndef OFTOOL_COMPOSEOPTIONS_H
#define OFTOOL_COMPOSEOPTIONS_H

#include "composer.h"
#include "shard.h"
#include "typeface.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace Cli {
class CommandLine;
}

/* oftool compose's command line, read into plain values. */
namespace ComposeCommand {

enum class FontChoice { Cycle, Random };
enum class Missing { Skip, Fail, Drop };

constexpr qint64 maxCount = 100000000;
constexpr quint64 maxSeed = (quint64(1) << 53) - 1; // what a JSON number holds exactly
constexpr int maxLinesPerPage = 1000;

struct TextLine {
    QString text;
    int number = 0; // in the text file, from 1; 0 for --text-line
};

struct Options {
    QStringList fonts;
    QVector<TextLine> lines;
    QString textFile;
    QString output;
    qint64 count = 0;
    quint64 seed = 0;
    FontChoice fontChoice = FontChoice::Cycle;
    Missing missing = Missing::Skip;
    int threads = 1;
    bool pageXml = false;
    bool tesseractBoxes = false;
    bool drawBoxes = false;
    int linesPerPage = 1;
    QString backgroundDir;
    Compose::DegradationRange levels;
    Compose::Options compose;
    Shards::Shard shard;
    bool resume = false;
};

/** Cli::exitOk with every option read; otherwise the status of the error it printed. */
int readOptions(const Cli::CommandLine &line, Options *options);

/** Adds compose's options to line. */
void declareOptions(Cli::CommandLine &line);

} // namespace ComposeCommand

#endif // OFTOOL_COMPOSEOPTIONS_H
