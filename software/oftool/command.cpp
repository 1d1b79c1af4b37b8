#include "command.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace Cli {

namespace {

/*
 * The application object of a subcommand. Qt sees argv[0] alone, so it takes none of our options
 * (it would take --style for itself); the subcommand parses Cli::arguments() instead.
 */
class ApplicationObject
{
public:
    ApplicationObject(char *program, Application kind)
        : m_argv{program, nullptr}
    {
        if (kind == Application::Gui) {
            m_app.reset(new QGuiApplication(m_argc, m_argv));
#if defined(__SANITIZE_ADDRESS__)
            // Qt 5's offscreen platform never frees its screen. Left to the leak check at exit, the screen's
            // stacks are looked up in the debug information to match the suppressions: a fifth of a second
            // in every run of the tests.
            if (const QScreen *screen = QGuiApplication::primaryScreen()) {
                __lsan_ignore_object(screen);
                __lsan_ignore_object(screen->handle());
            }
#endif
        } else {
            m_app.reset(new QCoreApplication(m_argc, m_argv));
        }
        setApplicationInfo();
    }
    Q_DISABLE_COPY(ApplicationObject)

private:
    int m_argc = 1; // QCoreApplication keeps a reference to it
    char *m_argv[2];
    std::unique_ptr<QCoreApplication> m_app;
};

} // namespace

CommandLine::CommandLine(const char *command, int argc, char **argv)
    : m_command(command)
    , m_argc(argc)
    , m_argv(argv)
{
}

void CommandLine::describe(const QString &synopsis, const QString &description)
{
    m_synopsis = synopsis;
    m_parser.setApplicationDescription(description);
}

void CommandLine::addOptions(const QList<QCommandLineOption> &options)
{
    m_parser.addOptions(options);
}

void CommandLine::addArgument(const QString &name, const QString &description, const QString &syntax)
{
    m_parser.addPositionalArgument(name, description, syntax);
    m_names.append(name);
    m_lastRepeats = syntax.endsWith(QLatin1String("..."));
}

Parsed CommandLine::parse(const QStringList &arguments)
{
    const Parsed parsed = Cli::parse(m_parser, m_command, m_synopsis, arguments);
    if (parsed != Parsed::Run) {
        return parsed;
    }
    if (m_lastRepeats && m_parser.positionalArguments().size() >= m_names.size()) {
        m_arguments = m_parser.positionalArguments();
        return Parsed::Run;
    }
    return takeArguments(m_parser, m_command, m_names, &m_arguments) ? Parsed::Run : Parsed::Failed;
}

int runCommand(const Command &command, int argc, char **argv)
{
    CommandLine line(command.name, argc, argv);
    // Before prepare(), which may set a DPI of its own: the same command gives the same pixels everywhere.
    if (command.application == Application::Gui) {
        clearRenderingEnvironment();
    }
    if (command.prepare) {
        command.prepare(line);
    }
    if (command.application == Application::Gui) {
        preferOffscreen();
        dropRuntimeDirWarning();
    }
    const QStringList arguments = Cli::arguments(argc, argv);
    const ApplicationObject app(argv[0], command.application);

    command.declare(line);
    switch (line.parse(arguments)) {
    case Parsed::Run:
        return command.run(line);
    case Parsed::Done:
        return exitOk;
    case Parsed::Failed:
        break;
    }
    return exitUsage;
}

} // namespace Cli
