#ifndef TESTS_PREVIEWPIXELS_H
#define TESTS_PREVIEWPIXELS_H

#include "GlyphPreview.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QImage>
#include <QString>

/*
 * Empty when the preview holds font's pictures and shows each glyph in full view as stored: opaque
 * pixels in their colour, transparent ones as checkerboard. Otherwise the first difference. *shown
 * counts the glyphs compared on the screen.
 */
inline QString previewMismatch(GlyphPreview *preview, const Models::Font &font, int *shown)
{
    const QImage view = preview->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int zoom = preview->zoom();
    *shown = 0;
    if (preview->glyphs().size() != font.getCharacters().size()) {
        return QStringLiteral("%1 glyphs shown").arg(preview->glyphs().size());
    }
    for (int i = 0; i < preview->glyphs().size(); ++i) {
        const GlyphPreview::Glyph &glyph = preview->glyphs().at(i);
        const Models::Character *letter = font.getCharacter(glyph.letter);
        if (!letter || letter->getPictures().isEmpty() || letter->getPictures().first()->getImage() != glyph.image) {
            return QStringLiteral("\"%1\" is not the stored picture").arg(glyph.letter);
        }
        const QRect box = preview->glyphRect(i);
        *shown += view.rect().contains(box) ? 1 : 0;
        for (int y = 0; view.rect().contains(box) && y < glyph.image.height(); ++y) {
            for (int x = 0; x < glyph.image.width(); ++x) {
                const QRgb stored = glyph.image.pixel(x, y);
                const QRgb onScreen = view.pixel(box.x() + x * zoom + zoom / 2, box.y() + y * zoom + zoom / 2);
                const bool matches = qAlpha(stored) == 255 ? onScreen == stored
                                   : qAlpha(stored) == 0   ? onScreen == 0xfff0f0f0 || onScreen == 0xffd0d0d0
                                                           : true;
                if (!matches) {
                    return QStringLiteral("\"%1\" pixel %2,%3: stored %4, shown %5")
                        .arg(glyph.letter, QString::number(x), QString::number(y), QString::number(stored, 16),
                             QString::number(onScreen, 16));
                }
            }
        }
    }
    return QString();
}

#endif // TESTS_PREVIEWPIXELS_H
