#include "scanimage.h"

#include <QFileInfo>
#include <QImageReader>

namespace Scans {

QImage loadScanImage(const QString &path, int page, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QFileInfo::exists(path) ? QStringLiteral("not a regular file") : QStringLiteral("no such file");
        return QImage();
    }
    QImageReader reader(path);
    reader.setAutoTransform(false); // coordinates are those of the stored pixels
    if (page > 0) {
        const int count = reader.imageCount();
        if (page >= count || !reader.jumpToImage(page)) {
            *error = QStringLiteral("no page %1 (the file holds %2)").arg(page).arg(qMax(count, 1));
            return QImage();
        }
    }
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxScanPixels) {
        *error = QStringLiteral("%1 x %2 pixels, more than %3").arg(size.width()).arg(size.height()).arg(maxScanPixels);
        return QImage();
    }
    QImage image;
    if (!reader.read(&image)) {
        *error = reader.errorString();
        return QImage();
    }
    return image.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace Scans
