#include "GlyphPreview.h"

#include "glyphtile.h"

#include "models/codepoint.h"

#include <QColor>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

namespace {

constexpr int margin = 8;
// Room between cells for the frame of a lacking letter.
constexpr int gap = 6;
constexpr int maxZoom = 8;
const QColor lackingColour(0xd0, 0x20, 0x20);

int clampToInt(qint64 value)
{
    return int(qMin<qint64>(value, QWIDGETSIZE_MAX));
}

} // namespace

GlyphPreview::GlyphPreview(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void GlyphPreview::setGlyphs(const QVector<Glyph> &glyphs)
{
    m_glyphs = glyphs;
    m_cell = QSize(1, 1);
    for (const Glyph &glyph : glyphs) {
        m_cell = m_cell.expandedTo(glyph.image.size());
    }
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    layoutGrid();
    viewport()->update();
}

void GlyphPreview::clear()
{
    setGlyphs({});
}

const QVector<GlyphPreview::Glyph> &GlyphPreview::glyphs() const
{
    return m_glyphs;
}

void GlyphPreview::setPlaceholderText(const QString &text)
{
    m_placeholderText = text;
    viewport()->update();
}

int GlyphPreview::zoom() const
{
    return m_zoom;
}

QRect GlyphPreview::glyphRect(int index) const
{
    if (index < 0 || index >= m_glyphs.size()) {
        return QRect();
    }
    const QSize image = m_glyphs.at(index).image.size() * m_zoom;
    const int column = index % m_columns;
    const int row = index / m_columns;
    // Centred across the cell, on its top edge: the glyphs of one font are all equally high.
    const int x = margin + column * (m_cell.width() * m_zoom + gap) + (m_cell.width() * m_zoom - image.width()) / 2;
    const int y = margin + row * (m_cell.height() * m_zoom + gap);
    return QRect(QPoint(x - horizontalScrollBar()->value(), y - verticalScrollBar()->value()), image);
}

QSize GlyphPreview::sizeHint() const
{
    return QSize(480, 200);
}

void GlyphPreview::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    if (m_glyphs.isEmpty()) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap, m_placeholderText);
        return;
    }

    const int rowHeight = m_cell.height() * m_zoom + gap;
    const int top = event->rect().top() + verticalScrollBar()->value() - margin;
    const int bottom = event->rect().bottom() + verticalScrollBar()->value() - margin;
    const int firstRow = qMax(0, top / rowHeight);
    const int lastRow = qMax(0, bottom / rowHeight);
    const int end = int(qMin<qint64>(m_glyphs.size(), (qint64(lastRow) + 1) * m_columns));
    for (int i = firstRow * m_columns; i < end; ++i) {
        const Glyph &glyph = m_glyphs.at(i);
        const QRect box = glyphRect(i);
        TileMarks marks;
        if (glyph.lacking) {
            marks.outline = lackingColour;
            marks.frame = lackingColour;
        }
        if (glyph.image.isNull()) {
            // No pixels to show: a crossed box of the cell's size, as oftool preview draws a null image.
            const QRect cell(box.center().x() - m_cell.width() * m_zoom / 2, box.top(), m_cell.width() * m_zoom,
                             m_cell.height() * m_zoom);
            drawGlyphTile(painter, cell, glyph.image, marks);
            continue;
        }
        painter.setBrushOrigin(box.topLeft());
        drawGlyphTile(painter, box, glyph.image, marks);
    }
}

void GlyphPreview::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    layoutGrid();
}

bool GlyphPreview::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip) {
        return QAbstractScrollArea::viewportEvent(event);
    }
    const auto *help = static_cast<QHelpEvent *>(event);
    const int index = glyphAt(help->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const Glyph &glyph = m_glyphs.at(index);
    QString text = QStringLiteral("%1  %2").arg(glyph.letter, Models::codePointNames(glyph.letter));
    if (glyph.lacking) {
        text += QLatin1Char('\n') + tr("not in this font: drawn from a fallback font");
    }
    QToolTip::showText(help->globalPos(), text, viewport());
    return true;
}

void GlyphPreview::scrollContentsBy(int, int)
{
    viewport()->update();
}

void GlyphPreview::layoutGrid()
{
    m_zoom = 1;
    if (!m_glyphs.isEmpty()) {
        const QSize available = viewport()->size();
        for (int zoom = maxZoom; zoom > 1; --zoom) {
            const QSize grid = gridSizeAt(zoom);
            if (grid.width() <= available.width() && grid.height() <= available.height()) {
                m_zoom = zoom;
                break;
            }
        }
    }
    m_columns = columnsAt(m_zoom);
    const QSize grid = m_glyphs.isEmpty() ? QSize(0, 0) : gridSizeAt(m_zoom);
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, qMax(0, grid.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(qMax(1, m_cell.width() * m_zoom / 2));
    verticalScrollBar()->setRange(0, qMax(0, grid.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(qMax(1, m_cell.height() * m_zoom / 2));
}

int GlyphPreview::columnsAt(int zoom) const
{
    const qint64 cellWidth = qint64(m_cell.width()) * zoom + gap;
    const qint64 fitting = (viewport()->width() - 2 * margin + gap) / cellWidth;
    return int(qBound<qint64>(1, fitting, qMax(1, m_glyphs.size())));
}

QSize GlyphPreview::gridSizeAt(int zoom) const
{
    const qint64 columns = columnsAt(zoom);
    const qint64 rows = (m_glyphs.size() + columns - 1) / columns;
    const qint64 width = 2 * margin + columns * m_cell.width() * zoom + (columns - 1) * gap;
    const qint64 height = 2 * margin + rows * m_cell.height() * zoom + (rows - 1) * gap;
    return QSize(clampToInt(width), clampToInt(height));
}

int GlyphPreview::glyphAt(const QPoint &viewportPos) const
{
    const QPoint pos = viewportPos + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value())
                       - QPoint(margin, margin);
    const int cellWidth = m_cell.width() * m_zoom;
    const int cellHeight = m_cell.height() * m_zoom;
    if (pos.x() < 0 || pos.y() < 0 || pos.x() % (cellWidth + gap) >= cellWidth
        || pos.y() % (cellHeight + gap) >= cellHeight) {
        return -1;
    }
    const int column = pos.x() / (cellWidth + gap);
    const int index = pos.y() / (cellHeight + gap) * m_columns + column;
    return column < m_columns && index < m_glyphs.size() ? index : -1;
}
