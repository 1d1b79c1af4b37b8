#include "composer.h"

#include "samplerandom.h"
#include "typeface.h"

#include <QPainter>
#include <QSet>
#include <QtMath>

#include <climits>
#include <cmath>

namespace Compose {

namespace {

// The pen beyond this many pixels makes a line no image holds; it is still followed to say how wide.
constexpr qreal maxPen = 1 << 30;

int column(qreal pen)
{
    return qRound(qBound(-maxPen, pen, maxPen));
}

/* A letter or a space set on a line, its rect relative to the pen's start on the baseline. */
struct Item {
    int letter = -1; // -1 for a space
    int picture = 0;
    QRect rect;
};

/* A line set but not drawn: its items, and its extent around the baseline. */
struct SetLine {
    QString text;
    QVector<Item> items;
    qint64 left = 0;
    qint64 right = 0;
    qint64 top = 0;
    qint64 bottom = 0;
};

int codePointLength(const QString &text, int at)
{
    return text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate() ? 2 : 1;
}

/* The characters no letter covers, once each in the order they come; a set, as a line may hold a hundred thousand. */
struct Missing {
    QStringList list;
    QSet<QString> seen;
    void add(const QString &character)
    {
        if (!seen.contains(character)) {
            seen.insert(character);
            list.append(character);
        }
    }
};

/*
 * Sets text with font's letters; characters no letter covers go to missing. Items are kept only while
 * the line could still fit an image, so that a line of megabytes takes no more memory than one that fits.
 * One piece: the pen, the kerning with the letter before and the draws from random go together, in the
 * order that fixes a sample's bytes.
 */
SetLine setLine(const Typeface &font, const QString &text, const Options &options, SampleRandom &random, Missing *missing)
{
    SetLine line;
    line.top = -font.ascent();
    line.bottom = font.descent();
    qreal pen = 0;
    int previous = -1;
    for (int at = 0; at < text.size();) {
        Item item;
        int length = 1;
        if (text.at(at) == QLatin1Char(' ') && font.spaceAdvance() >= 0) {
            qreal advance = font.spaceAdvance();
            if (options.wordSpacingJitter > 0) {
                advance = qMax<qreal>(0, advance + random.within(options.wordSpacingJitter));
            }
            item.rect = QRect(column(pen), -font.ascent(), column(pen + advance) - column(pen), font.ascent() + font.descent());
            pen += advance;
            previous = -1;
        } else if ((item.letter = font.match(text, at)) >= 0) {
            const Typeface::Letter &letter = font.letter(item.letter);
            length = letter.text.size();
            if (previous >= 0) {
                pen += font.kerning(previous, item.letter);
            }
            item.picture = int(random.below(quint64(letter.pictures.size())));
            const int shift = options.baselineJitter > 0 ? int(random.below(2 * quint64(options.baselineJitter) + 1)) - options.baselineJitter : 0;
            const QSize size = letter.pictures.at(item.picture).size();
            item.rect = QRect(column(pen) - letter.placement.originX, shift - letter.placement.baseline, size.width(), size.height());
            pen += letter.placement.advance;
            if (options.letterSpacingJitter > 0) {
                pen += random.within(options.letterSpacingJitter);
            }
            previous = item.letter;
        } else {
            length = codePointLength(text, at);
            missing->add(text.mid(at, length));
            at += length;
            continue;
        }
        const QString drawn = text.mid(at, length);
        at += length;
        line.text += drawn;
        line.left = qMin<qint64>(line.left, item.rect.left());
        line.right = qMax<qint64>(line.right, qint64(item.rect.left()) + item.rect.width());
        line.top = qMin<qint64>(line.top, item.rect.top());
        line.bottom = qMax<qint64>(line.bottom, qint64(item.rect.top()) + item.rect.height());
        if (line.right - line.left <= maxSide) {
            line.items.append(item);
        }
    }
    line.right = qMax<qint64>(line.right, column(pen));
    return line;
}

/* Source over destination, both ARGB32 (not premultiplied): where the destination is clear the source comes out exactly. */
void blend(QImage *canvas, const QImage &glyph, int left, int top, const QColor &ink)
{
    const bool recolour = ink.isValid();
    const QRgb inkRgb = ink.rgb() & 0xffffff;
    const int width = glyph.width();
    const int height = glyph.height();
    const qsizetype sourceStride = glyph.bytesPerLine();
    const qsizetype targetStride = canvas->bytesPerLine();
    const uchar *sourceRows = glyph.constBits();
    uchar *targetRows = canvas->bits();
    for (int y = 0; y < height; ++y) {
        const QRgb *source = reinterpret_cast<const QRgb *>(sourceRows + y * sourceStride);
        QRgb *target = reinterpret_cast<QRgb *>(targetRows + (top + y) * targetStride) + left;
        for (int x = 0; x < width; ++x) {
            QRgb src = source[x];
            const uint sa = qAlpha(src);
            if (sa == 0) {
                continue;
            }
            if (recolour) {
                src = (sa << 24) | inkRgb;
            }
            const uint da = qAlpha(target[x]);
            if (sa == 255 || da == 0) {
                target[x] = src;
                continue;
            }
            const QRgb dst = target[x];
            const uint rest = da * (255 - sa);
            const uint total = sa * 255 + rest;
            const auto channel = [&](uint s, uint d) { return (s * sa * 255 + d * rest + total / 2) / total; };
            target[x] = qRgba(int(channel(qRed(src), qRed(dst))), int(channel(qGreen(src), qGreen(dst))),
                              int(channel(qBlue(src), qBlue(dst))), int((total + 127) / 255));
        }
    }
}

// A random crop of one of the background images, scaled up to cover size.
QImage backdrop(const QSize &size, const Options &options, SampleRandom &random)
{
    const QImage &image = options.backgroundImages.at(int(random.below(quint64(options.backgroundImages.size()))));
    const qreal scale = qMax<qreal>(1, qMax(qreal(size.width()) / image.width(), qreal(size.height()) / image.height()));
    const QSize scaled = scale > 1 ? QSize(qMax(size.width(), int(std::ceil(image.width() * scale))),
                                           qMax(size.height(), int(std::ceil(image.height() * scale))))
                                   : image.size();
    const int x = int(random.below(quint64(scaled.width() - size.width() + 1)));
    const int y = int(random.below(quint64(scaled.height() - size.height() + 1)));
    if (scale <= 1) {
        return image.copy(x, y, size.width(), size.height()).convertToFormat(QImage::Format_RGB32);
    }
    // Only the crop is resampled: a small texture scaled up whole under a long line would be many times its size.
    QImage crop(size, QImage::Format_RGB32);
    if (!crop.isNull()) {
        QPainter painter(&crop);
        painter.setCompositionMode(QPainter::CompositionMode_Source); // the crop's memory is not cleared
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(-x, -y, scaled.width(), scaled.height()), image);
    }
    return crop;
}

// The canvas laid over back (RGB32, or one colour where back is null): RGB32, or 8-bit grey when grey.
QImage flatten(const QImage &canvas, const QImage &back, QRgb colour, bool grey)
{
    QImage result(canvas.size(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (result.isNull()) {
        return result;
    }
    const int width = canvas.width();
    // Most of a line is bare background: its grey is worked out once.
    const uchar bareGrey = uchar(qGray(colour));
    for (int y = 0; y < canvas.height(); ++y) {
        const QRgb *source = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
        const QRgb *under = back.isNull() ? nullptr : reinterpret_cast<const QRgb *>(back.constScanLine(y));
        uchar *target = result.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const uint a = qAlpha(source[x]);
            if (a == 0 && grey && !under) {
                target[x] = bareGrey;
                continue;
            }
            const QRgb d = under ? under[x] : colour;
            const auto channel = [a](uint s, uint d) { return int((s * a + d * (255 - a) + 127) / 255); };
            const QRgb pixel = a == 0 ? d : qRgb(channel(qRed(source[x]), qRed(d)), channel(qGreen(source[x]), qGreen(d)),
                                                 channel(qBlue(source[x]), qBlue(d)));
            if (grey) {
                target[x] = uchar(qGray(pixel));
            } else {
                reinterpret_cast<QRgb *>(target)[x] = pixel | 0xff000000;
            }
        }
    }
    return result;
}

// Our own conversion, so that Qt 5 and Qt 6 give the same bytes.
QImage grey(const QImage &image)
{
    QImage result(image.size(), QImage::Format_Grayscale8);
    if (result.isNull()) {
        return result;
    }
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *source = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uchar *target = result.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            target[x] = uchar(qGray(source[x]));
        }
    }
    return result;
}

bool fits(qint64 width, qint64 height)
{
    return width <= maxSide && height <= maxSide && width * height <= maxPixels;
}

// Outwards to whole pixels, and inside the image however the products round.
QRect scaled(const QRect &rect, qreal sx, qreal sy, const QRect &image)
{
    const int left = int(std::floor(rect.left() * sx));
    const int top = int(std::floor(rect.top() * sy));
    const int right = int(std::ceil((rect.left() + rect.width()) * sx));
    const int bottom = int(std::ceil((rect.top() + rect.height()) * sy));
    return QRect(left, top, right - left, bottom - top).intersected(image);
}

void scaleLayout(QVector<LineLayout> *lines, qreal sx, qreal sy, const QRect &image)
{
    for (LineLayout &line : *lines) {
        line.rect = scaled(line.rect, sx, sy, image);
        line.baseline = qBound(0, qRound(line.baseline * sy), image.height());
        for (Box &box : line.characters) {
            box.rect = scaled(box.rect, sx, sy, image);
        }
        for (Box &box : line.words) {
            box.rect = scaled(box.rect, sx, sy, image);
        }
    }
}

// The boxes of a set line once its pen starts at x and its baseline is at y.
LineLayout layout(const Typeface &font, const SetLine &set, int x, int y)
{
    LineLayout line;
    line.text = set.text;
    line.baseline = y;
    line.rect = QRect(int(set.left) + x, int(set.top) + y, int(set.right - set.left), int(set.bottom - set.top));
    Box word;
    for (const Item &item : set.items) {
        const QString text = item.letter >= 0 ? font.letter(item.letter).text : QStringLiteral(" ");
        const QRect rect = item.rect.translated(x, y);
        line.characters.append(Box{text, rect, item.letter >= 0 ? item.picture : -1});
        if (item.letter >= 0) {
            word.text += text;
            word.rect |= rect;
        }
        if ((item.letter < 0 || &item == &set.items.last()) && !word.text.isEmpty()) {
            line.words.append(word);
            word = Box();
        }
    }
    return line;
}

} // namespace

QString Composition::label() const
{
    QStringList texts;
    for (const LineLayout &line : lines) {
        texts.append(line.text);
    }
    return texts.join(QLatin1Char('\n'));
}

/*
 * One piece from text to pixels: setting the lines, stacking them, the budget, drawing, the backdrop and
 * the resampling share the offsets and the random stream in this order, which fixes every sample's bytes.
 */
Composition compose(const Typeface &font, const QStringList &lines, const Options &options, quint64 seed)
{
    Composition result;
    SampleRandom random(seed);
    QVector<SetLine> set;
    Missing missing;
    for (const QString &text : lines) {
        set.append(setLine(font, text, options, random, &missing));
    }
    result.missing = missing.list;
    if (!result.missing.isEmpty() && !options.dropMissing) {
        result.status = Composition::Status::Missing;
        return result;
    }

    // Lines one under the other, each baseline a line spacing below the last or lower, pens aligned.
    const qint64 margin = qMax(0, options.margin);
    qint64 left = 0;
    qint64 right = 0;
    for (const SetLine &line : qAsConst(set)) {
        left = qMin(left, line.left);
        right = qMax(right, line.right);
    }
    const qint64 x = margin - left;
    QVector<qint64> baselines;
    for (int i = 0; i < set.size(); ++i) {
        baselines.append(i == 0 ? margin - set.at(0).top
                                : baselines.last() + qMax<qint64>(font.lineSpacing(), set.at(i - 1).bottom - set.at(i).top));
    }
    const qint64 width = qMax<qint64>(1, x + right + margin);
    const qint64 height = qMax<qint64>(1, set.isEmpty() ? 2 * margin : baselines.last() + set.last().bottom + margin);
    result.size = QSize(int(qMin<qint64>(width, INT_MAX)), int(qMin<qint64>(height, INT_MAX)));
    const qint64 scaledWidth = options.height > 0 ? qMax<qint64>(1, qRound64(qreal(width) * options.height / height)) : width;
    if (!fits(width, height) || !fits(scaledWidth, options.height > 0 ? options.height : height)) {
        result.status = Composition::Status::TooLarge;
        return result;
    }

    QImage canvas(int(width), int(height), QImage::Format_ARGB32);
    if (canvas.isNull()) {
        result.status = Composition::Status::NoMemory;
        return result;
    }
    canvas.fill(0);
    for (int i = 0; i < set.size(); ++i) {
        for (const Item &item : set.at(i).items) {
            if (item.letter >= 0) {
                blend(&canvas, font.letter(item.letter).pictures.at(item.picture), item.rect.left() + int(x),
                      item.rect.top() + int(baselines.at(i)), options.ink);
            }
        }
        result.lines.append(layout(font, set.at(i), int(x), int(baselines.at(i))));
    }

    QImage image = canvas;
    const bool resampled = options.height > 0 && options.height != height;
    if (options.background != Options::Background::Transparent) {
        const bool images = options.background == Options::Background::Images && !options.backgroundImages.isEmpty();
        const QRgb colour = options.background == Options::Background::Colour ? options.backgroundColour.rgb() : qRgb(255, 255, 255);
        // Resampled in colour, then made grey: the filter then works on what the eye sees.
        image = flatten(canvas, images ? backdrop(canvas.size(), options, random) : QImage(), colour, !options.colour && !resampled);
    }
    if (resampled && !image.isNull()) {
        image = image.scaled(int(scaledWidth), options.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaleLayout(&result.lines, qreal(scaledWidth) / width, qreal(options.height) / height, QRect(0, 0, int(scaledWidth), options.height));
    }
    if (options.background == Options::Background::Transparent) {
        image = image.convertToFormat(QImage::Format_ARGB32);
    } else if (resampled) {
        image = image.convertToFormat(QImage::Format_RGB32);
        image = options.colour ? image : grey(image);
    }
    if (image.isNull()) {
        result.status = Composition::Status::NoMemory;
        return result;
    }
    result.image = image;
    result.size = image.size();
    return result;
}

} // namespace Compose
