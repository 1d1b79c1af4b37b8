#include "glyphmetrics.h"
#include "glyphcanvas_p.h"
#include "pairadjustments_p.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QRawFont>
#include <QRectF>

namespace {

/*
 * The pairs of letters (row = left letter) that kerning can reach: those the font's kerning data adjusts, and
 * every pair it cannot speak for: a letter that is not one character, two letters the font lacks (a fallback
 * font draws them and may kern them), a font whose kerning data is of a kind not read here.
 */
QVector<bool> kernablePairs(const QFont &font, const QStringList &letters)
{
    const int count = letters.size();
    QVector<bool> kernable(count * count, true);
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || !raw.fontTable("kerx").isEmpty()) {
        return kernable;
    }
    constexpr int unknown = -1;
    constexpr int lacking = -2;
    QVector<int> placeOf;
    QVector<quint16> glyphs;
    QHash<quint32, int> placeOfGlyph;
    for (const QString &letter : letters) {
        const QVector<quint32> indexes = raw.glyphIndexesForString(letter);
        if (indexes.size() != 1 || letter.toUcs4().size() != 1 || indexes.first() > 0xFFFF) {
            placeOf.append(unknown);
        } else if (indexes.first() == 0) {
            placeOf.append(lacking);
        } else {
            const auto found = placeOfGlyph.constFind(indexes.first());
            if (found != placeOfGlyph.constEnd()) {
                placeOf.append(*found);
            } else {
                placeOf.append(glyphs.size());
                placeOfGlyph.insert(indexes.first(), glyphs.size());
                glyphs.append(quint16(indexes.first()));
            }
        }
    }
    QVector<bool> adjustable;
    if (!PairAdjustments::adjustablePairs(raw.fontTable("GPOS"), raw.fontTable("kern"), glyphs, &adjustable)) {
        return kernable;
    }
    for (int left = 0; left < count; ++left) {
        for (int right = 0; right < count; ++right) {
            const int l = placeOf.at(left);
            const int r = placeOf.at(right);
            kernable[left * count + right] = l == unknown || r == unknown || (l == lacking && r == lacking)
                                             || (l >= 0 && r >= 0 && adjustable.at(l * glyphs.size() + r));
        }
    }
    return kernable;
}

} // namespace

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

bool measureKerning(const QFont &font, int dpi, const QStringList &letters, QVector<KerningPair> *pairs)
{
    pairs->clear();
    if (letters.size() > maxKerningLetters) {
        return false;
    }
    const QVector<bool> kernable = kernablePairs(font, letters);
    // Qt keeps ligatures from forming when letters are spaced out; the spacing adds to the pair and to each of
    // its letters alike, so that the difference below is the kerning alone.
    QFont spaced(font);
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    const QFontMetricsF metrics = metricsAt<QFontMetricsF>(spaced, dpi);
    QVector<qreal> alone(letters.size(), -1);
    const auto advance = [&](int i) {
        if (alone.at(i) < 0) {
            alone[i] = metrics.horizontalAdvance(letters.at(i));
        }
        return alone.at(i);
    };
    QString pair;
    for (int i = 0; i < letters.size(); ++i) {
        for (int j = 0; j < letters.size(); ++j) {
            if (!kernable.at(i * letters.size() + j)) {
                continue;
            }
            pair = letters.at(i);
            pair += letters.at(j);
            const qreal adjustment = metrics.horizontalAdvance(pair) - advance(i) - advance(j);
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
