#ifndef PRODUCEFONTFILE_H
#define PRODUCEFONTFILE_H

#include <QStringList>

QT_BEGIN_NAMESPACE
class QFont;
class QString;
QT_END_NAMESPACE

namespace IOManager {
class WriteResult;
}

struct FontGeometry;
struct RenderSettings;

/*
 * The renderer's font written to a file, with a warning line on std::cerr when that fails. The renderer
 * (glyphrenderer.h) says what each argument does.
 */

/** Renders font into a font named fontName and writes it to outputFilename; true when the file was written. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename);
/** The same for other letters; the blank " " letter is added as always. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters);
/** The same at dpi, setting emptyLetters to the letters that came out without ink, as renderGlyphs does. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters, QStringList *emptyLetters, int dpi = 0);
/** produceFontFile with renderGlyphs' settings, geometry and emptyLetters. */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters, const RenderSettings &settings, FontGeometry *geometry = nullptr,
                     QStringList *emptyLetters = nullptr);

/**
 * The first overload, printing the same lines, with written set to what became of the file. Glyphs too
 * large to hold write nothing, and written is then the failed write of outputFilename.
 */
bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     IOManager::WriteResult *written);

#endif // PRODUCEFONTFILE_H
