#include "atlas.h"

#include "conversion.h"
#include "metricsfile.h"
#include "placement.h"

#include "models/character.h"
#include "models/font.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtMath>
#include <limits>

#include <algorithm>
#include <cmath>

namespace Atlas {

namespace {

int nextPowerOfTwo(qint64 value)
{
    int power = 1;
    while (power < value && power < (1 << 30)) {
        power *= 2;
    }
    return power;
}

/*
 * Shelves, tallest glyphs first: places every glyph with ink within width and returns the height used,
 * or -1 when a glyph is wider than width.
 */
qint64 shelve(QList<Glyph> &glyphs, const QList<int> &order, int width)
{
    qint64 x = padding;
    qint64 y = padding;
    qint64 rowHeight = 0;
    for (const int index : order) {
        Glyph &glyph = glyphs[index];
        const QSize size = glyph.image.size();
        if (size.width() + 2 * padding > width) {
            return -1;
        }
        if (x + size.width() + padding > width) {
            y += rowHeight;
            x = padding;
            rowHeight = 0;
        }
        glyph.place = QRect(int(x), int(qMin<qint64>(y, maxSide)), size.width(), size.height());
        x += size.width() + padding;
        rowHeight = qMax<qint64>(rowHeight, size.height() + padding);
    }
    return y + rowHeight;
}

// The smallest page of the shape that holds the glyphs, or the least a page would need when none does.
QSize choosePage(QList<Glyph> &glyphs, const QList<int> &order, Shape shape, bool *fits)
{
    qint64 area = 0;
    int widest = 0;
    for (const int index : order) {
        const QSize size = glyphs.at(index).image.size();
        area += qint64(size.width() + padding) * (size.height() + padding);
        widest = qMax(widest, size.width() + 2 * padding);
    }
    QList<int> widths;
    if (shape == Shape::Tight) {
        widths.append(int(qMin<qint64>(maxSide, qMax<qint64>(widest, qint64(std::ceil(std::sqrt(double(area))))))));
    } else {
        for (int width = qMax(16, nextPowerOfTwo(widest)); width <= maxSide; width *= 2) {
            widths.append(width);
        }
    }
    QSize best;
    for (const int width : widths) {
        const qint64 used = shelve(glyphs, order, width);
        const qint64 height = shape == Shape::Tight ? qMax<qint64>(1, used) : nextPowerOfTwo(used);
        // Of two pages of one area, the squarer: fewer texture units wasted on a long thin strip.
        const qint64 bestArea = best.isValid() ? qint64(best.width()) * best.height() : 0;
        const bool smaller = !best.isValid() || qint64(width) * height < bestArea
                             || (qint64(width) * height == bestArea && qMax<qint64>(width, height) < qMax(best.width(), best.height()));
        if (used >= 0 && height <= maxSide && smaller) {
            best = QSize(width, int(height));
        }
    }
    *fits = best.isValid();
    if (!*fits) {
        const int width = qMax(widest, maxSide);
        return QSize(width, int(qMin<qint64>(std::numeric_limits<int>::max(), shelve(glyphs, order, width))));
    }
    shelve(glyphs, order, best.width());
    return best;
}

// The glyph of one letter, its image cut to the pixels that are not fully transparent.
Glyph glyphOf(uint id, const QImage &image, const Placement::Letter &placement)
{
    QRect used;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0) {
                used |= QRect(x, y, 1, 1);
            }
        }
    }
    Glyph glyph;
    glyph.id = id;
    glyph.xAdvance = qRound(placement.advance);
    if (!used.isEmpty()) {
        glyph.image = image.copy(used);
        glyph.xOffset = used.left() - placement.originX;
        glyph.yOffset = used.top() - placement.top;
    }
    return glyph;
}

// The kerning pairs between letters of one code point each, whole pixels, those that move the pen at all.
QList<Kerning> kerningsOf(const MetricsFile::TextMetrics &metrics)
{
    QList<Kerning> kernings;
    for (const MetricsFile::TextMetrics::Pair &pair : metrics.pairs) {
        const QVector<uint> first = pair.left.toUcs4();
        const QVector<uint> second = pair.right.toUcs4();
        const int amount = qRound(pair.adjustment);
        if (first.size() == 1 && second.size() == 1 && amount != 0) {
            kernings.append({first.first(), second.first(), amount});
        }
    }
    return kernings;
}

} // namespace

bool layOut(const Models::Font &font, Shape shape, Page *page, QStringList *notes, QString *error,
            const MetricsFile::TextMetrics *metrics)
{
    *page = Page();
    page->face = Convert::familyOf(font);
    QList<int> ascents;
    QList<int> heights;
    for (const Models::Character *letter : font.getCharacters()) {
        const QVector<uint> codePoints = letter->getCharacterValue().toUcs4();
        const QImage image = Convert::firstImage(*letter).convertToFormat(QImage::Format_ARGB32);
        if (codePoints.size() != 1 || image.isNull()) {
            notes->append(QStringLiteral("letter %1 left out: %2").arg(letter->getCharacterValue(),
                                                                        image.isNull() ? QStringLiteral("it has no image")
                                                                                       : QStringLiteral("a character is one code point")));
            continue;
        }
        const QString problem = Convert::placementProblem(*letter, image, metrics);
        if (!problem.isEmpty()) {
            notes->append(QStringLiteral("letter %1 left out: %2").arg(letter->getCharacterValue(), problem));
            continue;
        }
        const Placement::Letter placement = Placement::placeLetter(*letter, image.size(), metrics);
        ascents.append(placement.baseline - placement.top);
        heights.append(image.height() - placement.top);
        page->glyphs.append(glyphOf(codePoints.first(), image, placement));
    }
    QList<int> order;
    for (int i = 0; i < page->glyphs.size(); ++i) {
        if (!page->glyphs.at(i).image.isNull()) {
            order.append(i);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return page->glyphs.at(a).image.height() > page->glyphs.at(b).image.height();
    });
    bool fits = false;
    page->pageSize = choosePage(page->glyphs, order, shape, &fits);
    if (!fits) {
        *error = QStringLiteral("the atlas would need %1 x %2 pixels, more than %3 x %3")
                     .arg(page->pageSize.width()).arg(page->pageSize.height()).arg(maxSide);
        return false;
    }
    page->base = ascents.isEmpty() ? 0 : *std::max_element(ascents.cbegin(), ascents.cend());
    page->lineHeight = heights.isEmpty() ? 0 : *std::max_element(heights.cbegin(), heights.cend());
    page->size = page->lineHeight;
    if (metrics) {
        page->base = qCeil(metrics->ascent);
        page->lineHeight = qRound(metrics->lineSpacing);
        page->size = metrics->pixelSize > 0 ? metrics->pixelSize : page->lineHeight;
        page->kernings = kerningsOf(*metrics);
    }
    return true;
}

QImage draw(const Page &page)
{
    QImage image(page.pageSize, QImage::Format_ARGB32);
    if (image.isNull()) {
        return image;
    }
    image.fill(Qt::transparent);
    for (const Glyph &glyph : page.glyphs) {
        for (int y = 0; y < glyph.image.height(); ++y) {
            std::copy_n(reinterpret_cast<const QRgb *>(glyph.image.constScanLine(y)), glyph.image.width(),
                        reinterpret_cast<QRgb *>(image.scanLine(glyph.place.top() + y)) + glyph.place.left());
        }
    }
    return image;
}

QByteArray fntText(const Page &page, const QString &pageFile)
{
    const auto quoted = [](const QString &text) { return QString(text).replace(QLatin1Char('"'), QLatin1Char('\'')); };
    QString out;
    out += QStringLiteral("info face=\"%1\" size=%2 bold=0 italic=0 charset=\"\" unicode=1 stretchH=100 smooth=1 aa=1 "
                          "padding=0,0,0,0 spacing=%3,%3 outline=0\n")
               .arg(quoted(page.face)).arg(page.size).arg(padding);
    out += QStringLiteral("common lineHeight=%1 base=%2 scaleW=%3 scaleH=%4 pages=1 packed=0 alphaChnl=0 redChnl=0 "
                          "greenChnl=0 blueChnl=0\n")
               .arg(page.lineHeight).arg(page.base).arg(page.pageSize.width()).arg(page.pageSize.height());
    out += QStringLiteral("page id=0 file=\"%1\"\n").arg(quoted(pageFile));
    out += QStringLiteral("chars count=%1\n").arg(page.glyphs.size());
    for (const Glyph &glyph : page.glyphs) {
        out += QStringLiteral("char id=%1 x=%2 y=%3 width=%4 height=%5 xoffset=%6 yoffset=%7 xadvance=%8 page=0 chnl=15\n")
                   .arg(glyph.id).arg(glyph.place.x()).arg(glyph.place.y()).arg(glyph.place.width())
                   .arg(glyph.place.height()).arg(glyph.xOffset).arg(glyph.yOffset).arg(glyph.xAdvance);
    }
    if (!page.kernings.isEmpty()) {
        out += QStringLiteral("kernings count=%1\n").arg(page.kernings.size());
    }
    for (const Kerning &kerning : page.kernings) {
        out += QStringLiteral("kerning first=%1 second=%2 amount=%3\n").arg(kerning.first).arg(kerning.second).arg(kerning.amount);
    }
    return out.toUtf8();
}

QByteArray jsonText(const Page &page, const QString &pageFile)
{
    QJsonArray chars;
    for (const Glyph &glyph : page.glyphs) {
        chars.append(QJsonObject{{QStringLiteral("id"), qint64(glyph.id)},
                                 {QStringLiteral("x"), glyph.place.x()},
                                 {QStringLiteral("y"), glyph.place.y()},
                                 {QStringLiteral("width"), glyph.place.width()},
                                 {QStringLiteral("height"), glyph.place.height()},
                                 {QStringLiteral("xoffset"), glyph.xOffset},
                                 {QStringLiteral("yoffset"), glyph.yOffset},
                                 {QStringLiteral("xadvance"), glyph.xAdvance}});
    }
    QJsonArray kernings;
    for (const Kerning &kerning : page.kernings) {
        kernings.append(QJsonObject{{QStringLiteral("first"), qint64(kerning.first)},
                                    {QStringLiteral("second"), qint64(kerning.second)},
                                    {QStringLiteral("amount"), kerning.amount}});
    }
    const QJsonObject root{
        {QStringLiteral("info"), QJsonObject{{QStringLiteral("face"), page.face}, {QStringLiteral("size"), page.size},
                                             {QStringLiteral("spacing"), QJsonArray{padding, padding}}}},
        {QStringLiteral("common"), QJsonObject{{QStringLiteral("lineHeight"), page.lineHeight},
                                               {QStringLiteral("base"), page.base},
                                               {QStringLiteral("scaleW"), page.pageSize.width()},
                                               {QStringLiteral("scaleH"), page.pageSize.height()},
                                               {QStringLiteral("pages"), 1}}},
        {QStringLiteral("pages"), QJsonArray{pageFile}},
        {QStringLiteral("chars"), chars},
        {QStringLiteral("kernings"), kernings},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace Atlas
