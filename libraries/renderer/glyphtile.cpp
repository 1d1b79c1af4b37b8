#include "glyphtile.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>

namespace {

constexpr int checkerSquare = 4;
constexpr QRgb checkerLight = 0xfff0f0f0;
constexpr QRgb checkerDark = 0xffd0d0d0;
constexpr int frameWidth = 2;
const QColor outlineGrey(0x90, 0x90, 0x90);

} // namespace

QBrush checkerBrush()
{
    QImage tile(2 * checkerSquare, 2 * checkerSquare, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            tile.setPixel(x, y, ((x / checkerSquare + y / checkerSquare) % 2) ? checkerDark : checkerLight);
        }
    }
    return QBrush(tile);
}

void drawGlyphTile(QPainter &painter, const QRect &box, const QImage &image, const TileMarks &marks)
{
    if (image.isNull()) {
        painter.setPen(QPen(marks.outline.isValid() ? marks.outline : outlineGrey, 1));
        painter.setBrush(Qt::NoBrush);
        const QRect outline = box.adjusted(0, 0, -1, -1);
        painter.drawRect(outline);
        if (marks.crossed) {
            painter.drawLine(outline.topLeft(), outline.bottomRight());
            painter.drawLine(outline.bottomLeft(), outline.topRight());
        }
        return;
    }
    if (marks.frame.isValid()) {
        painter.fillRect(box.adjusted(-frameWidth, -frameWidth, frameWidth, frameWidth), marks.frame);
    }
    painter.fillRect(box, checkerBrush());
    painter.drawImage(box, image);
}
