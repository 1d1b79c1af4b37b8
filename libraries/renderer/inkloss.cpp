#include "inkloss_p.h"

#include "glyphcanvas_p.h"
#include "glyphmetrics.h"
#include "glyphrenderer.h"
#include "markglyphs_p.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace {

bool inkOnBorder(const QImage &image)
{
    const int width = image.width();
    const int height = image.height();
    if (width == 0 || height == 0) {
        return false;
    }
    const auto *top = reinterpret_cast<const QRgb *>(image.constScanLine(0));
    const auto *bottom = reinterpret_cast<const QRgb *>(image.constScanLine(height - 1));
    for (int x = 0; x < width; ++x) {
        if (qAlpha(top[x]) != 0 || qAlpha(bottom[x]) != 0) {
            return true;
        }
    }
    for (int y = 1; y < height - 1; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (qAlpha(line[0]) != 0 || qAlpha(line[width - 1]) != 0) {
            return true;
        }
    }
    return false;
}

// The ink of letter drawn on a canvas that covers part, relative to the pen, in the canvas's coordinates.
QRect inkWithin(const QRect &part, const QFont &font, int dpi, const QString &letter, const MarkRun &mark)
{
    QImage canvas = glyphImage(part.width(), part.height(), dpi, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) {
        return QRect();
    }
    canvas.fill(0);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(QPen(QColor(Qt::black)));
    drawLetter(painter, -part.topLeft(), letter, mark);
    painter.end();
    return inkRect(canvas);
}

} // namespace

bool losesInk(const QImage &image, int lineHeight, const QPoint &origin, const QRect &box, const QFont &font, int dpi,
              const QString &letter, const MarkRun &mark)
{
    // The line's rows even for an image without pixels, so that the ink drawn for it is looked for where it would be.
    const QRect area(-origin, QSize(image.width(), lineHeight));
    if (area.contains(box) && !inkOnBorder(image)) {
        return false;
    }
    // A box is the outline's rounded out to whole pixels: one that reaches two or more past the image has ink
    // beyond it, one that reaches a single pixel past may have none there.
    if (area.isValid() && box.isValid() && !area.adjusted(-1, -1, 1, 1).contains(box)) {
        return true;
    }
    const int margin = 2 + qMax(0, lineHeight) / 8;
    const QRect reach = (box.isValid() ? area.united(box) : area).adjusted(-margin, -margin, margin, margin);
    if (qint64(reach.width()) * reach.height() > maxGlyphPixels) {
        return true;
    }
    // From the image's left edge on, the pen stands where it stood in the image: Qt draws a glyph at column 0
    // a fraction of a pixel apart from one at any other column, which would show ink the image never had.
    const QRect right(QPoint(area.left(), reach.top()), QPoint(qMax(reach.right(), area.left() + margin), reach.bottom()));
    const QRect rightInk = inkWithin(right, font, dpi, letter, mark);
    if (!rightInk.isNull() && !area.translated(-right.topLeft()).contains(rightInk)) {
        return true;
    }
    if (box.isValid() && box.left() >= area.left()) {
        return false;
    }
    // Left of the image the pen can only stand elsewhere; any ink there is lost.
    const QRect left(reach.topLeft(), QPoint(area.left() - 1, reach.bottom()));
    return left.isValid() && !inkWithin(left, font, dpi, letter, mark).isNull();
}
