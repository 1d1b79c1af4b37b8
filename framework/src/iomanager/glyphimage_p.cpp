#include "iomanager/glyphimage_p.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

namespace IOManager {
namespace Private {

namespace {

// A top-down BMP declares a negative height.
bool fitsGlyphImageLimit(const QSize &size)
{
    return qAbs(size.width()) <= maxGlyphImageSide && qAbs(size.height()) <= maxGlyphImageSide;
}

enum class BmpRows { Complete, CutShort, RunLength };

struct BmpHeader
{
    qint64 dataOffset = 0;
    qint64 width = 0;
    qint64 height = 0;
    qint64 bitsPerPixel = 0;
    quint32 compression = 0;
};

bool readBmpHeader(const QString &path, BmpHeader *header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.read(54);
    if (bytes.size() < 26) {
        return false;
    }
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    header->dataOffset = qFromLittleEndian<quint32>(data + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(data + 14);
    if (infoSize == 12) { // the old OS/2 header: 16-bit sizes, never compressed
        header->width = qFromLittleEndian<quint16>(data + 18);
        header->height = qFromLittleEndian<quint16>(data + 20);
        header->bitsPerPixel = qFromLittleEndian<quint16>(data + 24);
        return true;
    }
    if (bytes.size() < 34) {
        return false;
    }
    header->width = qAbs(qint64(qFromLittleEndian<qint32>(data + 18)));
    header->height = qAbs(qint64(qFromLittleEndian<qint32>(data + 22)));
    header->bitsPerPixel = qFromLittleEndian<quint16>(data + 28);
    header->compression = qFromLittleEndian<quint32>(data + 30);
    return true;
}

/*
 * Qt decodes an uncompressed BMP that is cut short without a word, leaving the missing rows as
 * whatever memory held; so its length is checked against what its header promises. Run-length
 * encoded rows have no fixed length to check against.
 */
BmpRows bmpRows(const QString &path, qint64 fileSize)
{
    BmpHeader header;
    if (!readBmpHeader(path, &header)) {
        return BmpRows::CutShort;
    }
    constexpr quint32 rgb = 0, bitfields = 3, alphaBitfields = 6;
    if (header.compression != rgb && header.compression != bitfields && header.compression != alphaBitfields) {
        return BmpRows::RunLength;
    }
    if (header.width > maxGlyphImageSide || header.height > maxGlyphImageSide || header.bitsPerPixel > 64) {
        return BmpRows::CutShort; // beyond what the size check lets through or Qt decodes
    }
    const qint64 rowBytes = (header.width * header.bitsPerPixel + 31) / 32 * 4;
    return fileSize >= header.dataOffset + rowBytes * header.height ? BmpRows::Complete : BmpRows::CutShort;
}

/*
 * Whether a JPEG holds more than maxScans scans (start-of-scan segments). Qt decodes a progressive
 * JPEG pass by pass over the whole image, so a small file of thousands of tiny scans takes minutes.
 * The markers are walked without decoding: segments by their length, entropy-coded data up to the
 * next 0xFF that is neither a stuffed 0x00 nor a restart marker.
 */
bool hasTooManyJpegScans(const QString &path, int maxScans)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray data = file.readAll();
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qint64 size = data.size();
    int scans = 0;
    qint64 i = 2; // after the start-of-image marker
    while (i + 3 < size) {
        if (bytes[i] != 0xFF) {
            ++i; // entropy-coded data
            continue;
        }
        const uchar marker = bytes[i + 1];
        if (marker == 0x00 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            ++i; // stuffed byte, fill byte, restart or standalone marker
            continue;
        }
        if (marker == 0xD9) {
            break; // end of image
        }
        if (marker == 0xDA && ++scans > maxScans) {
            return true;
        }
        i += 2 + ((qint64(bytes[i + 2]) << 8) | bytes[i + 3]);
    }
    return false;
}

/*
 * Runs may leave pixels out, which Qt leaves as whatever memory held. Given an image of the
 * size and format it decodes to, Qt fills that one in place: so decode again into a cleared one.
 */
bool decodeIntoClearedImage(const QString &path, QImage *image)
{
    QImage cleared(image->size(), image->format());
    cleared.fill(0);
    QImageReader again(path);
    again.setDecideFormatFromContent(true);
    if (!again.read(&cleared) || cleared.size() != image->size()) {
        return false;
    }
    *image = cleared;
    return true;
}

} // namespace

QImage GlyphImageLoader::load(const QString &path, const DiagnosticSink &sink)
{
    const auto refuse = [&](Diagnostic::Kind kind) {
        sink(Diagnostic(kind, path));
        return QImage();
    };
    const QFileInfo info(path);
    if (!info.isFile()) {
        // A link to a FIFO or a device would block or never end; a directory just holds no image.
        return info.exists() && !info.isDir() ? refuse(Diagnostic::GlyphNotRegularFile) : QImage();
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        return QImage();
    }
    if (format != "png" && format != "jpeg" && format != "jpg" && format != "bmp") {
        return refuse(Diagnostic::GlyphUnsupportedFormat);
    }
    // Qt 5 has no allocation limit of its own: the header's size is all we can go by before decoding.
    const QSize declared = reader.size();
    if (declared == QSize(-1, -1)) {
        return QImage(); // no readable header, so nothing Qt could decode either
    }
    if (!fitsGlyphImageLimit(declared)) {
        return refuse(Diagnostic::GlyphTooLarge);
    }
    if (qint64(qAbs(declared.width())) * qAbs(declared.height()) > m_budget) {
        return refuse(Diagnostic::GlyphBudgetExceeded);
    }
    if (format != "bmp" && format != "png" && hasTooManyJpegScans(path, maxJpegScans)) {
        return refuse(Diagnostic::GlyphTooManyScans);
    }
    const BmpRows rows = format == "bmp" ? bmpRows(path, info.size()) : BmpRows::Complete;
    if (rows == BmpRows::CutShort) {
        return refuse(Diagnostic::GlyphCutShort);
    }
    QImage image;
    // A failed read can still hand back an image, part decoded and part whatever memory held.
    if (!reader.read(&image) || (rows == BmpRows::RunLength && !decodeIntoClearedImage(path, &image))) {
        return refuse(Diagnostic::GlyphDamaged);
    }
    if (!fitsGlyphImageLimit(image.size())) {
        return refuse(Diagnostic::GlyphTooLarge);
    }
    m_budget -= qint64(image.width()) * image.height();
    return image;
}

} // namespace Private
} // namespace IOManager
