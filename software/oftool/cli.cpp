#include "cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace Cli {

QString peekOption(int argc, char **argv, const QString &name)
{
    const QByteArray flag = "--" + name.toUtf8();
    const QByteArray prefix = flag + '=';
    for (int i = 1; i < argc; ++i) {
        if (flag == argv[i]) {
            return i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString(QLatin1String(""));
        }
        if (std::strncmp(argv[i], prefix.constData(), size_t(prefix.size())) == 0) {
            return QString::fromLocal8Bit(argv[i] + prefix.size());
        }
    }
    return QString();
}

void preferOffscreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

void setApplicationInfo()
{
    QCoreApplication::setApplicationName(QStringLiteral("oftool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QMF_VERSION));
}

QStringList arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i) {
        list.append(QString::fromLocal8Bit(argv[i]));
    }
    return list;
}

Parsed parse(QCommandLineParser &parser, const char *command, const QString &synopsis, QStringList arguments)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    arguments.removeAt(1); // the subcommand
    if (!parser.parse(arguments)) {
        usageError(command, parser.errorText());
        return Parsed::Failed;
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: ") + synopsis);
        std::fputs(text.toUtf8().constData(), stdout);
        return Parsed::Done;
    }
    if (parser.isSet(version)) {
        std::printf("oftool %s\n", QMF_VERSION);
        return Parsed::Done;
    }
    return Parsed::Run;
}

int usageError(const char *command, const QString &message)
{
    std::fprintf(stderr, "oftool %s: %s\nTry 'oftool %s --help'.\n", command, message.toUtf8().constData(), command);
    return exitUsage;
}

int failure(const char *command, const QString &message)
{
    std::fprintf(stderr, "oftool %s: %s\n", command, message.toUtf8().constData());
    return exitFailure;
}

} // namespace Cli
