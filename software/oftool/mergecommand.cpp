#include "commands.h"

#include "command.h"
#include "fontinput.h"
#include "fontmerge.h"
#include "outputfile.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {

struct Options {
    QStringList inputs;
    QString output;
    QString name;
    bool compress = false;
};

int readOptions(const Cli::CommandLine &line, Options *options)
{
    options->inputs = line.arguments();
    options->output = line.value(QStringLiteral("output"));
    if (options->output.isEmpty()) {
        return line.usageError(QStringLiteral("no output file given (-o FILE)"));
    }
    options->name = line.isSet(QStringLiteral("name")) ? line.value(QStringLiteral("name")) : QFileInfo(options->output).fileName();
    options->compress = line.isSet(QStringLiteral("compress"));
    if (options->compress) {
        options->output = Cli::compressedPath(options->output);
    }
    return Cli::exitOk;
}

// Reads every input, then writes them as one font; nothing is written when an input cannot be read.
int mergeFiles(const Cli::CommandLine &line, const Options &options)
{
    Models::Font merged(options.name);
    int pictures = 0;
    for (const QString &input : options.inputs) {
        const std::unique_ptr<Models::Font> font = Cli::openFont(line.command(), input);
        if (!font) {
            line.note(QStringLiteral("nothing written"));
            return Cli::exitFailure;
        }
        pictures += mergeFont(&merged, *font);
    }
    if (!Cli::saveFont(line.command(), &merged, options.output, options.compress)) {
        return Cli::exitFailure;
    }
    std::printf("%s: %d letters, %d pictures from %d files\n", options.output.toUtf8().constData(),
                int(merged.getCharacters().size()), pictures, int(options.inputs.size()));
    return Cli::exitOk;
}

} // namespace

void declareMerge(Cli::CommandLine &line)
{
    line.describe(QStringLiteral("oftool merge FILE... -o FILE [--name NAME]"), QStringLiteral(R"(Puts every picture of each letter of OF font files into one font, so that a program picking
a random picture per letter varies its glyphs. Pictures are numbered 0, 1, ... per letter in the
order of the files; a letter's anchor lines come from the first file that has it.

Examples:
  oftool merge DejaVu_Sans__Book__24.of DejaVu_Serif__Book__24.of -o mix.of
  oftool render --font-dir fonts/ --size 24 --into mix24.of      (the same, straight from fonts)

Exit status: 0 file written, 1 usage error, 2 an input could not be read or the file not written.)"));
    line.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The OF font file to write."), QStringLiteral("file")},
        {QStringLiteral("name"), QStringLiteral("The font's name (default: the output file's name)."), QStringLiteral("name")},
        Cli::compressOption(),
    });
    line.addArgument(QStringLiteral("FILE"), QStringLiteral("OF font files, in order."), QStringLiteral("FILE..."));
}

int runMerge(const Cli::CommandLine &line)
{
    return Cli::runSteps(line, readOptions, mergeFiles);
}
