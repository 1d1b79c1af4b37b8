#ifndef GLYPHFIT_H
#define GLYPHFIT_H

#include "renderer_export.h"

#include <QStringList>

QT_BEGIN_NAMESPACE
class QFont;
QT_END_NAMESPACE

namespace Models {
class Font;
}

struct FontGeometry;
struct RenderSettings;

/** font with the antialiasing and hinting of settings: the font renderGlyphs draws and measures with. */
QMF_RENDERER_EXPORT QFont settingsFont(const QFont &font, const RenderSettings &settings);

/**
 * renderGlyphs as settings say; the default settings draw what the overloads in glyphrenderer.h draw. When
 * geometry is given it receives the font's and each letter's metrics, and with settings.metrics the kerning
 * too; a letter that begins with a combining mark is measured as drawn, without shaping's dotted circle.
 * emptyLetters and clippedLetters as in glyphrenderer.h; with Fit::Ink no letter loses ink.
 * Returns false when the glyph images would be too large to hold.
 */
QMF_RENDERER_EXPORT bool renderGlyphs(const QFont &font, const QStringList &letters, const RenderSettings &settings,
                                      Models::Font *docFont, FontGeometry *geometry = nullptr,
                                      QStringList *emptyLetters = nullptr, QStringList *clippedLetters = nullptr);

/** Whether renderGlyphs accepts letters drawn with font and settings. */
QMF_RENDERER_EXPORT bool fitsPixelBudget(const QFont &font, const QStringList &letters, const RenderSettings &settings);
/** largestFittingPointSize for renderGlyphs with settings. */
QMF_RENDERER_EXPORT int largestFittingPointSize(const QFont &font, const QStringList &letters,
                                                const RenderSettings &settings);

#endif // GLYPHFIT_H
