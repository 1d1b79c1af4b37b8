#include "cli.h"

#include "textencoding.h"

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
    QString value;
    for (int i = 1; i < argc; ++i) {
        // The last one counts, as with every option the parser reads.
        if (flag == argv[i]) {
            value = i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString(QLatin1String(""));
        } else if (std::strncmp(argv[i], prefix.constData(), size_t(prefix.size())) == 0) {
            value = QString::fromLocal8Bit(argv[i] + prefix.size());
        }
    }
    return value;
}

void preferOffscreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

QStringList renderingEnvironment()
{
    return {QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("QT_SCREEN_SCALE_FACTORS"),
            QStringLiteral("QT_AUTO_SCREEN_SCALE_FACTOR"), QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"),
            QStringLiteral("QT_SCALE_FACTOR_ROUNDING_POLICY"), QStringLiteral("QT_DEVICE_PIXEL_RATIO"),
            QStringLiteral("QT_USE_PHYSICAL_DPI"), QStringLiteral("QT_DPI_ADJUSTMENT_POLICY"),
            QStringLiteral("QT_FONT_DPI"), QStringLiteral("QT_NO_SYNTHESIZED_BOLD"),
            QStringLiteral("QT_NO_SYNTHESIZED_ITALIC")};
}

void clearRenderingEnvironment()
{
    for (const QString &name : renderingEnvironment()) {
        qunsetenv(name.toLatin1().constData());
    }
}

void setApplicationInfo()
{
    QCoreApplication::setApplicationName(QStringLiteral("oftool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QMF_VERSION));
}

namespace {

QtMessageHandler handlerBefore = nullptr;

void dropRuntimeDirMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && qstrcmp(context.category, "default") == 0
        && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to "))) {
        return;
    }
    handlerBefore(type, context, message);
}

// The first argument that arguments() could not turn into a string and back, as its bytes.
QByteArray notText;

} // namespace

QString oneLine(const QString &message)
{
    QString line;
    line.reserve(message.size());
    for (const QChar character : message) {
        line += character.category() == QChar::Other_Control ? TextEncoding::escaped(QString(character).toUtf8()) : QString(character);
    }
    return line;
}

void dropRuntimeDirWarning()
{
    if (!handlerBefore) {
        handlerBefore = qInstallMessageHandler(dropRuntimeDirMessage);
    }
}

QStringList arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (i > 0 && notText.isEmpty() && argument.toLocal8Bit() != argv[i]) {
            notText = argv[i];
        }
        list.append(argument);
    }
    return list;
}

Parsed parse(QCommandLineParser &parser, const char *command, const QString &synopsis, QStringList arguments)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!notText.isEmpty()) {
        usageError(command, QStringLiteral("\"%1\" is not valid %2 text; file names and values must be, or they would change on the way")
                                .arg(TextEncoding::escaped(notText), TextEncoding::localEncodingName()));
        return Parsed::Failed;
    }
    arguments.removeAt(1); // the subcommand
    if (!parser.parse(arguments)) {
        usageError(command, parser.errorText());
        return Parsed::Failed;
    }
    // Qt adds --help-all for its own options, which it never sees here: the help is the same.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
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

bool takeArguments(const QCommandLineParser &parser, const char *command, const QStringList &names,
                   QStringList *values)
{
    *values = parser.positionalArguments();
    if (values->size() < names.size()) {
        usageError(command, QStringLiteral("no %1 given").arg(names.mid(values->size()).join(QStringLiteral(" and "))));
        return false;
    }
    if (values->size() > names.size()) {
        usageError(command, QStringLiteral("unexpected argument \"%1\"").arg(values->at(names.size())));
        return false;
    }
    return true;
}

int usageError(const char *command, const QString &message)
{
    std::fprintf(stderr, "oftool %s: %s\nTry 'oftool %s --help'.\n", command, oneLine(message).toUtf8().constData(), command);
    return exitUsage;
}

void note(const char *command, const QString &message)
{
    std::fprintf(stderr, "oftool %s: %s\n", command, oneLine(message).toUtf8().constData());
}

int failure(const char *command, const QString &message)
{
    note(command, message);
    return exitFailure;
}

} // namespace Cli
