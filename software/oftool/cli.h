#ifndef OFTOOL_CLI_H
#define OFTOOL_CLI_H

#include <QString>
#include <QStringList>

class QCommandLineParser;

/* What every oftool subcommand shares: exit statuses, option parsing, messages. */
namespace Cli {

constexpr int exitOk = 0;
constexpr int exitUsage = 1;
constexpr int exitFailure = 2;
constexpr int exitStrict = 3;

enum class Parsed { Run, Done, Failed };

/** The value of --name or --name=value in argv, before any application object exists; null when absent. */
QString peekOption(int argc, char **argv, const QString &name);

/** Uses the offscreen platform unless QT_QPA_PLATFORM says otherwise. */
void preferOffscreen();

/** argv as strings, for the parser; Qt gets none of it, so an option such as --style stays ours. */
QStringList arguments(int argc, char **argv);

/** Name and version for --version and messages. */
void setApplicationInfo();

/**
 * Parses the arguments after the subcommand, with --help and --version added.
 * Prints help, version or the error itself; Run means the caller goes on.
 */
Parsed parse(QCommandLineParser &parser, const char *command, const QString &synopsis, QStringList arguments);

/** Prints "oftool COMMAND: message" and a hint to --help; returns exitUsage. */
int usageError(const char *command, const QString &message);

/** Prints "oftool COMMAND: message"; returns exitFailure. */
int failure(const char *command, const QString &message);

} // namespace Cli

#endif // OFTOOL_CLI_H
