// Feeds arbitrary bytes, as a font file on disk, to the in-place anchor update.
#include "iomanager/fontfilemanager.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <iostream>

namespace {

QString fontPath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("font.of"));
    return path;
}

void writeBytes(const QByteArray &bytes)
{
    QFile file(fontPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        abort();
    }
}

QByteArray readBytes()
{
    QFile file(fontPath());
    if (!file.open(QIODevice::ReadOnly)) {
        abort();
    }
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Every refused input prints a line; the fuzzer's own output goes through stdio.
    std::cerr.setstate(std::ios::badbit);
    fontPath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    for (const QString &letter : {QStringLiteral("a"), QString()}) {
        writeBytes(input);
        const int result = IOManager::FontFileManager::changeLetterAnchor(fontPath(), 12.7, -3.2, letter);
        const QByteArray output = readBytes();
        // A file that is not rewritten must be left exactly as it was.
        if (result != 0 && output != input) {
            abort();
        }
        // What the update writes, it must take back. (The bytes may still move: the DOM adds
        // a line feed to mixed content on every pass.)
        if (result == 0 && IOManager::FontFileManager::changeLetterAnchor(fontPath(), 12.7, -3.2, letter) != 0) {
            abort();
        }
    }
    return 0;
}
