#ifndef GLYPHTILE_H
#define GLYPHTILE_H

#include "renderer_export.h"

#include <QColor>

QT_BEGIN_NAMESPACE
class QBrush;
class QImage;
class QPainter;
class QRect;
QT_END_NAMESPACE

/** What a glyph tile shows besides its pixels. */
struct TileMarks {
    /** The lines of a box without an image; grey when invalid. */
    QColor outline;
    /** A band around an image, for a letter drawn from another font; none when invalid. */
    QColor frame;
    /** A box without an image gets its diagonals too. */
    bool crossed = true;
};

/** Light and dark squares of 4 pixels, the backdrop of transparent pixels, aligned to the painter's brush origin. */
QMF_RENDERER_EXPORT QBrush checkerBrush();

/**
 * Draws image scaled to box without smoothing, so that each pixel is a square, on the checkerboard; a null
 * image is an outlined box instead. The window and oftool preview show glyphs this way alike.
 */
QMF_RENDERER_EXPORT void drawGlyphTile(QPainter &painter, const QRect &box, const QImage &image, const TileMarks &marks = TileMarks());

#endif // GLYPHTILE_H
