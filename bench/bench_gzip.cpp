// Writing and reading OF font files compressed with gzip (--compress) side by side with plain ones: the
// same fonts, the writer's bytes checked to be the plain file's once inflated and the fonts read back alike.
#include "benchsupport.h"
#include "gzipwriter.h"

#include "iomanager/fontfilemanager.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <zlib.h>

#include <cstdio>
#include <memory>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

bool writePlain(const Models::Font &font, const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && IOManager::FontFileManager::fontToDevice(&font, &file);
}

bool writeCompressed(const Models::Font &font, const QString &path)
{
    QFile file(path);
    QString error;
    return file.open(QIODevice::WriteOnly) && GzipWriter::compressed([&font](QIODevice *device, QString *) {
        return IOManager::FontFileManager::fontToDevice(&font, device);
    })(&file, &error);
}

// The bytes a gzip file holds, by zlib's own file reader.
QByteArray inflated(const QString &path)
{
    QByteArray bytes;
    gzFile file = gzopen(QFile::encodeName(path).constData(), "rb");
    char buffer[1 << 16];
    for (int read = 0; file && (read = gzread(file, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, read);
    }
    if (file) {
        gzclose(file);
    }
    return bytes;
}

QByteArray written(const Models::Font &font)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    IOManager::FontFileManager::fontToDevice(&font, &buffer);
    return buffer.data();
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    constexpr int runs = 5;
    std::printf("%-6s %10s %9s %5s | %9s %9s %5s | %9s %9s %5s\n", "glyphs", "plain B", "gzip B", "x", "write ms", "gzip ms",
                "x", "read ms", "gunzip ms", "x");
    for (const bench::GlyphSize &size : bench::glyphSizes()) {
        const std::unique_ptr<Models::Font> font(bench::glyphLikeFont(size));
        const QString plain = dir.filePath(QStringLiteral("%1.of").arg(size.label));
        const QString compressed = plain + QStringLiteral(".gz");
        const double writePlainSeconds = bench::bestSeconds(runs, [&] { writePlain(*font, plain); });
        const double writeCompressedSeconds = bench::bestSeconds(runs, [&] { writeCompressed(*font, compressed); });
        const QByteArray plainBytes = fileBytes(plain);
        if (inflated(compressed) != plainBytes) {
            std::fprintf(stderr, "%s: the gzip file does not hold the plain file's bytes\n", size.label);
            return 1;
        }
        std::unique_ptr<Models::Font> fromPlain;
        std::unique_ptr<Models::Font> fromCompressed;
        const auto quiet = [](const IOManager::Diagnostic &) {};
        const double readPlainSeconds = bench::bestSeconds(runs, [&] {
            fromPlain.reset(IOManager::FontFileManager::fontFromFile(plain, quiet));
        });
        const double readCompressedSeconds = bench::bestSeconds(runs, [&] {
            fromCompressed.reset(IOManager::FontFileManager::fontFromFile(compressed, quiet));
        });
        if (!fromPlain || !fromCompressed || written(*fromPlain) != plainBytes || written(*fromCompressed) != plainBytes) {
            std::fprintf(stderr, "%s: a font read back differs from the font written\n", size.label);
            return 1;
        }
        const qint64 compressedSize = QFile(compressed).size();
        std::printf("%-6s %10lld %9lld %5.1f | %9.2f %9.2f %5.2f | %9.2f %9.2f %5.2f\n", size.label, qint64(plainBytes.size()),
                    compressedSize, double(plainBytes.size()) / compressedSize, writePlainSeconds * 1e3,
                    writeCompressedSeconds * 1e3, writeCompressedSeconds / writePlainSeconds, readPlainSeconds * 1e3,
                    readCompressedSeconds * 1e3, readCompressedSeconds / readPlainSeconds);
    }
    std::printf("x: plain size / gzip size (first), time gzip / plain (others); best of %d runs\n", runs);
    return 0;
}
