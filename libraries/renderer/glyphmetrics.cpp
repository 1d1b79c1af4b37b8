#include "glyphmetrics.h"

#include <QFontMetricsF>
#include <QImage>
#include <QRectF>

QRect inkRect(const QImage &image, const QRect &area)
{
    const QRect scanned = area.isNull() ? image.rect() : area.intersected(image.rect());
    // The glyph images are 32-bit; anything else goes through pixel().
    const bool words = image.depth() == 32;
    int left = scanned.right() + 1;
    int right = -1;
    int top = -1;
    int bottom = -1;
    for (int y = scanned.top(); y <= scanned.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int first = -1;
        int last = -1;
        for (int x = scanned.left(); x <= scanned.right(); ++x) {
            if (words ? qAlpha(line[x]) != 0 : qAlpha(image.pixel(x, y)) != 0) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (first < 0) {
            continue;
        }
        top = top < 0 ? y : top;
        bottom = y;
        left = qMin(left, first);
        right = qMax(right, last);
    }
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void measureFont(const QFontMetricsF &metrics, int pixelSize, FontGeometry *geometry)
{
    geometry->pixelSize = pixelSize;
    geometry->ascent = metrics.ascent();
    geometry->descent = metrics.descent();
    geometry->lineSpacing = metrics.lineSpacing();
    geometry->spaceAdvance = metrics.horizontalAdvance(QLatin1Char(' '));
}

void measureLetter(const QFontMetricsF &metrics, LetterGeometry *letter)
{
    const QString &text = letter->letter;
    letter->advance = text.size() == 1 ? metrics.horizontalAdvance(text.at(0)) : metrics.horizontalAdvance(text);
    letter->leftBearing = text.isEmpty() ? 0 : metrics.boundingRect(text).left();
}

bool measureKerning(const QFontMetricsF &metrics, const QStringList &letters, QVector<KerningPair> *pairs)
{
    pairs->clear();
    if (letters.size() > maxKerningLetters) {
        return false;
    }
    QVector<qreal> alone;
    alone.reserve(letters.size());
    for (const QString &letter : letters) {
        alone.append(metrics.horizontalAdvance(letter));
    }
    QString pair;
    for (int i = 0; i < letters.size(); ++i) {
        for (int j = 0; j < letters.size(); ++j) {
            pair = letters.at(i);
            pair += letters.at(j);
            const qreal adjustment = metrics.horizontalAdvance(pair) - alone.at(i) - alone.at(j);
            // Advances come in 1/64 pixel steps; anything smaller is rounding in the sum.
            if (qAbs(adjustment) >= 1.0 / 128) {
                pairs->append({letters.at(i), letters.at(j), adjustment});
            }
        }
    }
    return true;
}

PixelAnchors pixelAnchors(const LetterGeometry &letter, int ascent)
{
    PixelAnchors anchors;
    anchors.upLine = letter.origin.y() - ascent;
    anchors.baseLine = letter.origin.y();
    anchors.leftLine = letter.origin.x();
    anchors.rightLine = letter.origin.x() + qRound(letter.advance);
    return anchors;
}
