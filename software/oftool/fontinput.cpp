#include "fontinput.h"

#include "cli.h"

#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QFile>
#include <QFileInfo>


namespace Cli {

namespace {

constexpr int maxListedWarnings = 20;

} // namespace

QString moreWarningsText(qint64 count)
{
    return QStringLiteral("%1 more warning%2 not shown").arg(count).arg(count == 1 ? "" : "s");
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

    // The first warnings are listed and the rest counted: 2,000,000 lines would tell nobody more.
    IOManager::DiagnosticCollector collector(maxListedWarnings + 1);
    input.font.reset(IOManager::FontFileManager::fontFromFile(path, collector.sink()));
    for (const IOManager::Diagnostic &diagnostic : collector.kept()) {
        if (diagnostic.kind() != IOManager::Diagnostic::NotAFont && input.warnings.size() < maxListedWarnings) {
            input.warnings.append(diagnostic.text());
        }
    }
    input.moreWarnings = collector.total() - collector.count(IOManager::Diagnostic::NotAFont) - input.warnings.size();
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

std::unique_ptr<Models::Font> openFont(const char *command, const QString &path)
{
    FontInput input = readFont(path);
    if (!input.error.isEmpty()) {
        failure(command, QStringLiteral("%1: %2").arg(path, input.error));
        return nullptr;
    }
    for (const QString &warning : qAsConst(input.warnings)) {
        note(command, QStringLiteral("%1: %2").arg(path, warning));
    }
    if (input.moreWarnings > 0) {
        note(command, QStringLiteral("%1: %2").arg(path, moreWarningsText(input.moreWarnings)));
    }
    // Whatever a command makes of such a font would carry the loss on as if nothing had happened.
    if (input.lostPictures) {
        failure(command, QStringLiteral("%1: pictures were lost while reading (see the warnings)").arg(path));
        return nullptr;
    }
    return std::move(input.font);
}

} // namespace Cli
