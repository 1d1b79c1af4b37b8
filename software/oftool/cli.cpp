#include "cli.h"
#include "charset.h"
#include "textencoding.h"

#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/savefile_p.h"
#include "models/font.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unistd.h>

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

// Every byte outside printable ASCII as \xHH, so that the message shows what the argument holds.
QString escaped(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes) {
        const uchar code = uchar(byte);
        text += code >= 0x20 && code < 0x7f ? QString(QLatin1Char(byte)) : QString::asprintf("\\x%02X", code);
    }
    return text;
}

} // namespace

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

QString cannotWrite(const QString &path, const QString &typed)
{
    const QFileInfo target(path);
    const QFileInfo directory(target.absolutePath());
    QString reason;
    if (target.isDir()) {
        reason = QString::fromLocal8Bit(std::strerror(EISDIR));
    } else if (target.exists() && !target.isFile()) {
        reason = QStringLiteral("not a regular file");
    } else if (directory.exists() && !directory.isDir()) {
        reason = QString::fromLocal8Bit(std::strerror(ENOTDIR));
    } else if (access(QFile::encodeName(directory.absoluteFilePath()).constData(), W_OK | X_OK) != 0
               || (target.exists() && access(QFile::encodeName(target.absoluteFilePath()).constData(), W_OK) != 0)) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
    } else {
        return QString();
    }
    const QString hint = typed.startsWith(QLatin1Char('~'))
                             ? QStringLiteral(" (the shell did not expand \"~\": it does not inside quotes or after \"=\"; use $HOME)")
                             : QString();
    return QStringLiteral("cannot write %1: %2%3").arg(path, reason, hint);
}

Parsed parse(QCommandLineParser &parser, const char *command, const QString &synopsis, QStringList arguments)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!notText.isEmpty()) {
        usageError(command, QStringLiteral("\"%1\" is not valid %2 text; file names and values must be, or they would change on the way")
                                .arg(escaped(notText), TextEncoding::localEncodingName()));
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
    std::fprintf(stderr, "oftool %s: %s\nTry 'oftool %s --help'.\n", command, message.toUtf8().constData(), command);
    return exitUsage;
}

int failure(const char *command, const QString &message)
{
    std::fprintf(stderr, "oftool %s: %s\n", command, message.toUtf8().constData());
    return exitFailure;
}

FontInput readFont(const QString &path)
{
    FontInput input;
    const QFileInfo info(path);
    if (!info.exists()) {
        input.error = QStringLiteral("no such file");
        return input;
    }
    // A FIFO or a device would block the reader or never end.
    if (!info.isFile()) {
        input.error = info.isDir() ? QStringLiteral("is a directory") : QStringLiteral("not a regular file");
        return input;
    }
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        input.error = QStringLiteral("cannot be read: ") + probe.errorString();
        return input;
    }
    probe.close();

    // Every warning is listed, however many there are.
    IOManager::DiagnosticCollector collector(std::numeric_limits<int>::max());
    input.font.reset(IOManager::FontFileManager::fontFromFile(path, collector.sink()));
    for (const IOManager::Diagnostic &diagnostic : collector.kept()) {
        if (diagnostic.kind() != IOManager::Diagnostic::NotAFont) {
            input.warnings.append(diagnostic.text());
        }
    }
    input.lostPictures = collector.lostPixels();
    if (!input.font) {
        input.error = QStringLiteral("cannot be read");
    } else if (collector.count(IOManager::Diagnostic::Malformed) > 0) {
        input.error = QStringLiteral("not a well-formed OF font file (read only up to the first XML error)");
    } else if (collector.count(IOManager::Diagnostic::NotAFont) > 0) {
        input.error = QStringLiteral("not an OF font file (its document element is not \"font\")");
    }
    return input;
}

bool savePng(const QImage &image, const QString &path, QString *error)
{
    if (!IOManager::Private::isReplaceableTarget(path)) {
        *error = QStringLiteral("cannot write %1: not a regular file").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
        file.cancelWriting();
        return false;
    }
    if (!IOManager::Private::commitComplete(file)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QVector<uint> codePointsOf(const QString &text)
{
    QVector<uint> result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result.append(QChar::surrogateToUcs4(unit, text.at(i + 1)));
            ++i;
        } else {
            result.append(unit.unicode()); // a lone surrogate stays itself, not U+FFFD
        }
    }
    return result;
}

QString codePoints(const QString &letter)
{
    if (letter.isEmpty()) {
        return QStringLiteral("(empty)");
    }
    QStringList names;
    for (const uint codePoint : codePointsOf(letter)) {
        names.append(Charset::codePointName(codePoint));
    }
    return names.join(QLatin1Char(' '));
}

QString letterLabel(const QString &letter)
{
    if (letter.isEmpty()) {
        return codePoints(letter);
    }
    for (const uint codePoint : codePointsOf(letter)) {
        if (!QChar::isPrint(codePoint) || QChar::isSpace(codePoint)) {
            return codePoints(letter);
        }
    }
    return letter;
}

} // namespace Cli
