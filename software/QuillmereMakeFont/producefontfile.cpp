#include "producefontfile.h"

#include "glyphrenderer.h"
#include "rendersettings.h"

#include "iomanager/fontfilemanager.h"
#include "models/font.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <iostream>

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename)
{
    return produceFontFile(font, fontName, outputFilename, defaultLetters());
}

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters)
{
    return produceFontFile(font, fontName, outputFilename, letters, nullptr);
}

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters, QStringList *emptyLetters, int dpi)
{
    RenderSettings settings;
    settings.dpi = dpi;
    return produceFontFile(font, fontName, outputFilename, letters, settings, nullptr, emptyLetters);
}

namespace {

bool produce(const QFont &font, const QString &fontName, const QString &outputFilename, const QStringList &letters,
             const RenderSettings &settings, FontGeometry *geometry, QStringList *emptyLetters,
             IOManager::WriteResult *written)
{
    Models::Font docFont(fontName);
    if (!renderGlyphs(font, letters, settings, &docFont, geometry, emptyLetters)) {
        std::cerr << "Warning: glyphs too large for output font file: " << outputFilename.toStdString() << "\n";
        *written = IOManager::WriteResult::failed(IOManager::WriteResult::CannotWrite, outputFilename);
        return false;
    }
    if (!IOManager::FontFileManager::fontToFile(&docFont, outputFilename, written)) {
        std::cerr << IOManager::FontFileManager::fontToFileLine(*written).toStdString();
        return false;
    }
    return true;
}

} // namespace

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     const QStringList &letters, const RenderSettings &settings, FontGeometry *geometry,
                     QStringList *emptyLetters)
{
    IOManager::WriteResult written;
    return produce(font, fontName, outputFilename, letters, settings, geometry, emptyLetters, &written);
}

bool produceFontFile(const QFont &font, const QString &fontName, const QString &outputFilename,
                     IOManager::WriteResult *written)
{
    return produce(font, fontName, outputFilename, defaultLetters(), RenderSettings(), nullptr, nullptr, written);
}
