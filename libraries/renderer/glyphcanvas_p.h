#ifndef GLYPHCANVAS_P_H
#define GLYPHCANVAS_P_H

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QtMath>

/*
 * An image that QPainter draws point sizes into at dpi. The DPI belongs to the painting, not to the
 * application: QT_FONT_DPI would be a scale factor under Qt 6, which turns Qt's default hinting off.
 */
inline QImage glyphImage(int width, int height, int dpi, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(width, height, format);
    if (dpi > 0) {
        // QImage keeps dots per metre and rounds them back to the same whole DPI.
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    return image;
}

// The metrics of font as the painter takes them on glyphImage(..., dpi): QFontMetrics or QFontMetricsF.
template <typename Metrics>
Metrics metricsAt(const QFont &font, int dpi)
{
    if (dpi <= 0) {
        return Metrics(font);
    }
    const QImage canvas = glyphImage(1, 1, dpi);
    return Metrics(font, &canvas);
}

// Advances as QFontMetrics gives them; the baseline's row and the image height of every glyph.
struct GlyphMetrics
{
    QFontMetrics advances;
    int ascent;
    int height;
};

inline GlyphMetrics glyphMetricsAt(const QFont &font, int dpi)
{
    const QFontMetrics metrics = metricsAt<QFontMetrics>(font, dpi);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt 5's ascent and descent are whole pixels, rounded up as FreeType grid-fits them. Qt 6 keeps them
    // fractional and QFontMetrics rounds them to the nearest, which cuts the top or bottom row of ink off
    // some glyphs; rounded up, they give Qt 5's image heights and baseline.
    const QFontMetricsF exact = metricsAt<QFontMetricsF>(font, dpi);
    const int ascent = qCeil(exact.ascent());
    return {metrics, ascent, ascent + qCeil(exact.descent())};
#else
    return {metrics, metrics.ascent(), metrics.height()};
#endif
}

#endif // GLYPHCANVAS_P_H
