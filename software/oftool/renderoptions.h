#ifndef OFTOOL_RENDEROPTIONS_H
#define OFTOOL_RENDEROPTIONS_H

#include "fontsource.h"
#include "shard.h"

#include "rendersettings.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Cli {
class CommandLine;
}

namespace Render {

const QString defaultFamily = QStringLiteral("DejaVu Sans");
const QString defaultStyle = QStringLiteral("Book");
constexpr int defaultSize = 32;
constexpr int maxSize = 1024;
constexpr int defaultDpi = 96;
constexpr int maxThreads = 256;

/* Where the files go: one file named by --output, or a directory where each gets its own name. */
struct Destination {
    QString singlePath;
    QDir directory = QDir::current();
};

/** What becomes of a file whose font lacks characters: drawn from another font, not written, left out, or the font skipped. */
enum class Missing { Draw, Strict, Skip, SkipFont };

/** Everything render was asked for, the fonts found and the output directory made. */
struct Options {
    int dpi = defaultDpi;
    QList<FontSources::Face> faces;
    int refusedFiles = 0; // font files that could not be used, each already named
    int skippedFonts = 0; // installed families without the style asked for, each already named
    QList<int> sizes;
    bool pixels = false;
    QVector<uint> codePoints;
    QStringList clusters; // the letters of --chars-from, when given
    QString output; // as given
    Destination destination;
    Missing missing = Missing::Draw;
    int threads = 1;
    QString manifest; // the shard's own name under --shard
    Shards::Shard shard;
    bool resume = false; // pass over the files the manifest records as written and still whole
    QString into; // the one file every font goes into, as pictures of its letters
    bool compress = false; // every OF file written as FILE.of.gz
    bool nameFromFile = false; // a font file's output named after the file and face index rather than its names
    RenderSettings settings;
};

/** The --dpi value as the raw command line gives it (null for the default); false when it is none. */
bool parseDpi(const QString &text, int *dpi);

/**
 * Cli::exitOk with every option read, the font files registered and the output directory made;
 * otherwise the status of the usage error or failure it printed. A font file that cannot be used
 * is named and counted in refusedFiles, and the rest go on.
 */
int readOptions(const Cli::CommandLine &line, Options *options);

} // namespace Render

#endif // OFTOOL_RENDEROPTIONS_H
