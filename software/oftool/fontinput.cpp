#include "fontinput.h"

#include "cli.h"

#include "iomanager/diagnostic.h"
#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace Cli {

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
    return std::move(input.font);
}

} // namespace Cli
