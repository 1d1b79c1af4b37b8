#include "previewsheet.h"

#include "charset.h"
#include "metricsfile.h"
#include "placement.h"

#include "glyphtile.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/codepoint.h"
#include "models/font.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <cmath>

namespace {

const QString labelFamily = QStringLiteral("DejaVu Sans");
// 64 Mpixels is 256 MB of sheet; a font that needs more is better looked at in pieces.
constexpr qint64 maxSheetSide = 16384;
constexpr qint64 maxSheetPixels = 64LL * 1024 * 1024;

// Layout in sheet pixels; the tests rely on it.
constexpr int margin = 16;
constexpr int headerHeight = 24;
constexpr int labelHeight = 30;
constexpr int minCellWidth = 64;
constexpr int gap = 8;
constexpr int maxColumns = 16;
constexpr int minTextWidth = 640;
// Metrics beyond this many glyph pixels are taken as this many: a damaged file must not make a huge sheet.
constexpr qreal maxMetric = 4096;
const QColor upLineColour(0x20, 0xa0, 0x40, 0xc0);
const QColor baseLineColour(0x20, 0x60, 0xe0, 0xc0);
const QColor sideLineColour(0xe0, 0x40, 0x20, 0xc0);

qreal bounded(qreal value)
{
    return std::isfinite(value) ? qBound(-maxMetric, value, maxMetric) : 0;
}

// A gap is an outlined box, crossed for a null image and not for a character the font lacks.
void drawGlyph(QPainter &painter, const QRect &box, const QImage &image, bool missing)
{
    TileMarks marks;
    marks.crossed = !missing;
    drawGlyphTile(painter, box, image, marks);
}

void drawLabel(QPainter &painter, const QRect &area, const QString &text, const QColor &colour)
{
    painter.setPen(colour);
    const QString elided = painter.fontMetrics().elidedText(text, Qt::ElideRight, area.width());
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop, elided);
}

/*
 * The start of a letter that a label of this width can show, so that a letter of megabytes is not
 * laid out whole to show ten characters: the label font moves the pen by at least 2 pixels for
 * every character that moves it at all, so what lies beyond would be elided anyway.
 */
QString labelPart(const QString &letter, int width)
{
    const int codePoints = width / 2 + 2;
    int end = 0;
    for (int i = 0; i < codePoints && end < letter.size(); ++i) {
        end += letter.at(end).isHighSurrogate() && end + 1 < letter.size() && letter.at(end + 1).isLowSurrogate() ? 2 : 1;
    }
    return letter.left(end);
}

QImage firstImage(const Models::Character *letter)
{
    return letter && letter->firstPicture() ? letter->firstPicture()->getImage() : QImage();
}

} // namespace

PreviewSheet::PreviewSheet(const Models::Font &font, const QVector<uint> &text, int scale, const MetricsFile::TextMetrics *metrics,
                           bool anchorLines, int pictures)
    : m_scale(scale)
    , m_anchorLines(anchorLines)
    , m_pictures(pictures)
    , m_metrics(metrics != nullptr)
{
    int pictureCount = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        pictureCount += letter->pictureCount();
    }
    m_title = QStringLiteral("%1 \u2014 %2 letters, %3 pictures").arg(font.getName(), QString::number(font.getCharacters().size()), QString::number(pictureCount));
    addLetters(font);
    addMissing(font, text);
    layOutGrid();
    bool anchored = false;
    for (const Models::Character *letter : font.getCharacters()) {
        anchored = anchored || !(letter->getAnchors() == Models::defaultAnchors);
    }
    if (metrics || anchored) {
        layOutPlacedText(font, text, metrics);
    } else {
        layOutText(font, text);
    }
}

void PreviewSheet::addLetters(const Models::Font &font)
{
    qint64 widthSum = 0;
    qint64 heightSum = 0;
    int imageCount = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        Cell cell;
        cell.letter = letter->getCharacterValue();
        cell.anchors = letter->getAnchors();
        QVector<QImage> images{firstImage(letter)};
        if (m_pictures != 1) {
            images.clear();
            for (const Models::CharacterPicture *picture : letter->getPictures()) {
                if (m_pictures > 0 && images.size() == m_pictures) {
                    break;
                }
                images.append(picture->getImage());
                cell.picture = picture->getId();
                cell.glyph.image = images.last();
                m_cells.append(cell);
            }
            if (images.isEmpty()) {
                m_cells.append(cell);
            }
        } else {
            cell.glyph.image = images.first();
            m_cells.append(cell);
        }
        for (const QImage &image : qAsConst(images)) {
            if (!image.isNull()) {
                m_glyph.width = qMax<qint64>(m_glyph.width, image.width());
                m_glyph.height = qMax<qint64>(m_glyph.height, image.height());
                widthSum += image.width();
                heightSum += image.height();
                ++imageCount;
            }
        }
    }
    // Gaps take the average glyph size, so they look like a letter that is not there.
    m_gap.width = imageCount ? qMax<qint64>(1, widthSum / imageCount) : 8;
    m_gap.height = imageCount ? qMax<qint64>(1, heightSum / imageCount) : 16;
    m_glyph.width = qMax(m_glyph.width, m_gap.width);
    m_glyph.height = qMax(m_glyph.height, m_gap.height);
}

void PreviewSheet::addMissing(const Models::Font &font, const QVector<uint> &text)
{
    for (const char32_t codePoint : text) {
        const QString letter = Charset::letterOf(codePoint);
        if (!font.getCharacter(letter) && !m_missing.contains(letter)) {
            m_missing.append(letter);
            Cell cell;
            cell.letter = letter;
            cell.glyph.missing = true;
            m_cells.append(cell);
        }
    }
}

void PreviewSheet::layOutGrid()
{
    m_boxHeight = m_glyph.height * m_scale;
    m_cell.width = qMax<qint64>(m_glyph.width * m_scale, minCellWidth);
    m_cell.height = m_boxHeight + labelHeight;
    m_columns = qMin<qint64>(m_cells.size(), maxColumns);
    // With several pictures per letter, each letter starts a row of its own.
    qint64 column = 0;
    qint64 row = 0;
    for (int i = 0; i < m_cells.size(); ++i) {
        const bool newLetter = m_pictures != 1 && i > 0 && m_cells.at(i).letter != m_cells.at(i - 1).letter;
        if (i > 0 && (column == m_columns || (newLetter && column > 0))) {
            column = 0;
            ++row;
        }
        m_cells[i].column = column++;
        m_cells[i].row = row;
    }
    const qint64 rows = m_cells.isEmpty() ? 0 : row + 1;
    m_grid.width = m_columns ? m_columns * m_cell.width + (m_columns - 1) * gap : 0;
    m_grid.height = rows ? rows * m_cell.height + (rows - 1) * gap : 0;
}

// The sample text side by side, broken into lines no wider than the grid (or minTextWidth); sets the sheet's size.
void PreviewSheet::layOutText(const Models::Font &font, const QVector<uint> &text)
{
    const qint64 lineLimit = qMax<qint64>(m_grid.width, minTextWidth);
    m_lineHeight = m_boxHeight;
    qint64 lineWidth = 0;
    qint64 textWidth = 0;
    for (const char32_t codePoint : text) {
        const Models::Character *letter = font.getCharacter(Charset::letterOf(codePoint));
        Placed placed;
        placed.glyph.image = firstImage(letter);
        placed.glyph.missing = !letter;
        const qint64 width = scaledWidth(placed.glyph);
        if (m_lines.isEmpty() || (lineWidth > 0 && lineWidth + width > lineLimit)) {
            m_lines.append(QVector<Placed>());
            lineWidth = 0;
        }
        const int height = (placed.glyph.image.isNull() ? int(m_gap.height) : placed.glyph.image.height()) * m_scale;
        placed.box = QRect(int(lineWidth), int(m_boxHeight) - height, int(qMin<qint64>(width, maxSheetSide)), height);
        m_lines.last().append(placed);
        lineWidth += width;
        textWidth = qMax(textWidth, lineWidth);
    }
    setTextSize(textWidth);
}

/*
 * The sample text as a program would set it, each image placed by Placement::placeLetter(): by its pen origin on
 * the baseline, the pen moved by the advance and, with metrics, the kerning. A gap stands on the baseline with
 * its width as advance. The line is the metrics' or, without them, as high as the letters' reach above and
 * below the baseline.
 */
void PreviewSheet::layOutPlacedText(const Models::Font &font, const QVector<uint> &text, const MetricsFile::TextMetrics *metrics)
{
    m_placedText = true;
    const qint64 lineLimit = qMax<qint64>(m_grid.width, minTextWidth);
    int baseline = 0;
    if (metrics) {
        baseline = int(std::ceil(qMax<qreal>(0, bounded(metrics->ascent))));
        m_lineHeight = qMax<qint64>(1, qint64(std::ceil(bounded(metrics->lineSpacing)))) * m_scale;
    } else {
        int below = 0;
        for (const Models::Character *letter : font.getCharacters()) {
            const QImage image = firstImage(letter);
            if (!image.isNull()) {
                const Placement::Letter placement = Placement::placeLetter(*letter, image.size());
                baseline = qMax(baseline, int(bounded(placement.baseline - placement.top)));
                below = qMax(below, int(bounded(image.height() - placement.baseline)));
            }
        }
        m_lineHeight = qMax(1, baseline + below) * m_scale;
    }
    qreal pen = 0;
    QString previous;
    qint64 textWidth = 0;
    for (const char32_t codePoint : text) {
        const QString value = Charset::letterOf(codePoint);
        const Models::Character *letter = font.getCharacter(value);
        Placed placed;
        placed.glyph.image = firstImage(letter);
        placed.glyph.missing = !letter;
        const QSize size = placed.glyph.image.isNull() ? QSize(int(m_gap.width), int(m_gap.height)) : placed.glyph.image.size();
        const Placement::Letter placement = letter ? Placement::placeLetter(*letter, size, metrics)
                                                   : Placement::placeLetter(size, Models::defaultAnchors);
        // Only what a file says is bounded: an image's own size is what it is.
        const bool fromFile = placement.rule != Placement::Rule::LineBox;
        const qreal advance = fromFile ? bounded(placement.advance) : placement.advance;
        const QPoint origin = fromFile ? QPoint(int(bounded(placement.originX)), int(bounded(placement.baseline)))
                                       : QPoint(placement.originX, placement.baseline);
        if (metrics && !previous.isEmpty()) {
            pen += bounded(metrics->kerning.value(previous + value, 0));
        }
        if (m_lines.isEmpty() || (!m_lines.last().isEmpty() && (pen + advance) * m_scale > lineLimit)) {
            m_lines.append(QVector<Placed>());
            pen = 0;
        }
        placed.box = QRect((qRound(pen) - origin.x()) * m_scale, (baseline - origin.y()) * m_scale, size.width() * m_scale,
                           size.height() * m_scale);
        m_lines.last().append(placed);
        textWidth = qMax<qint64>(textWidth, placed.box.right() + 1);
        pen += advance;
        previous = value;
    }
    setTextSize(textWidth);
}

void PreviewSheet::setTextSize(qint64 textWidth)
{
    const qint64 textHeight = m_lines.isEmpty() ? 0 : m_lines.size() * m_lineHeight + (m_lines.size() - 1) * gap;
    m_sheet.width = 2 * margin + qMax(m_grid.width, textWidth);
    m_sheet.height = 2 * margin + headerHeight + m_grid.height + (m_lines.isEmpty() ? 0 : 2 * gap + textHeight);
}

bool PreviewSheet::fits() const
{
    return m_sheet.width <= maxSheetSide && m_sheet.height <= maxSheetSide && m_sheet.width * m_sheet.height <= maxSheetPixels;
}

QImage PreviewSheet::draw() const
{
    QImage sheet(int(m_sheet.width), int(m_sheet.height), QImage::Format_RGB32);
    if (sheet.isNull()) {
        return sheet;
    }
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setBrushOrigin(0, 0);
    drawHeader(painter);
    drawCells(painter);
    drawText(painter);
    painter.end();
    return sheet;
}

void PreviewSheet::drawHeader(QPainter &painter) const
{
    QFont headerFont(labelFamily);
    headerFont.setPixelSize(13);
    headerFont.setBold(true);
    painter.setFont(headerFont);
    drawLabel(painter, QRect(margin, margin, int(m_sheet.width) - 2 * margin, headerHeight), m_title, QColor(0x20, 0x20, 0x20));
}

void PreviewSheet::drawCells(QPainter &painter) const
{
    QFont labelFont(labelFamily);
    labelFont.setPixelSize(11);
    painter.setFont(labelFont);
    const int top = margin + headerHeight;
    for (int i = 0; i < m_cells.size(); ++i) {
        const Cell &cell = m_cells.at(i);
        const int x = margin + int(cell.column * (m_cell.width + gap));
        const int y = top + int(cell.row * (m_cell.height + gap));
        const QImage &image = cell.glyph.image;
        const QSize size = image.isNull() ? QSize(int(m_gap.width), int(m_gap.height)) : image.size();
        const QRect box(x + int(m_cell.width - size.width() * m_scale) / 2, y + int(m_boxHeight) - size.height() * m_scale,
                        size.width() * m_scale, size.height() * m_scale);
        drawGlyph(painter, box, image, cell.glyph.missing);
        if (m_anchorLines && !image.isNull()) {
            drawAnchorLines(painter, box, cell);
        }
        const QRect firstLine(x, y + int(m_boxHeight) + 2, int(m_cell.width), labelHeight / 2);
        const QRect secondLine = firstLine.translated(0, labelHeight / 2 - 1);
        const QColor colour = cell.glyph.missing ? QColor(0xb0, 0x30, 0x30) : QColor(0x30, 0x30, 0x30);
        const QString shown = labelPart(cell.letter, int(m_cell.width));
        const QString label = Models::letterLabel(shown);
        // Pictures after a letter's first are told apart by their ids.
        const QString codePoints = cell.picture > 0 ? QStringLiteral("#%1").arg(cell.picture) : Models::codePointNames(shown);
        // A space or a control has no face; its code point on the second line says it all.
        drawLabel(painter, firstLine, label == Models::codePointNames(shown) ? QString() : label, colour);
        drawLabel(painter, secondLine, cell.glyph.missing ? QStringLiteral("missing") : codePoints, colour);
    }
}

void PreviewSheet::drawText(QPainter &painter) const
{
    int y = margin + headerHeight + int(m_grid.height) + 2 * gap;
    for (const QVector<Placed> &line : m_lines) {
        for (const Placed &placed : line) {
            const QRect box = placed.box.translated(margin, y);
            // Placed on the line, images overlap as their glyphs do: a checkerboard would hide the ink of the one before.
            if (m_placedText && !placed.glyph.image.isNull()) {
                painter.drawImage(box, placed.glyph.image);
            } else {
                drawGlyph(painter, box, placed.glyph.image, placed.glyph.missing);
            }
        }
        y += int(m_lineHeight) + gap;
    }
}

/*
 * Anchor lines on the top and left edges of the rows and columns they name, so that the baseline runs under
 * the ink that stands on it. 0, 100, 0, 100, the anchors of a font without pixel anchors, are drawn on the
 * edges of the image.
 */
void PreviewSheet::drawAnchorLines(QPainter &painter, const QRect &box, const Cell &cell) const
{
    const Models::Anchors &a = cell.anchors;
    const bool percent = a == Models::defaultAnchors;
    const QSize image = cell.glyph.image.size();
    const auto at = [&](qreal pixels) { return qRound(bounded(pixels) * m_scale); };
    const int up = box.top() + (percent ? 0 : at(a.upLine));
    const int base = box.top() + (percent ? image.height() * m_scale : at(a.baseLine));
    const int left = box.left() + (percent ? 0 : at(a.leftLine));
    const int right = box.left() + (percent ? image.width() * m_scale : at(a.rightLine));
    painter.save();
    // The cell above the image, where a line of a glyph fitted to its ink may lie, and the line under it.
    painter.setClipRect(QRect(box.left() - gap / 2, box.bottom() + 1 - int(m_boxHeight), box.width() + gap, int(m_boxHeight) + 2));
    const int wide = qMax(4, m_scale);
    painter.setPen(QPen(upLineColour, 1));
    painter.drawLine(box.left() - wide, up, box.right() + wide, up);
    painter.setPen(QPen(baseLineColour, 1));
    painter.drawLine(box.left() - wide, base, box.right() + wide, base);
    painter.setPen(QPen(sideLineColour, 1));
    painter.drawLine(left, box.top() - wide, left, box.bottom() + wide);
    painter.drawLine(right, box.top() - wide, right, box.bottom() + wide);
    painter.restore();
}

qint64 PreviewSheet::scaledWidth(const Glyph &glyph) const
{
    return (glyph.image.isNull() ? m_gap.width : glyph.image.width()) * m_scale;
}
