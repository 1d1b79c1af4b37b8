// Feeds arbitrary bytes to the glyph image import as the one file of a directory.

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void discardMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

QTemporaryDir &glyphDirectory()
{
    static QTemporaryDir directory;
    return directory;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Image format plugins (JPEG) are found through the application's library paths.
    static QCoreApplication app(*argc, *argv);
    // Qt's image plugins print their own complaints.
    qInstallMessageHandler(discardMessage);
    if (!glyphDirectory().isValid()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTemporaryDir &directory = glyphDirectory();
    QFile file(directory.filePath(QStringLiteral("x_A_1.png")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::abort();
    }
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    file.close();

    // Warnings are taken as values, not printed; each names the one image.
    const QString path = file.fileName();
    delete IOManager::FontFileManager::fontFromDirectory(directory.path(), QMap<QString, QString>(),
                                                         [&path](const IOManager::Diagnostic &diagnostic) {
                                                             if (diagnostic.path() != path) {
                                                                 std::abort();
                                                             }
                                                         });
    return 0;
}
