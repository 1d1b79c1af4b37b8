#ifndef IOMANAGER_GLYPHIMAGE_P_H
#define IOMANAGER_GLYPHIMAGE_P_H

#include "iomanager/diagnostic.h"

#include <QImage>
#include <QString>

namespace IOManager {
namespace Private {

// Larger glyph images are refused before decoding: a few-KB file may declare
// a size whose pixels would take gigabytes.
constexpr int maxGlyphImageSide = 4096;
// All the images of one import together, 1 GiB of ARGB32 pixels: many files of the largest size would
// otherwise add up to tens of gigabytes.
constexpr qint64 maxImportPixels = qint64(1) << 28;
// Ordinary progressive JPEGs have about ten scans.
constexpr int maxJpegScans = 64;

/* Loads the glyph images of one import, which share one pixel budget. */
class GlyphImageLoader
{
public:
    /*
     * Loads path as QImage::load would, except that only regular files are read, the
     * format comes from the content alone, only PNG, JPEG and BMP are decoded, and nothing
     * larger than the limits is. A refused file gives a null image and one diagnostic; a
     * file holding no image Qt recognises gives a null image without one.
     */
    QImage load(const QString &path, const DiagnosticSink &sink);

private:
    qint64 m_budget = maxImportPixels;
};

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_GLYPHIMAGE_P_H
