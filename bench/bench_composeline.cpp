// Where the time of one composed line goes: the composition, its PNG encoding and its metadata record.
// Usage: bench_composeline [FONT.of LINES.txt]; without arguments a glyph-like font of 32 pt sets lines
// of 40 of its letters. Prints figures, asserts nothing.
#include "benchsupport.h"
#include "composemetrics.h"

#include "composer.h"
#include "groundtruth.h"
#include "typeface.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <malloc.h>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As oftool compose does: the PNG encoder's buffers stay in the heap rather than being mapped for every image.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
    std::unique_ptr<Models::Font> font;
    std::unique_ptr<MetricsFile::TextMetrics> metrics;
    QStringList lines;
    if (argc >= 3) {
        font.reset(IOManager::FontFileManager::fontFromFile(QString::fromLocal8Bit(argv[1])));
        metrics = std::make_unique<MetricsFile::TextMetrics>();
        if (!readComposeMetrics(QString::fromLocal8Bit(argv[1]) + QStringLiteral(".metrics.json"), metrics.get())) {
            metrics.reset();
        }
        QFile text(QString::fromLocal8Bit(argv[2]));
        if (!font || !text.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_composeline: cannot read %s or %s\n", argv[1], argv[2]);
            return 1;
        }
        for (const QByteArray &line : text.readAll().split('\n')) {
            if (!line.trimmed().isEmpty()) {
                lines.append(QString::fromUtf8(line));
            }
        }
    } else {
        font.reset(bench::glyphLikeFont(bench::glyphSizes().front()));
        const QStringList letters = font->getCharacters().keys();
        for (int i = 0; i < 200; ++i) {
            QString line;
            for (int k = 0; k < 40; ++k) {
                line += letters.at((i * 7 + k * 13) % letters.size());
            }
            lines.append(line);
        }
    }
    const Compose::Typeface typeface(*font, metrics.get());
    const Compose::Options options;
    const int count = lines.size();

    // The same seed gives the same pixels, or the figures mean nothing.
    if (Compose::compose(typeface, {lines.first()}, options, 1).image != Compose::compose(typeface, {lines.first()}, options, 1).image) {
        std::fprintf(stderr, "bench_composeline: the same seed gave different images\n");
        return 1;
    }
    qint64 pngBytes = 0;
    const double composeOnly = bench::bestSeconds(3, [&] {
        for (int i = 0; i < count; ++i) {
            Compose::compose(typeface, {lines.at(i)}, options, quint64(i));
        }
    });
    const double withPng = bench::bestSeconds(3, [&] {
        pngBytes = 0;
        for (int i = 0; i < count; ++i) {
            pngBytes += Compose::encodePng(Compose::compose(typeface, {lines.at(i)}, options, quint64(i)).image).size();
        }
    });
    const double withRecord = bench::bestSeconds(3, [&] {
        for (int i = 0; i < count; ++i) {
            const Compose::Composition composition = Compose::compose(typeface, {lines.at(i)}, options, quint64(i));
            Compose::encodePng(composition.image);
            Compose::metadataRecord(Compose::SampleInfo{QStringLiteral("000000.png"), QString(), QString(), 0, quint64(i)}, composition);
        }
    });
    std::printf("%d lines, one thread, in process (no files):\n", count);
    std::printf("  compose             %8.0f lines/s  %6.3f ms/line\n", count / composeOnly, composeOnly * 1000 / count);
    std::printf("  + PNG encoding      %8.0f lines/s  %6.3f ms/line  (%.0f bytes a line)\n", count / withPng, withPng * 1000 / count,
                double(pngBytes) / count);
    std::printf("  + metadata record   %8.0f lines/s  %6.3f ms/line\n", count / withRecord, withRecord * 1000 / count);
    std::printf("  share of PNG encoding: %.0f%% of compose + PNG + record\n", 100 * (withPng - composeOnly) / withRecord);
    std::printf("  peak memory: %ld KiB\n", bench::statusKiB("VmHWM"));
    return 0;
}
