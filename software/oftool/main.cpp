#include "anchorcommand.h"
#include "cli.h"
#include "exportcommand.h"
#include "importcommand.h"
#include "infocommand.h"
#include "previewcommand.h"
#include "rendercommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void printUsage(FILE *stream)
{
    std::fputs("Usage: oftool COMMAND [options]\n"
               "\n"
               "Makes and handles OF font files (bitmap fonts as XML).\n"
               "\n"
               "Commands:\n"
               "  render   render an installed font into OF font files (no display needed)\n"
               "  info     show what OF font files hold (--json for scripts)\n"
               "  preview  draw an OF font file as a PNG sheet of its glyphs\n"
               "  export   write every glyph of an OF font file as a PNG image\n"
               "  import   make an OF font file from a directory of glyph images\n"
               "  anchor   set a letter's baseLine and rightLine inside an OF font file\n"
               "\n"
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

int dispatch(int argc, char **argv);

} // namespace

int main(int argc, char **argv)
{
    return checkedStatus(dispatch(argc, argv));
}

namespace {

int dispatch(int argc, char **argv)
{
    if (argc < 2) {
        // With no command at all, render the default font.
        char renderWord[] = "render";
        char *arguments[] = {argv[0], renderWord, nullptr};
        int count = 2;
        return runRender(count, arguments);
    }
    const char *command = argv[1];
    static const struct {
        const char *name;
        int (*run)(int, char **);
    } commands[] = {
        {"render", runRender}, {"info", runInfo},     {"preview", runPreview},
        {"export", runExport}, {"import", runImport}, {"anchor", runAnchor},
    };
    for (const auto &entry : commands) {
        if (std::strcmp(command, entry.name) == 0) {
            return entry.run(argc, argv);
        }
    }
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 || std::strcmp(command, "help") == 0) {
        printUsage(stdout);
        return Cli::exitOk;
    }
    if (std::strcmp(command, "--version") == 0 || std::strcmp(command, "-v") == 0) {
        std::printf("oftool %s\n", QMF_VERSION);
        return Cli::exitOk;
    }
    std::fprintf(stderr, "oftool: unknown command \"%s\"\n", command);
    printUsage(stderr);
    return Cli::exitUsage;
}

} // namespace
