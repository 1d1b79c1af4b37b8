#ifndef OFTOOL_CLI_H
#define OFTOOL_CLI_H

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QCommandLineParser;
class QImage;

namespace Models {
class Font;
}

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

/**
 * "cannot write PATH: REASON", the reason found by looking at path and its directory after a
 * write failed ("Permission denied", "Is a directory", "not a regular file", ...), with a hint
 * when typed, the path as the user gave it, starts with "~". Empty when nothing there explains
 * the failure (a full disk, for one).
 */
QString cannotWrite(const QString &path, const QString &typed);

/** Name and version for --version and messages. */
void setApplicationInfo();

/**
 * The application object of a subcommand. Qt sees argv[0] alone, so it takes none of our options
 * (it would take --style for itself); the subcommand parses Cli::arguments() instead.
 */
template <typename Application>
class CommandApplication
{
public:
    explicit CommandApplication(char *program)
        : m_argv{program, nullptr}
        , m_app(m_argc, m_argv)
    {
        setApplicationInfo();
    }

private:
    int m_argc = 1; // QCoreApplication keeps a reference to it
    char *m_argv[2];
    Application m_app;
};

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

/** Prints "oftool COMMAND: message"; returns exitFailure. */
int failure(const char *command, const QString &message);

/** An OF font file as the reader gave it, with what the reader said about it. */
struct FontInput {
    std::unique_ptr<Models::Font> font; // null when the file could not be read at all
    QStringList warnings;               // the texts of the reader's warnings, one per entry
    QString error;                      // why the file is unusable; empty when it is not
    bool lostPictures = false;          // whether a warning says pixels were lost (not just a letter without pictures)
};

/**
 * Reads path with the framework's reader, taking its warnings instead of letting them
 * through. A missing or unreadable file, a file that is not well-formed XML and one whose
 * document element is not "font" set error.
 */
FontInput readFont(const QString &path);

/** Writes image as a PNG file that appears only once complete; false with a message otherwise. */
bool savePng(const QImage &image, const QString &path, QString *error);

/** A letter as people read it: a visible character as itself, anything else as U+XXXX code points. */
QString letterLabel(const QString &letter);

/** The code points of text; a lone surrogate counts as itself. */
QVector<uint> codePointsOf(const QString &text);

/** "U+0041", or "U+0041 U+0301" for several characters, "(empty)" for none. */
QString codePoints(const QString &letter);

} // namespace Cli

#endif // OFTOOL_CLI_H
