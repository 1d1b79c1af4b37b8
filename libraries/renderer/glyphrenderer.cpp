#include "glyphrenderer.h"

#include "glyphcanvas_p.h"
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
#include <QString>
#include <QStringList>
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

bool fitsPixelBudget(const GlyphMetrics &metrics, const QStringList &letters)
{
    qint64 pixels = 0;
    for (const QString &letter : letters) {
        pixels += qint64(qMax(0, advanceOf(metrics.advances, letter))) * qMax(0, metrics.height);
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
                  int dpi)
{
    const GlyphMetrics metrics = glyphMetricsAt(font, dpi);
    if (emptyLetters) {
        emptyLetters->clear();
    }
    if (!fitsPixelBudget(metrics, letters)) {
        return false;
    }

    int widthSum = 0;
    int heightSum = 0;
    int count = 0;
    for (const QString &letter : letters) {
        const int w = advanceOf(metrics.advances, letter);
        const int h = metrics.height;

        QImage img = glyphImage(w, h, dpi);
        // A painter on an image without pixels only warns; the empty image is stored all the same.
        if (!img.isNull()) {
            img.fill(qRgba(255, 255, 255, 0));
            QPainter p(&img);
            p.setFont(font);
            p.setPen(QPen(QColor(Qt::black)));
            p.drawText(0, metrics.ascent, letter);
        }
        if (emptyLetters && !hasInk(img)) {
            emptyLetters->append(letter);
        }
        // Wrapped once the painter is done: an image copied while painting is active is copied pixel by pixel.
        docFont->addCharacter(newLetter(letter, img));

        widthSum += w;
        heightSum += h;
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
