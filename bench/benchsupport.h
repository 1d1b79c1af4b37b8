#ifndef BENCH_BENCHSUPPORT_H
#define BENCH_BENCHSUPPORT_H

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

struct GlyphSize {
    const char *label;
    int width;
    int height;
};

// About the advance and height of DejaVu Sans glyphs at 32, 128 and 512 pt on a 96 dpi screen.
inline const std::vector<GlyphSize> &glyphSizes()
{
    static const std::vector<GlyphSize> sizes{{"32pt", 26, 51}, {"128pt", 103, 200}, {"512pt", 410, 796}};
    return sizes;
}

/* Antialiased black strokes on transparent white, as the renderer draws a glyph. */
inline QImage glyphLikeImage(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgba(255, 255, 255, 0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, std::max(1.0, width / 9.0)));
    const double w = width;
    const double h = height;
    QPainterPath path;
    path.moveTo(w * 0.15, h * 0.78);
    path.cubicTo(w * (0.2 + (seed % 7) * 0.05), h * 0.1, w * 0.9, h * (0.3 + (seed % 5) * 0.05), w * 0.8, h * 0.78);
    painter.drawPath(path);
    painter.drawEllipse(QRectF(w * 0.3, h * (0.35 + (seed % 3) * 0.05), w * 0.4, h * 0.3));
    return image;
}

/* A 100-letter font like the application's, all glyphs the given size. */
inline Models::Font *glyphLikeFont(const GlyphSize &size)
{
    auto *font = new Models::Font(QStringLiteral("Bench__Book__%1.of").arg(size.label));
    for (int i = 0; i < 100; ++i) {
        const QString value = i < 94 ? QString(QChar(0x21 + i)) : QString(QChar(0xE0 + i - 94));
        auto *letter = new Models::Character(value);
        letter->addPicture(new Models::CharacterPicture(glyphLikeImage(size.width, size.height, i), 0, 0.0f));
        font->addCharacter(letter);
    }
    return font;
}

/* Best of several runs, in seconds. */
inline double bestSeconds(int runs, const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

/* A /proc/self/status field in KiB, such as "VmHWM" or "VmRSS". */
inline long statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

/* Starts a new peak-memory window: VmHWM falls back to the current resident size. */
inline bool resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

} // namespace bench

#endif // BENCH_BENCHSUPPORT_H
