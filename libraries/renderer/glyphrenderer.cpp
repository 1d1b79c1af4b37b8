#include "glyphrenderer.h"

#include "glyphcanvas_p.h"
#include "glyphmetrics.h"
#include "glyphrenderer_p.h"
#include "inkloss_p.h"
#include "markglyphs_p.h"
#include "pointsizesearch_p.h"
#include "renderedletter_p.h"
#include "rendersettings.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtMath>

namespace {

const QString &characterSet()
{
    // "!" to "~", then diaeresis, e acute, e grave, c cedilla and a grave.
    static const QString set = QString::fromUtf8(
        "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~"
        "\xC2\xA8\xC3\xA9\xC3\xA8\xC3\xA7\xC3\xA0");
    return set;
}

// A single UTF-16 unit takes the character's own advance; only longer letters need text layout.
int advanceOf(const QFontMetrics &fontMetrics, const QString &letter)
{
    return letter.size() == 1 ? fontMetrics.horizontalAdvance(letter.at(0)) : fontMetrics.horizontalAdvance(letter);
}

// A letter that begins with a mark is as wide as its ink as well: room for its outline box and a pixel each side.
qint64 imageWidth(const QFontMetrics &metrics, const QString &letter)
{
    const qint64 advance = qMax(0, advanceOf(metrics, letter));
    return MarkGlyphs::beginsWithMark(letter) ? advance + qMax(0, outlineBox(metrics, letter).width()) + 2 : advance;
}

bool fitsPixelBudget(const GlyphMetrics &metrics, const QStringList &letters)
{
    qint64 pixels = 0;
    for (const QString &letter : letters) {
        pixels += imageWidth(metrics.advances, letter) * qMax(0, metrics.height);
    }
    return pixels <= maxGlyphPixels;
}

} // namespace

bool fitsPixelBudget(const QFont &font, const QStringList &letters, int dpi)
{
    return fitsPixelBudget(glyphMetricsAt(font, dpi), letters);
}

int renderedPixelSize(const QFont &font, int dpi)
{
    if (dpi <= 0) {
        return QFontInfo(font).pixelSize();
    }
    const QImage canvas = glyphImage(1, 1, dpi);
    return QFontInfo(QFont(font, &canvas)).pixelSize();
}

namespace {

bool fitsAtPointSize(QFont font, int pointSize, const QStringList &letters, int dpi)
{
    font.setPointSize(pointSize);
    return fitsPixelBudget(glyphMetricsAt(font, dpi), letters);
}

bool hasInk(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0) {
                return true;
            }
        }
    }
    return false;
}

/*
 * A letter that begins with a combining mark, whose ink lies left of the pen as often as not: the image spans
 * its ink and its advance, as high as the line, and *penX is the column the pen stood at.
 */
QImage drawMarkInLine(const QFont &font, const QString &letter, const MarkRun &mark, int advance, const GlyphMetrics &metrics,
                      int dpi, int *penX)
{
    *penX = 0;
    const int left = qMin(0, qFloor(mark.box.left()) - 1);
    const int right = qMax(advance, qCeil(mark.box.right()) + 1);
    QImage scratch = glyphImage(right - left, metrics.height, dpi);
    if (scratch.isNull()) {
        QImage blank = glyphImage(advance, metrics.height, dpi);
        if (!blank.isNull()) {
            blank.fill(qRgba(255, 255, 255, 0));
        }
        return blank;
    }
    scratch.fill(qRgba(255, 255, 255, 0));
    QPainter p(&scratch);
    p.setFont(font);
    p.setPen(QPen(QColor(Qt::black)));
    drawLetter(p, QPoint(-left, metrics.ascent), letter, mark);
    p.end();
    const QRect ink = inkRect(scratch);
    const int first = ink.isNull() ? -left : qMin(ink.left(), -left);
    const int last = ink.isNull() ? -left + advance - 1 : qMax(ink.right(), -left + advance - 1);
    *penX = -left - first;
    return scratch.copy(first, 0, last - first + 1, metrics.height);
}

} // namespace

QStringList defaultLetters()
{
    QStringList letters;
    for (const QChar c : characterSet()) {
        letters.append(QString(c));
    }
    return letters;
}

QString defaultFontFileName(const QString &family, const QString &style, const QString &size)
{
    QString name = family + QLatin1String("__") + style + QLatin1String("__") + size + QLatin1String(".of");
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return name;
}

bool renderGlyphs(const QFont &font, Models::Font *docFont)
{
    return renderGlyphs(font, defaultLetters(), docFont);
}

bool renderGlyphs(const QFont &font, const QStringList &letters, Models::Font *docFont, QStringList *emptyLetters,
                  int dpi, QStringList *clippedLetters)
{
    return drawLineBoxes(font, letters, dpi, docFont, emptyLetters, clippedLetters, nullptr);
}

bool drawLineBoxes(const QFont &font, const QStringList &letters, int dpi, Models::Font *docFont,
                   QStringList *emptyLetters, QStringList *clippedLetters, QVector<int> *penColumns)
{
    const GlyphMetrics metrics = glyphMetricsAt(font, dpi);
    if (emptyLetters) {
        emptyLetters->clear();
    }
    if (clippedLetters) {
        clippedLetters->clear();
    }
    if (penColumns) {
        penColumns->clear();
    }
    if (!fitsPixelBudget(metrics, letters)) {
        return false;
    }

    MarkGlyphs marks(font, dpi);
    int widthSum = 0;
    int heightSum = 0;
    int count = 0;
    for (const QString &letter : letters) {
        const MarkRun mark = marks.run(letter);
        int w = advanceOf(metrics.advances, letter);
        int penX = 0;
        QImage img;
        if (mark.isEmpty()) {
            img = glyphImage(w, metrics.height, dpi);
            // A painter on an image without pixels only warns; the empty image is stored all the same.
            if (!img.isNull()) {
                img.fill(qRgba(255, 255, 255, 0));
                QPainter p(&img);
                p.setFont(font);
                p.setPen(QPen(QColor(Qt::black)));
                p.drawText(0, metrics.ascent, letter);
            }
        } else {
            img = drawMarkInLine(font, letter, mark, qRound(mark.advance), metrics, dpi, &penX);
            w = img.width();
        }
        if (emptyLetters && !hasInk(img)) {
            emptyLetters->append(letter);
        }
        if (clippedLetters) {
            if (losesInk(img, metrics.height, QPoint(penX, metrics.ascent), outlineBox(metrics.advances, letter, mark), font, dpi, letter, mark)) {
                clippedLetters->append(letter);
            }
        }
        if (penColumns) {
            penColumns->append(penX);
        }
        // Wrapped once the painter is done: an image copied while painting is active is copied pixel by pixel.
        docFont->addCharacter(newLetter(letter, img));

        widthSum += w;
        heightSum += metrics.height;
        ++count;
    }

    // No letters at all (every one left out) gives an empty space image rather than a division by zero.
    QImage spaceImg = glyphImage(count ? widthSum / count : 0, count ? heightSum / count : 0, dpi);
    spaceImg.fill(0);
    docFont->addCharacter(newLetter(QStringLiteral(" "), spaceImg));
    return true;
}

int largestFittingPointSize(const QFont &font, const QStringList &letters, int dpi)
{
    return largestFittingSize([&](int pointSize) { return fitsAtPointSize(font, pointSize, letters, dpi); });
}
