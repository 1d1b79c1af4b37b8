#include "cli.h"
#include "rendercommand.h"

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
               "\n"
               "'oftool COMMAND --help' describes a command. With no command at all, oftool renders\n"
               "the default font, as 'oftool render' does.\n",
               stream);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        // A newcomer's first run: render the default font.
        char renderWord[] = "render";
        char *arguments[] = {argv[0], renderWord, nullptr};
        int count = 2;
        return runRender(count, arguments);
    }
    const char *command = argv[1];
    if (std::strcmp(command, "render") == 0) {
        return runRender(argc, argv);
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
