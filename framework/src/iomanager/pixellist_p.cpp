#include "iomanager/pixellist_p.h"
#include "iomanager/imagearena_p.h"
#include "iomanager/tokenguard_p.h"

#include <QIODevice>
#include <QtAlgorithms>
#include <QString>
#include <QStringView>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>

namespace IOManager {
namespace Private {

namespace {

using PixelWord = quint32;

// A QImage holds at most INT_MAX bytes; more values than that in 32-bit words can never be used.
constexpr qint64 maxPixelCount = std::numeric_limits<int>::max() / sizeof(PixelWord);

/* The number of values in a pixel list: its commas plus one, and none in an empty text. */
qint64 countPixelValues(const ushort *text, qint64 length)
{
    if (length == 0) {
        return 0;
    }
    qint64 commas = 0;
    qint64 i = 0;
#ifdef __SSE2__
    // Eight characters a step: an -O2 build leaves the plain loop scalar, and it would cost as much as the parsing.
    const __m128i comma = _mm_set1_epi16(',');
    while (length - i >= 8) {
        // 16-bit lane counters, emptied before they can overflow.
        const qint64 blockEnd = i + std::min<qint64>((length - i) / 8, 32767) * 8;
        __m128i lanes = _mm_setzero_si128();
        for (; i < blockEnd; i += 8) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
            lanes = _mm_sub_epi16(lanes, _mm_cmpeq_epi16(chars, comma));
        }
        alignas(16) qint32 sums[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(sums), _mm_madd_epi16(lanes, _mm_set1_epi16(1)));
        commas += qint64(sums[0]) + sums[1] + sums[2] + sums[3];
    }
#endif
    for (; i < length; ++i) {
        commas += text[i] == u',';
    }
    return commas + 1;
}

/* How many units from pos on repeat the ones period units before them, up to end. */
qint64 repeatedSpan(const ushort *pos, const ushort *end, qint64 period)
{
    const ushort *at = pos;
#ifdef __SSE2__
    while (end - at >= 8) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at - period));
        const uint equal = uint(_mm_movemask_epi8(_mm_cmpeq_epi16(here, before)));
        if (equal != 0xffffu) {
            return (at - pos) + qCountTrailingZeroBits(~equal) / 2;
        }
        at += 8;
    }
#endif
    while (at != end && *at == at[-period]) {
        ++at;
    }
    return at - pos;
}

/* One value as QString::toUInt(base 10) reads it; moves pos past its comma. */
PixelWord parsePixelValue(const ushort *&pos, const ushort *end)
{
    const ushort *start = pos;
    quint64 value = 0;
    while (pos != end && ushort(*pos - u'0') <= 9) {
        value = value * 10 + (*pos - u'0');
        ++pos;
    }
    const qint64 digits = pos - start;
    PixelWord word = PixelWord(value);
    // Plain decimals of up to ten digits, all that the writer makes, take the quick way.
    if ((pos != end && *pos != u',') || digits == 0 || digits > 10 || value > 0xffffffffu) {
        while (pos != end && *pos != u',') {
            ++pos;
        }
        // trimmed(): Qt 6's toUInt() passes over ASCII white space only.
        word = QString::fromRawData(reinterpret_cast<const QChar *>(start), int(pos - start)).trimmed().toUInt(nullptr, 10);
    }
    if (pos != end) {
        ++pos;
    }
    return word;
}

/*
 * Reads count values of a pixel list into words. Glyph images are mostly long runs of one
 * value: where the text of the value just read, comma included, repeats, the value does too,
 * and a run is found by comparing the text with itself one value back, eight units a step.
 * Never reads past end.
 */
void parsePixelValues(const ushort *pos, const ushort *end, PixelWord *words, qint64 count)
{
    qint64 i = 0;
    while (i < count) {
        const ushort *start = pos;
        const PixelWord word = parsePixelValue(pos, end);
        words[i++] = word;
        const qint64 period = pos - start;
        if (i == count || pos[-1] != u',') {
            continue;
        }
        const ushort *runEnd = pos + repeatedSpan(pos, end, period);
        while (i < count && runEnd - pos >= period) {
            words[i++] = word;
            pos += period;
        }
    }
}

bool hasColourTable(int format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8;
}

} // namespace

/*
 * Digits and commas need no escaping, so going around the XML writer changes nothing
 * in the file and saves one QString per pixel.
 */
static_assert(maxPixelListBytes < TokenGuard::defaultLimit, "a list the writer writes must read back");

bool writePixels(const QImage &image, QIODevice *device)
{
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) {
        return true;
    }

    constexpr int chunkSize = 64 * 1024;
    constexpr int maxPixelText = 11; // "4294967295,"
    constexpr int copyWidth = 16;    // a repeated text is copied whole words at a time
    std::unique_ptr<char[]> buffer(new char[chunkSize + copyWidth]);
    char *const begin = buffer.get();
    char *const limit = begin + chunkSize;
    char *out = begin;

    const QImage::Format format = image.format();
    // These formats hold exactly what QImage::pixel() returns, give or take the alpha of RGB32.
    const bool rawWords = format == QImage::Format_ARGB32 || format == QImage::Format_ARGB32_Premultiplied;
    const bool opaqueWords = format == QImage::Format_RGB32;
    std::vector<QRgb> converted(rawWords ? 0 : width);

    qint64 written = 0;
    char lastText[copyWidth] = {'0', ','};
    QRgb lastValue = 0;
    int lastLength = 2;

    for (int y = 0; y < height; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (opaqueWords) {
            for (int x = 0; x < width; ++x) {
                converted[x] = line[x] | 0xff000000u;
            }
            line = converted.data();
        } else if (!rawWords) {
            for (int x = 0; x < width; ++x) {
                converted[x] = image.pixel(x, y);
            }
            line = converted.data();
        }
        for (int x = 0; x < width; ++x) {
            if (out >= limit) {
                written += out - begin;
                if (written > maxPixelListBytes || device->write(begin, out - begin) != out - begin) {
                    return false;
                }
                out = begin;
            }
            // Glyph images are mostly one background value: repeat its text rather than format it again.
            if (line[x] != lastValue) {
                lastValue = line[x];
                lastLength = int(std::to_chars(lastText, lastText + maxPixelText, lastValue).ptr - lastText);
                lastText[lastLength++] = ',';
            }
            std::memcpy(out, lastText, copyWidth);
            out += lastLength;
        }
    }
    --out; // no separator after the last value
    return written + (out - begin) <= maxPixelListBytes && device->write(begin, out - begin) == out - begin;
}

void PixelValues::read(QStringView text, int width, int height)
{
    dropImage();
    std::vector<PixelWord>().swap(m_words);
    m_tooLarge = false;

    const ushort *begin = reinterpret_cast<const ushort *>(text.utf16());
    const ushort *end = begin + text.size();
    m_count = countPixelValues(begin, text.size());
    if (m_count == 0) {
        return;
    }
    if (m_count > maxPixelCount) {
        m_tooLarge = true;
        return;
    }
    if (width > 0 && height > 0 && m_count == qint64(width) * height) {
        m_image = m_arena ? m_arena->image(width, height) : QImage(width, height, QImage::Format_ARGB32);
        if (m_image.isNull()) {
            m_tooLarge = true;
            return;
        }
        // 32-bit scan lines follow each other without padding.
        parsePixelValues(begin, end, reinterpret_cast<PixelWord *>(m_image.bits()), m_count);
        return;
    }
    m_words.resize(std::size_t(m_count));
    parsePixelValues(begin, end, m_words.data(), m_count);
}

PixelValues::~PixelValues()
{
    dropImage();
}

void PixelValues::dropImage()
{
    if (m_arena) {
        m_arena->giveBack(&m_image);
    }
    m_image = QImage();
}

bool PixelValues::image(int width, int height, int format, QImage *image, Diagnostic::Kind *problem) const
{
    *image = QImage();
    if (width <= 0 || height <= 0 || m_count != qint64(width) * height) {
        *problem = Diagnostic::PixelCountMismatch;
        return m_count == 0 && (width <= 0 || height <= 0);
    }
    // Qt 5 dies inside the QImage constructor on a number outside its enumeration.
    if (format <= QImage::Format_Invalid || format >= QImage::NImageFormats) {
        *problem = Diagnostic::UnknownPictureFormat;
        return false;
    }
    *problem = Diagnostic::PictureTooLarge;
    // Qt 6's floating-point formats take up to 16 bytes a pixel: hold them to the bytes ARGB32 may take.
    const qint64 imageBytes = m_count * QImage::toPixelFormat(QImage::Format(format)).bitsPerPixel() / 8;
    if (m_tooLarge || imageBytes > maxPixelCount * qint64(sizeof(PixelWord))) {
        return false;
    }

    // setPixel() with ARGB values on a colour table format drops every pixel.
    const QImage::Format target = hasColourTable(format) ? QImage::Format_ARGB32 : QImage::Format(format);
    if (!m_image.isNull() && m_image.width() == width && target == QImage::Format_ARGB32) {
        *image = m_image;
        return true;
    }
    // The arena takes back only the image it handed out last: an unused m_image must stay that.
    QImage result = m_arena && m_image.isNull() && target == QImage::Format_ARGB32 ? m_arena->image(width, height)
                                                                                 : QImage(width, height, target);
    if (result.isNull()) {
        return false;
    }
    const PixelWord *words =
        m_image.isNull() ? m_words.data() : reinterpret_cast<const PixelWord *>(m_image.constBits());
    if (target == QImage::Format_ARGB32) {
        std::memcpy(result.bits(), words, std::size_t(m_count) * sizeof(PixelWord));
    } else {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                result.setPixel(x, y, *words++);
            }
        }
    }
    *image = result;
    return true;
}

} // namespace Private
} // namespace IOManager
