#include "glyphfit.h"

#include "glyphcanvas_p.h"
#include "glyphmetrics.h"
#include "glyphrenderer.h"
#include "glyphrenderer_p.h"
#include "markglyphs_p.h"
#include "pointsizesearch_p.h"
#include "renderedletter_p.h"
#include "rendersettings.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QString>
#include <QStringList>

namespace {

constexpr QRgb alphaMask = 0xFF000000u;

// Room around a letter's outline box on the first canvas: antialiasing and hinting may reach past the box.
int slackOf(const QFontMetrics &metrics)
{
    return 2 + qMax(0, metrics.height()) / 8;
}

// qint64 so that a font with absurd outline boxes is refused rather than overflowing.
qint64 area(qint64 width, qint64 height)
{
    return qMax<qint64>(0, width) * qMax<qint64>(0, height);
}

/*
 * A canvas area for a letter whose outline box is box, margin pixels around it, and the pen origin in it. Qt
 * places a glyph drawn at x 0 a fraction of a pixel apart from one drawn at any other whole x, so the pen
 * never stands there.
 */
void placeOnCanvas(const QRect &box, int margin, QRect *area, QPoint *origin)
{
    const QRect around = box.adjusted(-margin, -margin, margin, margin);
    const int left = qMin(around.left(), -1);
    *area = QRect(0, 0, around.right() - left + 1, around.height());
    *origin = QPoint(-left, -around.top());
}

/*
 * Whether the letters fit the pixel budget once fitted to their ink, the box around each with its slack
 * and padding standing in for the image; *canvas is set to the canvas that holds any one of them.
 */
bool fitsInkBudget(const QFontMetrics &metrics, MarkGlyphs &marks, const QStringList &letters, int padding, QSize *canvas)
{
    const qint64 slack = slackOf(metrics);
    qint64 pixels = 0;
    qint64 canvasWidth = 0;
    qint64 canvasHeight = 0;
    for (const QString &letter : letters) {
        QRect drawArea;
        QPoint origin;
        placeOnCanvas(outlineBox(metrics, letter, marks.run(letter)), int(slack), &drawArea, &origin);
        const qint64 width = drawArea.width();
        const qint64 height = drawArea.height();
        pixels += area(width + 2 * padding, height + 2 * padding);
        canvasWidth = qMax(canvasWidth, width);
        canvasHeight = qMax(canvasHeight, height);
        if (pixels > maxGlyphPixels) {
            return false;
        }
    }
    if (area(canvasWidth, canvasHeight) > maxGlyphPixels) {
        return false;
    }
    if (canvas) {
        *canvas = QSize(int(canvasWidth), int(canvasHeight));
    }
    return true;
}

void beginDrawing(QPainter &painter, QImage *canvas, const QFont &font)
{
    painter.begin(canvas);
    painter.setFont(font);
    painter.setPen(QPen(QColor(Qt::black)));
}

// Draws letter with the pen at origin into area of canvas alone, clearing it first; the ink within area.
QRect drawInArea(QPainter &painter, const QImage &canvas, const QRect &area, const QPoint &origin, const QString &letter,
                 const MarkRun &mark)
{
    painter.setClipRect(area);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawLetter(painter, origin, letter, mark);
    return inkRect(canvas, area);
}

bool reachesEdge(const QRect &ink, const QRect &area)
{
    return !ink.isNull()
           && (ink.left() == area.left() || ink.top() == area.top() || ink.right() == area.right() || ink.bottom() == area.bottom());
}

/*
 * The ink of source within ink, padding pixels on every side, as black with the coverage in alpha: drawn in
 * black over transparent black, a premultiplied pixel is its alpha alone.
 */
QImage cutInk(const QImage &source, const QRect &ink, int padding, int dpi)
{
    const QSize inkSize = ink.isNull() ? QSize(0, 0) : ink.size();
    QImage image = glyphImage(inkSize.width() + 2 * padding, inkSize.height() + 2 * padding, dpi);
    if (image.isNull()) {
        return image;
    }
    image.fill(0);
    for (int y = 0; y < inkSize.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(source.constScanLine(ink.top() + y)) + ink.left();
        auto *to = reinterpret_cast<QRgb *>(image.scanLine(padding + y)) + padding;
        for (int x = 0; x < inkSize.width(); ++x) {
            to[x] = from[x] & alphaMask;
        }
    }
    return image;
}

// The blank " " letter: the average image size, and the average pen origin within it.
void addSpace(const QVector<LetterGeometry> &placed, int dpi, Models::Font *docFont, QVector<LetterGeometry> *geometry)
{
    qint64 width = 0;
    qint64 height = 0;
    qint64 originX = 0;
    qint64 originY = 0;
    for (const LetterGeometry &letter : placed) {
        width += letter.image.width();
        height += letter.image.height();
        originX += letter.origin.x();
        originY += letter.origin.y();
    }
    const qint64 count = qMax(1, placed.size());
    QImage spaceImg = glyphImage(int(width / count), int(height / count), dpi);
    spaceImg.fill(0);
    docFont->addCharacter(newLetter(QStringLiteral(" "), spaceImg));
    LetterGeometry space;
    space.letter = QStringLiteral(" ");
    space.image = spaceImg.size();
    space.origin = QPoint(int(originX / count), int(originY / count));
    geometry->append(space);
}

/*
 * Draws each letter on a canvas around its outline box, where nothing is clipped, and keeps its ink with
 * padding. A letter whose ink reaches the canvas's edge (drawn from another font, or a box that lies) is
 * drawn again on a larger canvas of its own.
 */
bool renderInk(const QFont &font, const QStringList &letters, int padding, int dpi, Models::Font *docFont,
               QVector<LetterGeometry> *placed, QStringList *emptyLetters)
{
    const QFontMetrics metrics = metricsAt<QFontMetrics>(font, dpi);
    MarkGlyphs marks(font, dpi);
    QSize canvasSize;
    if (!fitsInkBudget(metrics, marks, letters, padding, &canvasSize)) {
        return false;
    }
    QImage canvas = glyphImage(canvasSize.width(), canvasSize.height(), dpi, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull() && !canvasSize.isEmpty()) {
        return false;
    }
    QPainter painter;
    if (!canvas.isNull()) {
        beginDrawing(painter, &canvas, font);
    }
    const int slack = slackOf(metrics);
    for (const QString &letter : letters) {
        const MarkRun mark = marks.run(letter);
        const QRect box = outlineBox(metrics, letter, mark);
        QRect drawArea;
        QPoint origin;
        placeOnCanvas(box, slack, &drawArea, &origin);
        QRect ink = canvas.isNull() ? QRect() : drawInArea(painter, canvas, drawArea, origin, letter, mark);
        const QImage *source = &canvas;
        QImage wider;
        for (int grow = 2 * slack; reachesEdge(ink, drawArea); grow *= 2) {
            placeOnCanvas(box, grow, &drawArea, &origin);
            if (area(drawArea.width(), drawArea.height()) > maxGlyphPixels) {
                return false;
            }
            wider = glyphImage(drawArea.width(), drawArea.height(), dpi, QImage::Format_ARGB32_Premultiplied);
            if (wider.isNull()) {
                return false;
            }
            QPainter widerPainter;
            beginDrawing(widerPainter, &wider, font);
            ink = drawInArea(widerPainter, wider, drawArea, origin, letter, mark);
            source = &wider;
        }

        const QImage image = cutInk(*source, ink, padding, dpi);
        if (emptyLetters && ink.isNull()) {
            emptyLetters->append(letter);
        }
        docFont->addCharacter(newLetter(letter, image));
        LetterGeometry geometry;
        geometry.letter = letter;
        geometry.image = image.size();
        geometry.origin = ink.isNull() ? QPoint(padding, padding) : origin - ink.topLeft() + QPoint(padding, padding);
        geometry.ink = ink.isNull() ? QRect() : ink.translated(-origin);
        placed->append(geometry);
    }
    addSpace(*placed, dpi, docFont, placed);
    return true;
}

// The window's drawing, with the place of the pen and the ink of each image when placed is given.
bool renderLineBox(const QFont &font, const QStringList &letters, int dpi, Models::Font *docFont,
                   QVector<LetterGeometry> *placed, QStringList *emptyLetters, QStringList *clippedLetters)
{
    QVector<int> penColumns;
    if (!drawLineBoxes(font, letters, dpi, docFont, emptyLetters, clippedLetters, placed ? &penColumns : nullptr)) {
        return false;
    }
    if (!placed) {
        return true;
    }
    const int ascent = glyphMetricsAt(font, dpi).ascent;
    for (int i = 0; i <= letters.size(); ++i) {
        const QString letter = i < letters.size() ? letters.at(i) : QStringLiteral(" ");
        const QImage image = docFont->getCharacter(letter)->firstPicture()->getImage();
        const QRect ink = inkRect(image);
        LetterGeometry geometry;
        geometry.letter = letter;
        geometry.image = image.size();
        geometry.origin = QPoint(penColumns.value(i), ascent);
        geometry.ink = ink.isNull() ? QRect() : ink.translated(-geometry.origin);
        placed->append(geometry);
    }
    return true;
}

} // namespace

QFont settingsFont(const QFont &font, const RenderSettings &settings)
{
    QFont drawn(font);
    if (!settings.antialias) {
        drawn.setStyleStrategy(QFont::StyleStrategy(drawn.styleStrategy() | QFont::NoAntialias));
    }
    switch (settings.hinting) {
    case RenderSettings::Hinting::Default:
        break;
    case RenderSettings::Hinting::None:
        drawn.setHintingPreference(QFont::PreferNoHinting);
        break;
    case RenderSettings::Hinting::Slight:
        drawn.setHintingPreference(QFont::PreferVerticalHinting);
        break;
    case RenderSettings::Hinting::Full:
        drawn.setHintingPreference(QFont::PreferFullHinting);
        break;
    }
    return drawn;
}

bool renderGlyphs(const QFont &font, const QStringList &letters, const RenderSettings &settings, Models::Font *docFont,
                  FontGeometry *geometry, QStringList *emptyLetters, QStringList *clippedLetters)
{
    if (emptyLetters) {
        emptyLetters->clear();
    }
    if (clippedLetters) {
        clippedLetters->clear();
    }
    const QFont drawn = settingsFont(font, settings);
    const bool pixelAnchors = settings.anchors == RenderSettings::Anchors::Pixels;
    const bool measured = geometry || pixelAnchors;
    QVector<LetterGeometry> placed;
    const bool rendered = settings.fit == RenderSettings::Fit::Ink
                              ? renderInk(drawn, letters, settings.padding, settings.dpi, docFont, &placed, emptyLetters)
                              : renderLineBox(drawn, letters, settings.dpi, docFont, measured ? &placed : nullptr, emptyLetters,
                                              clippedLetters);
    if (!rendered || !measured) {
        return rendered;
    }

    const QFontMetricsF metrics = metricsAt<QFontMetricsF>(drawn, settings.dpi);
    const int ascent = glyphMetricsAt(drawn, settings.dpi).ascent;
    MarkGlyphs marks(drawn, settings.dpi);
    for (LetterGeometry &letter : placed) {
        measureLetter(metrics, &letter);
        // Shaping would measure the dotted circle it puts a lone mark on.
        const MarkRun mark = marks.run(letter.letter);
        if (!mark.isEmpty()) {
            letter.advance = mark.advance;
            letter.leftBearing = mark.box.left();
        }
        if (pixelAnchors) {
            const PixelAnchors anchors = ::pixelAnchors(letter, ascent);
            docFont->getCharacter(letter.letter)->setAnchor(anchors.upLine, anchors.baseLine, anchors.leftLine, anchors.rightLine);
        }
    }
    if (geometry) {
        *geometry = FontGeometry();
        measureFont(metrics, renderedPixelSize(drawn, settings.dpi), geometry);
        geometry->letters = placed;
        if (settings.metrics) {
            geometry->kerningMeasured = measureKerning(drawn, settings.dpi, letters, &geometry->kerning);
        }
    }
    return true;
}

bool fitsPixelBudget(const QFont &font, const QStringList &letters, const RenderSettings &settings)
{
    const QFont drawn = settingsFont(font, settings);
    if (settings.fit == RenderSettings::Fit::LineBox) {
        return fitsPixelBudget(drawn, letters, settings.dpi);
    }
    MarkGlyphs marks(drawn, settings.dpi);
    return fitsInkBudget(metricsAt<QFontMetrics>(drawn, settings.dpi), marks, letters, settings.padding, nullptr);
}

int largestFittingPointSize(const QFont &font, const QStringList &letters, const RenderSettings &settings)
{
    return largestFittingSize([&](int pointSize) {
        QFont sized(font);
        sized.setPointSize(pointSize);
        return fitsPixelBudget(sized, letters, settings);
    });
}
