#ifndef OFTOOL_GLYPHOPTIONS_H
#define OFTOOL_GLYPHOPTIONS_H

struct RenderSettings;

namespace Cli {
class CommandLine;
}

/** --fit, --padding, --antialias, --hinting, --anchors and --metrics of oftool render. */
void declareGlyphOptions(Cli::CommandLine &line);

/** Cli::exitOk with settings read from line; otherwise the status of the usage error it printed. */
int readGlyphOptions(const Cli::CommandLine &line, RenderSettings *settings);

#endif // OFTOOL_GLYPHOPTIONS_H
