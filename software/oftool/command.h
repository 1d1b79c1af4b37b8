#ifndef OFTOOL_COMMAND_H
#define OFTOOL_COMMAND_H

#include "cli.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

namespace Cli {

/** The application object a subcommand runs under; Gui draws text and images on the offscreen platform. */
enum class Application { Core, Gui };

/**
 * A subcommand's command line: what it declares (usage line, help text, options, positional
 * arguments), then what the user gave, and the messages it prints as "oftool COMMAND: ...".
 */
class CommandLine
{
public:
    CommandLine(const char *command, int argc, char **argv);
    Q_DISABLE_COPY(CommandLine)

    const char *command() const { return m_command; }

    /** The usage line that --help shows instead of Qt's, such as "oftool info [--json] FILE...", and the text under it. */
    void describe(const QString &synopsis, const QString &description);
    void addOptions(const QList<QCommandLineOption> &options);
    /** A positional argument that must be given; a syntax ending in "..." (the last argument only) takes one or more. */
    void addArgument(const QString &name, const QString &description, const QString &syntax = QString());

    /**
     * Parses arguments (argv as Cli::arguments() gives it) against what was declared, with --help,
     * --help-all and --version added, and checks the positional arguments. Prints help, version or
     * the error itself; Run means the caller goes on.
     */
    Parsed parse(const QStringList &arguments);

    bool isSet(const QString &name) const { return m_parser.isSet(name); }
    QString value(const QString &name) const { return m_parser.value(name); }
    QStringList values(const QString &name) const { return m_parser.values(name); }
    /** The positional arguments, as many as declared (or more, for a last one with "..."). */
    const QStringList &arguments() const { return m_arguments; }
    /** What the raw argv says for --name, whatever the parser makes of it; see Cli::peekOption(). */
    QString peek(const QString &name) const { return peekOption(m_argc, m_argv, name); }

    /** Prints "oftool COMMAND: message" and a hint to --help; returns exitUsage. */
    int usageError(const QString &message) const { return Cli::usageError(m_command, message); }
    /** Prints "oftool COMMAND: message"; returns exitFailure. */
    int failure(const QString &message) const { return Cli::failure(m_command, message); }
    /** Prints "oftool COMMAND: message". */
    void note(const QString &message) const { Cli::note(m_command, message); }

private:
    const char *m_command;
    int m_argc;
    char **m_argv;
    QCommandLineParser m_parser;
    QString m_synopsis;
    QStringList m_names;
    bool m_lastRepeats = false;
    QStringList m_arguments;
};

/** One entry of oftool's command list. */
struct Command {
    const char *name;
    const char *summary; // its line under "Commands:" in oftool --help
    Application application;
    void (*declare)(CommandLine &line);
    /** Options, work, report, once the command line is parsed; returns the exit status. */
    int (*run)(const CommandLine &line);
    /** What has to happen before the application object exists; may be null. */
    void (*prepare)(const CommandLine &line);
};

/**
 * A subcommand's run as its steps: read takes the options into a plain struct (returning exitOk, or
 * the status of the error it printed), work does the rest with them and returns the exit status.
 */
template <typename Options>
int runSteps(const CommandLine &line, int (*read)(const CommandLine &, Options *),
             int (*work)(const CommandLine &, const Options &))
{
    Options options;
    const int status = read(line, &options);
    return status == exitOk ? work(line, options) : status;
}

/** Runs command with argv, whose argv[1] names it, and returns the exit status. */
int runCommand(const Command &command, int argc, char **argv);

} // namespace Cli

#endif // OFTOOL_COMMAND_H
