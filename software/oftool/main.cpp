#include "cli.h"
#include "command.h"
#include "commands.h"
#include "textencoding.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

using Cli::Application;

// Dispatch, the "Commands:" block of oftool --help and through it the man page come from this list.
const Cli::Command commands[] = {
    {"render", "render installed fonts and font files into OF font files (no display needed)", Application::Gui, declareRender, runRender, prepareRender},
    {"info", "show what OF font files hold (--json for scripts)", Application::Core, declareInfo, runInfo, nullptr},
    {"preview", "draw an OF font file as a PNG sheet of its glyphs", Application::Gui, declarePreview, runPreview, nullptr},
    {"export", "write every glyph of an OF font file as a PNG image", Application::Core, declareExport, runExport, nullptr},
    {"import", "make an OF font file from a directory of glyph images", Application::Core, declareImport, runImport, nullptr},
    {"anchor", "set a letter's baseLine and rightLine inside an OF font file", Application::Core, declareAnchor, runAnchor, nullptr},
    {"merge", "put the pictures of several OF font files into one font", Application::Core, declareMerge, runMerge, nullptr},
    {"convert", "convert between OF font files, BDF and a BMFont atlas", Application::Gui, declareConvert, runConvert, nullptr},
    {"import-page", "make an OF font file from scanned pages' PAGE-XML or ALTO glyphs", Application::Core, declareImportPage, runImportPage, nullptr},
    {"import-boxes", "make an OF font file from a scanned page and Tesseract box files", Application::Core, declareImportBoxes, runImportBoxes, nullptr},
    {"compose", "set text lines and pages from OF font files, with boxes and labels for training", Application::Core, declareCompose, runCompose, nullptr},
    {"manifest-merge", "join the manifests of a render run's shards into the run's manifest", Application::Core, declareManifestMerge, runManifestMerge, nullptr},
};

const Cli::Command *findCommand(const char *name)
{
    for (const Cli::Command &command : commands) {
        if (std::strcmp(name, command.name) == 0) {
            return &command;
        }
    }
    return nullptr;
}

void printUsage(FILE *stream)
{
    std::fputs("Usage: oftool COMMAND [options]\n"
               "\n"
               "Makes and handles OF font files (bitmap fonts as XML).\n"
               "\n"
               "Commands:\n",
               stream);
    int width = 0;
    for (const Cli::Command &command : commands) {
        width = qMax(width, int(std::strlen(command.name)));
    }
    for (const Cli::Command &command : commands) {
        std::fprintf(stream, "  %-*s  %s\n", width, command.name, command.summary);
    }
    std::fputs("\n"
               "'oftool COMMAND --help' describes a command. With no command at all, oftool renders\n"
               "the default font, as 'oftool render' does.\n",
               stream);
}

// Output lost to a full disk must not end in success: a script would take the missing lines for the answer.
int checkedStatus(int status)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout)) {
        return status;
    }
    const int error = errno;
    std::fprintf(stderr, "oftool: cannot write to standard output%s%s\n", error ? ": " : "",
                 error ? std::strerror(error) : "");
    return status == Cli::exitOk ? Cli::exitFailure : status;
}

int dispatch(int argc, char **argv)
{
    if (argc < 2) {
        // With no command at all, render the default font.
        char renderWord[] = "render";
        char *arguments[] = {argv[0], renderWord, nullptr};
        return Cli::runCommand(*findCommand(renderWord), 2, arguments);
    }
    const char *name = argv[1];
    if (const Cli::Command *command = findCommand(name)) {
        return Cli::runCommand(*command, argc, argv);
    }
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 || std::strcmp(name, "help") == 0) {
        printUsage(stdout);
        return Cli::exitOk;
    }
    if (std::strcmp(name, "--version") == 0 || std::strcmp(name, "-v") == 0) {
        std::printf("oftool %s\n", QMF_VERSION);
        return Cli::exitOk;
    }
    std::fprintf(stderr, "oftool: unknown command \"%s\"\n", TextEncoding::escaped(name).toUtf8().constData());
    printUsage(stderr);
    return Cli::exitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    return checkedStatus(dispatch(argc, argv));
}
