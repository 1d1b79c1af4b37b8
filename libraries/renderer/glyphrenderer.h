#ifndef GLYPHRENDERER_H
#define GLYPHRENDERER_H

// The overloads that take RenderSettings, so that callers of the renderer need this header alone.
#include "glyphfit.h"
#include "renderer_export.h"

#include <QStringList>
#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QFont;
class QString;
QT_END_NAMESPACE

namespace Models {
class Font;
}

/** The 99 letters the window draws: "!" to "~", then U+00A8, U+00E9, U+00E8, U+00E7, U+00E0. */
QMF_RENDERER_EXPORT QStringList defaultLetters();

/** family__style__size.of with every space turned into "_". */
QMF_RENDERER_EXPORT QString defaultFontFileName(const QString &family, const QString &style, const QString &size);

/*
 * Every function below that takes a dpi takes font's point size at dpi logical dots per inch, set on the
 * images it draws into. 0 stands for the application's DPI, that of its screen: QImage's default.
 */

/**
 * Adds to docFont one letter per character of the set, drawn with font, and the blank " " letter.
 * Returns false, adding nothing, when the glyph images would be too large to hold.
 */
QMF_RENDERER_EXPORT bool renderGlyphs(const QFont &font, Models::Font *docFont);
/**
 * The same for other letters, each a string of one character (one or two UTF-16 units).
 * When emptyLetters is given it is set to the letters, in their order, whose image came out without ink
 * (zero width or height, or every pixel transparent); the blank " " letter added at the end is not counted.
 * When clippedLetters is given it is set to the letters, in their order, whose glyph has ink beyond the edges
 * of its image, which the image loses.
 * A letter that begins with a combining mark is drawn as the glyphs the font maps (shaping would put the mark on
 * a dotted circle), its image as wide as its ink as well as its advance, the pen where it leaves the ink whole.
 */
QMF_RENDERER_EXPORT bool renderGlyphs(const QFont &font, const QStringList &letters, Models::Font *docFont,
                                      QStringList *emptyLetters = nullptr, int dpi = 0,
                                      QStringList *clippedLetters = nullptr);

/** The pixel size Qt draws font at, dpi as above; a bitmap font's strike may differ from the conversion. */
QMF_RENDERER_EXPORT int renderedPixelSize(const QFont &font, int dpi = 0);

/** All glyph images of one font together, in pixels; beyond this a typed size would take gigabytes. */
constexpr qint64 maxGlyphPixels = qint64(1) << 26;

/** Whether renderGlyphs accepts letters drawn with font: the sum of their advances times the line height. */
QMF_RENDERER_EXPORT bool fitsPixelBudget(const QFont &font, const QStringList &letters, int dpi = 0);

/**
 * The largest point size from 1 to 1024 at which renderGlyphs accepts letters in font's family and style,
 * or 0 when none does. The size returned is accepted and the next one is refused (unless it is 1024); hinting
 * may let a still larger size fit again, which this does not look for.
 */
QMF_RENDERER_EXPORT int largestFittingPointSize(const QFont &font, const QStringList &letters, int dpi = 0);

#endif // GLYPHRENDERER_H
