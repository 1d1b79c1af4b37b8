#ifndef OFTOOL_COMMANDS_H
#define OFTOOL_COMMANDS_H

namespace Cli {
class CommandLine;
}

/*
 * oftool's subcommands, a file each (rendercommand.cpp, ...), listed in main.cpp. declareX() sets up the
 * command line; runX() reads the options, does the work and reports it, returning the exit status.
 */
void declareRender(Cli::CommandLine &line);
void declareInfo(Cli::CommandLine &line);
void declarePreview(Cli::CommandLine &line);
void declareExport(Cli::CommandLine &line);
void declareImport(Cli::CommandLine &line);
void declareAnchor(Cli::CommandLine &line);
void declareMerge(Cli::CommandLine &line);
void declareConvert(Cli::CommandLine &line);
void declareImportPage(Cli::CommandLine &line);
void declareImportBoxes(Cli::CommandLine &line);
void declareCompose(Cli::CommandLine &line);
void declareManifestMerge(Cli::CommandLine &line);

int runRender(const Cli::CommandLine &line);
int runInfo(const Cli::CommandLine &line);
int runPreview(const Cli::CommandLine &line);
int runExport(const Cli::CommandLine &line);
int runImport(const Cli::CommandLine &line);
int runAnchor(const Cli::CommandLine &line);
int runMerge(const Cli::CommandLine &line);
int runConvert(const Cli::CommandLine &line);
int runImportPage(const Cli::CommandLine &line);
int runImportBoxes(const Cli::CommandLine &line);
int runCompose(const Cli::CommandLine &line);
int runManifestMerge(const Cli::CommandLine &line);

/** Fixes the logical DPI from --dpi, which has to happen before the application object exists. */
void prepareRender(const Cli::CommandLine &line);

#endif // OFTOOL_COMMANDS_H
