#include "previewsheet.h"

#include "charset.h"
#include "cli.h"

#include "models/character.h"
#include "models/characterpicture.h"
#include "models/font.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QRect>

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
constexpr int checkerSquare = 4;
constexpr QRgb checkerLight = 0xfff0f0f0;
constexpr QRgb checkerDark = 0xffd0d0d0;

QBrush checkerBrush()
{
    QImage tile(2 * checkerSquare, 2 * checkerSquare, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            tile.setPixel(x, y, ((x / checkerSquare + y / checkerSquare) % 2) ? checkerDark : checkerLight);
        }
    }
    return QBrush(tile);
}

/*
 * Draws an image scaled without smoothing, so each glyph pixel is a square of the
 * sheet, on the checkerboard; a gap is an outlined box, crossed for a null image.
 */
void drawGlyph(QPainter &painter, const QRect &box, const QImage &image, bool missing)
{
    if (!image.isNull()) {
        painter.fillRect(box, checkerBrush());
        painter.drawImage(box, image);
        return;
    }
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    painter.setBrush(Qt::NoBrush);
    const QRect outline = box.adjusted(0, 0, -1, -1);
    painter.drawRect(outline);
    if (!missing) {
        painter.drawLine(outline.topLeft(), outline.bottomRight());
        painter.drawLine(outline.bottomLeft(), outline.topRight());
    }
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
    return letter && !letter->getPictures().isEmpty() ? letter->getPictures().first()->getImage() : QImage();
}

} // namespace

PreviewSheet::PreviewSheet(const Models::Font &font, const QVector<uint> &text, int scale)
    : m_scale(scale)
{
    int pictureCount = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        pictureCount += letter->pictureCount();
    }
    m_title = QStringLiteral("%1 \u2014 %2 letters, %3 pictures").arg(font.getName(), QString::number(font.getCharacters().size()), QString::number(pictureCount));
    addLetters(font);
    addMissing(font, text);
    layOutGrid();
    layOutText(font, text);
}

void PreviewSheet::addLetters(const Models::Font &font)
{
    qint64 widthSum = 0;
    qint64 heightSum = 0;
    int imageCount = 0;
    for (const Models::Character *letter : font.getCharacters()) {
        Cell cell;
        cell.letter = letter->getCharacterValue();
        const QImage image = firstImage(letter);
        cell.glyph.image = image;
        if (!image.isNull()) {
            m_glyph.width = qMax<qint64>(m_glyph.width, image.width());
            m_glyph.height = qMax<qint64>(m_glyph.height, image.height());
            widthSum += image.width();
            heightSum += image.height();
            ++imageCount;
        }
        m_cells.append(cell);
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
    const qint64 rows = m_columns ? (m_cells.size() + m_columns - 1) / m_columns : 0;
    m_grid.width = m_columns ? m_columns * m_cell.width + (m_columns - 1) * gap : 0;
    m_grid.height = rows ? rows * m_cell.height + (rows - 1) * gap : 0;
}

// The sample text, broken into lines no wider than the grid (or minTextWidth); sets the sheet's size.
void PreviewSheet::layOutText(const Models::Font &font, const QVector<uint> &text)
{
    const qint64 lineLimit = qMax<qint64>(m_grid.width, minTextWidth);
    qint64 lineWidth = 0;
    qint64 textWidth = 0;
    for (const char32_t codePoint : text) {
        const Models::Character *letter = font.getCharacter(Charset::letterOf(codePoint));
        Glyph glyph;
        glyph.image = firstImage(letter);
        glyph.missing = !letter;
        const qint64 width = scaledWidth(glyph);
        if (m_lines.isEmpty() || (lineWidth > 0 && lineWidth + width > lineLimit)) {
            m_lines.append(QVector<Glyph>());
            lineWidth = 0;
        }
        m_lines.last().append(glyph);
        lineWidth += width;
        textWidth = qMax(textWidth, lineWidth);
    }
    const qint64 textHeight = m_lines.isEmpty() ? 0 : m_lines.size() * m_boxHeight + (m_lines.size() - 1) * gap;
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
        const int x = margin + int((i % m_columns) * (m_cell.width + gap));
        const int y = top + int((i / m_columns) * (m_cell.height + gap));
        const QImage &image = cell.glyph.image;
        const QSize size = image.isNull() ? QSize(int(m_gap.width), int(m_gap.height)) : image.size();
        const QRect box(x + int(m_cell.width - size.width() * m_scale) / 2, y + int(m_boxHeight) - size.height() * m_scale,
                        size.width() * m_scale, size.height() * m_scale);
        drawGlyph(painter, box, image, cell.glyph.missing);
        const QRect firstLine(x, y + int(m_boxHeight) + 2, int(m_cell.width), labelHeight / 2);
        const QRect secondLine = firstLine.translated(0, labelHeight / 2 - 1);
        const QColor colour = cell.glyph.missing ? QColor(0xb0, 0x30, 0x30) : QColor(0x30, 0x30, 0x30);
        const QString shown = labelPart(cell.letter, int(m_cell.width));
        const QString label = Cli::letterLabel(shown);
        const QString codePoints = Cli::codePoints(shown);
        // A space or a control has no face; its code point on the second line says it all.
        drawLabel(painter, firstLine, label == codePoints ? QString() : label, colour);
        drawLabel(painter, secondLine, cell.glyph.missing ? QStringLiteral("missing") : codePoints, colour);
    }
}

void PreviewSheet::drawText(QPainter &painter) const
{
    int y = margin + headerHeight + int(m_grid.height) + 2 * gap;
    for (const QVector<Glyph> &line : m_lines) {
        int x = margin;
        for (const Glyph &glyph : line) {
            const int width = int(qMin<qint64>(scaledWidth(glyph), maxSheetSide));
            const int height = (glyph.image.isNull() ? int(m_gap.height) : glyph.image.height()) * m_scale;
            drawGlyph(painter, QRect(x, y + int(m_boxHeight) - height, width, height), glyph.image, glyph.missing);
            x += width;
        }
        y += int(m_boxHeight) + gap;
    }
}

qint64 PreviewSheet::scaledWidth(const Glyph &glyph) const
{
    return (glyph.image.isNull() ? m_gap.width : glyph.image.width()) * m_scale;
}
