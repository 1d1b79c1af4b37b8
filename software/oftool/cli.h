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

/** The value of the last --name or --name=value in argv, before any application object exists; null when absent. */
QString peekOption(int argc, char **argv, const QString &name);

/** Uses the offscreen platform unless QT_QPA_PLATFORM says otherwise. */
void preferOffscreen();

/** The environment variables that change how Qt scales, hints or synthesises glyphs, QT_FONT_DPI among them. */
QStringList renderingEnvironment();

/** Removes renderingEnvironment() from the environment; call it before the application object exists. */
void clearRenderingEnvironment();

/**
 * Keeps Qt's "XDG_RUNTIME_DIR not set" warning, which a QGuiApplication gives at start-up when
 * there is no login session, off standard error; every other message goes where it went before.
 * Call it before the application object exists.
 */
void dropRuntimeDirWarning();

/**
 * argv as strings, for the parser; Qt gets none of it, so an option such as --style stays ours.
 * An argument that does not come back to its own bytes from a string (not text in the locale's
 * encoding) makes the next parse() refuse it: a file name would otherwise change on the way.
 */
QStringList arguments(int argc, char **argv);

/** Name and version for --version and messages. */
void setApplicationInfo();

/**
 * Parses the arguments after the subcommand, with --help and --version added (--help-all, which
 * Qt adds, prints the same help: Qt takes no options of its own here). Prints help, version or
 * the error itself; Run means the caller goes on.
 */
Parsed parse(QCommandLineParser &parser, const char *command, const QString &synopsis, QStringList arguments);

/**
 * The positional arguments, when there are exactly as many as names (such as "FILE", "DIR");
 * otherwise prints which are missing or the first one too many, and returns false.
 */
bool takeArguments(const QCommandLineParser &parser, const char *command, const QStringList &names,
                   QStringList *values);

/** Prints "oftool COMMAND: message" and a hint to --help; returns exitUsage. */
int usageError(const char *command, const QString &message);

/** Prints "oftool COMMAND: message". */
void note(const char *command, const QString &message);

/** Prints "oftool COMMAND: message"; returns exitFailure. */
int failure(const char *command, const QString &message);

/**
 * message with its control characters (a newline in a file name, for one) as TextEncoding::escaped()
 * shows them, so that it stays one line; every other character as it is. Each line oftool prints goes
 * through it.
 */
QString oneLine(const QString &message);

} // namespace Cli

#endif // OFTOOL_CLI_H
