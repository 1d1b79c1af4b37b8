// Import of a directory of 100 glyph images, the alpha-from-darkness loop per pixel, and the
// cost of a small image file that declares a huge size, guarded and unguarded, side by side.

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sys/resource.h>
#include <vector>

using IOManager::FontFileManager;

namespace {

constexpr int glyphCount = 100;
constexpr int rounds = 15;

void discardMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Opaque black ink on white, as a scanned or rendered glyph set would be.
QImage glyphImage(QChar character)
{
    QImage image(103, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(128);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, QString(character));
    return image;
}

// The same rewrite through pixel() and setPixel(), the straightforward way.
void alphaByPixel(QImage &image)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            image.setPixel(x, y, qRgba(qRed(pixel), qGreen(pixel), qBlue(pixel), 255 - qGray(pixel)));
        }
    }
}

template <typename Work>
double medianNs(Work work)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()));
    }
    return median(times);
}

// 4 KB of 24-bit BMP that declares 16384 x 16384 pixels: Qt 5 accepts the header and fills 1 GB.
QByteArray bmpBomb()
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + 4096) << quint32(0) << quint32(54);
    out << quint32(40) << qint32(16384) << qint32(16384) << quint16(1) << quint16(24);
    out << quint32(0) << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    return bytes + QByteArray(4096, '\0');
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(discardMessage);

    QTemporaryDir glyphs;
    if (!glyphs.isValid()) {
        std::cerr << "no temporary directory\n";
        return 1;
    }
    std::vector<QImage> sources;
    qint64 pixels = 0;
    for (int i = 0; i < glyphCount; ++i) {
        const QChar character(0x21 + i);
        const QImage image = glyphImage(character);
        const QString name = QStringLiteral("g_u+%1_0.png").arg(character.unicode(), 4, 16, QLatin1Char('0'));
        if (!image.save(glyphs.filePath(name), "png")) {
            std::cerr << "cannot write glyph images\n";
            return 1;
        }
        sources.push_back(image);
        pixels += qint64(image.width()) * image.height();
    }

    const double importNs = medianNs([&] {
        delete FontFileManager::fontFromDirectory(glyphs.path(), QMap<QString, QString>());
    });
    const QStringList files = QDir(glyphs.path()).entryList(QDir::Files);
    const double decodeNs = medianNs([&] {
        for (const QString &name : files) {
            QImage(glyphs.filePath(name)).isNull();
        }
    });

    // The loop alone: conversion plus loop, less the conversion alone, on the same decoded images.
    const double convertNs = medianNs([&] {
        for (const QImage &source : sources) {
            source.convertToFormat(QImage::Format_ARGB32).isNull();
        }
    });
    const double alphaNs = medianNs([&] {
        for (const QImage &source : sources) {
            QImage image = source;
            FontFileManager::applyAlphaFromDarkness(image);
        }
    });
    const double byPixelNs = medianNs([&] {
        for (const QImage &source : sources) {
            QImage image = source;
            alphaByPixel(image);
        }
    });
    const double loopNs = alphaNs - convertNs;
    const double byPixelLoopNs = byPixelNs - convertNs;

    std::printf("import of %d PNG glyph images, 103 x 200 pixels (128 pt), median of %d:\n", glyphCount, rounds);
    std::printf("  fontFromDirectory          %8.2f ms  (%.1f us per image)\n", importNs / 1e6,
                importNs / 1e3 / glyphCount);
    std::printf("  PNG decoding alone         %8.2f ms  (%.0f%% of the import)\n", decodeNs / 1e6,
                100.0 * decodeNs / importNs);
    std::printf("  conversion to ARGB32       %8.2f ms  (%.2f ns per pixel)\n", convertNs / 1e6, convertNs / pixels);
    std::printf("  alpha loop, scanLine       %8.2f ms  (%.2f ns per pixel, %.0f%% of the import)\n",
                loopNs / 1e6, loopNs / pixels, 100.0 * loopNs / importNs);
    std::printf("  alpha loop, pixel/setPixel %8.2f ms  (%.2f ns per pixel)\n", byPixelLoopNs / 1e6,
                byPixelLoopNs / pixels);
    std::printf("  ratio pixel/setPixel : scanLine = %.1f : 1\n", byPixelLoopNs / loopNs);

    // Guarded first: the peak RSS only grows.
    QTemporaryDir bombs;
    const QString bombPath = bombs.filePath(QStringLiteral("x_A_1.bmp"));
    QFile bomb(bombPath);
    if (!bomb.open(QIODevice::WriteOnly) || bomb.write(bmpBomb()) < 0) {
        std::cerr << "cannot write the bomb\n";
        return 1;
    }
    bomb.close();
    std::cerr.setstate(std::ios::badbit); // the refusal's warning line
    const long rssBefore = peakRssKb();
    QElapsedTimer timer;
    timer.start();
    delete FontFileManager::fontFromDirectory(bombs.path(), QMap<QString, QString>());
    const double guardedMs = timer.nsecsElapsed() / 1e6;
    const long rssGuarded = peakRssKb();
    // What the import did before the size check: decode, then convert and rewrite every pixel.
    timer.restart();
    QImage unguarded(bombPath);
    const bool decoded = !unguarded.isNull();
    FontFileManager::applyAlphaFromDarkness(unguarded);
    const double unguardedMs = timer.nsecsElapsed() / 1e6;
    const long rssUnguarded = peakRssKb();
    std::cerr.clear();

    std::printf("4 KB BMP declaring 16384 x 16384 pixels:\n");
    std::printf("  fontFromDirectory (refused) %8.2f ms, peak RSS +%ld MB\n", guardedMs,
                (rssGuarded - rssBefore) / 1024);
    std::printf("  QImage::load and alpha      %8.2f ms, peak RSS +%ld MB (%s, image of %lld MB)\n",
                unguardedMs, (rssUnguarded - rssGuarded) / 1024, decoded ? "decoded" : "not decoded",
                static_cast<long long>(unguarded.sizeInBytes() >> 20));
    std::printf("  ratio of times unguarded : guarded = %.0f : 1\n", unguardedMs / guardedMs);
    return 0;
}
