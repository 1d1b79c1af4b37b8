// Feeds arbitrary bytes to the OF font file reader through a file, as callers give it one.
#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QString inputPath;

void ignoreMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(ignoreMessage);

    static QTemporaryFile file(QDir::tempPath() + QStringLiteral("/fuzz_reader_XXXXXX.of"));
    if (!file.open()) {
        std::abort();
    }
    inputPath = file.fileName();
    file.close();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile file(inputPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::abort();
        }
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    // The reader warns on almost every input: taken as values, not printed. Each names the file.
    delete IOManager::FontFileManager::fontFromFile(inputPath, [](const IOManager::Diagnostic &diagnostic) {
        if (diagnostic.path() != inputPath || diagnostic.kind() > IOManager::Diagnostic::PictureTooLarge) {
            std::abort();
        }
    });
    return 0;
}
