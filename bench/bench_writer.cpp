// OF font file writer against the obvious writer and against the bare cost of formatting the pixels.
#include "benchsupport.h"
#include "referencewriter.h"

#include "iomanager/fontfilemanager.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <charconv>
#include <cstdio>
#include <memory>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

/* The floor: every pixel through std::to_chars into one buffer, then one write. */
void lowerBound(const Models::Font &font, const QString &path)
{
    std::vector<char> buffer;
    for (const Models::Character *letter : font.getCharacters()) {
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            const QImage image = picture->getImage();
            buffer.resize(buffer.size() + size_t(image.width()) * image.height() * 11);
        }
    }
    char *out = buffer.data();
    for (const Models::Character *letter : font.getCharacters()) {
        for (const Models::CharacterPicture *picture : letter->getPictures()) {
            const QImage image = picture->getImage();
            for (int y = 0; y < image.height(); ++y) {
                const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    out = std::to_chars(out, out + 10, line[x]).ptr;
                    *out++ = ',';
                }
            }
        }
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(buffer.data(), out - buffer.data());
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.of"));
    const QString reference = dir.filePath(QStringLiteral("reference.of"));
    const QString floor = dir.filePath(QStringLiteral("floor.bin"));

    std::printf("%-6s %10s %10s %10s %10s %8s %8s %12s\n", "size", "file MB", "ours MB/s", "ref MB/s",
                "floor MB/s", "ref/ours", "ours/flr", "peak +MB");
    for (const bench::GlyphSize &size : bench::glyphSizes()) {
        std::unique_ptr<Models::Font> font(bench::glyphLikeFont(size));
        const int runs = size.width > 300 ? 3 : 10;

        bench::resetPeak();
        const long rssBefore = bench::statusKiB("VmRSS");
        IOManager::FontFileManager::fontToFile(font.get(), ours);
        const long peakAdded = bench::statusKiB("VmHWM") - rssBefore;

        const double oursSeconds = bench::bestSeconds(runs, [&] { IOManager::FontFileManager::fontToFile(font.get(), ours); });
        const double referenceSeconds = bench::bestSeconds(runs, [&] {
            QFile file(reference);
            file.open(QIODevice::WriteOnly);
            file.write(referenceFontBytes(*font));
        });
        const double floorSeconds = bench::bestSeconds(runs, [&] { lowerBound(*font, floor); });

        const QByteArray bytes = fileBytes(ours);
        if (bytes != fileBytes(reference)) {
            std::fprintf(stderr, "%s: the writer and the reference differ\n", size.label);
            return 1;
        }
        const double megabytes = bytes.size() / 1e6;
        std::printf("%-6s %10.2f %10.0f %10.0f %10.0f %8.2f %8.2f %12.2f\n", size.label, megabytes,
                    megabytes / oursSeconds, megabytes / referenceSeconds, megabytes / floorSeconds,
                    referenceSeconds / oursSeconds, oursSeconds / floorSeconds, peakAdded / 1024.0);
    }
    std::printf("MB/s = file bytes / best time; floor = std::to_chars of the pixels + one write;\n"
                "peak +MB = VmHWM during one write above the resident size before it.\n");
    return 0;
}
