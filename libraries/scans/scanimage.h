#ifndef SCANS_SCANIMAGE_H
#define SCANS_SCANIMAGE_H

#include <QImage>
#include <QString>

namespace Scans {

/** Larger images are refused before they are decoded: 16384 x 16384 pixels. */
constexpr qint64 maxScanPixels = qint64(1) << 28;

/**
 * Page page (0 the first) of the image file at path (PNG, JPEG, TIFF of any compression Qt's plugins
 * read, grey, colour or bitonal) as 8-bit grey; a null image with error set when it cannot be read,
 * has no such page or is larger than maxScanPixels.
 */
QImage loadScanImage(const QString &path, int page, QString *error);

} // namespace Scans

#endif // SCANS_SCANIMAGE_H
