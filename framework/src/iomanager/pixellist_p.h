#ifndef IOMANAGER_PIXELLIST_P_H
#define IOMANAGER_PIXELLIST_P_H

#include "iomanager/diagnostic.h"

#include <QImage>
#include <QtGlobal>

#include <vector>

class QIODevice;
class QStringView;

namespace IOManager {
namespace Private {

class ImageArena;

/*
 * The longest pixel list written: the reader takes a text up to TokenGuard's limit, and the closing
 * tag that ends the text counts against it too.
 */
constexpr qint64 maxPixelListBytes = (qint64(1) << 28) - 64;

/*
 * Writes the pixel list of image straight to device, in the bytes that
 * QString::number(pixel(x, y), 10) joined with "," would give; false when the device fails, or
 * when the list would pass maxPixelListBytes: the file would be one the reader cannot read back.
 */
bool writePixels(const QImage &image, QIODevice *device);

/*
 * The pixel list of one picture. The values must be taken while the reader still
 * holds the "data" text, yet the picture's final size and format are known only at
 * its end. The writer puts size and format first, so the values normally go straight
 * into the image's scan lines; otherwise they wait as a list of words.
 */
class PixelValues
{
public:
    /** Images come from arena when one is given; it must outlive the values. */
    explicit PixelValues(ImageArena *arena = nullptr) : m_arena(arena) {}
    ~PixelValues();

    /* Reads every value as QString::toUInt(base 10) reads it; width and height as known so far. */
    void read(QStringView text, int width, int height);

    /*
     * The picture's image for its final size and format. False, with a null image and the
     * problem set, when pixels are lost; a picture without size and values is null without one.
     */
    bool image(int width, int height, int format, QImage *image, Diagnostic::Kind *problem) const;

private:
    Q_DISABLE_COPY(PixelValues)

    /* Nulls m_image, giving its space back to the arena when no picture took it. */
    void dropImage();

    ImageArena *m_arena;
    qint64 m_count = 0;
    bool m_tooLarge = false;
    QImage m_image;                 // the values as ARGB32 words, when they fitted the size known at the time
    std::vector<quint32> m_words;   // the values otherwise
};

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_PIXELLIST_P_H
