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
#include <iostream>
#include <streambuf>

namespace {

QString inputPath;

class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char *, std::streamsize count) override { return count; }
};

void ignoreMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The reader warns on almost every input; printing it all would slow the run to a crawl.
    static NullBuffer nullBuffer;
    std::cerr.rdbuf(&nullBuffer);
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
    delete IOManager::FontFileManager::fontFromFile(inputPath);
    return 0;
}
