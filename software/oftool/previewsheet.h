#ifndef OFTOOL_PREVIEWSHEET_H
#define OFTOOL_PREVIEWSHEET_H

#include "models/character.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

class QPainter;

namespace Models {
class Font;
}

namespace MetricsFile {
struct TextMetrics;
}

/*
 * The sheet "oftool preview" draws: every letter's first picture in a grid with its character and
 * code point under it, then a sample text set from the glyph images: placed as Placement::placeLetter() says
 * (by the metrics' advances, pen origins and kerning, or else by anchor lines in pixels), or side by side
 * when the letters have neither. Sizes are in sheet pixels.
 */
class PreviewSheet
{
public:
    /**
     * Lays out font, then text (code points) with the characters the font lacks as gaps; scale is sheet pixels
     * per glyph pixel. With metrics the text is set by them, else by anchor lines in pixels; with anchorLines each letter's anchor lines are drawn over it.
     * pictures is how many pictures of each letter the grid shows: 1 the first in a cell per letter, otherwise (0
     * for all) a cell per picture, those after the first labelled with their ids, and each letter from the start of a row.
     */
    PreviewSheet(const Models::Font &font, const QVector<uint> &text, int scale, const MetricsFile::TextMetrics *metrics = nullptr,
                 bool anchorLines = false, int pictures = 1);

    qint64 width() const { return m_sheet.width; }
    qint64 height() const { return m_sheet.height; }
    /** Whether the sheet is small enough to draw. */
    bool fits() const;
    /** Whether the sample text is placed by anchor lines in pixels, there being no metrics. */
    bool placedByAnchors() const { return m_placedText && !m_metrics; }
    /** The characters of the text that the font lacks, once each, in the order they come. */
    const QStringList &missing() const { return m_missing; }

    /** The sheet; null when there is no memory for it. */
    QImage draw() const;

private:
    struct Extent {
        qint64 width = 0;
        qint64 height = 0;
    };
    struct Glyph {
        QImage image;         // null for a gap
        bool missing = false; // a gap for a character the font lacks, not for a null image
    };
    struct Cell {
        QString letter;
        Glyph glyph;
        Models::Anchors anchors = Models::defaultAnchors;
        int picture = -1; // the id shown under it; -1 for none
        qint64 column = 0;
        qint64 row = 0;
    };
    struct Placed {
        Glyph glyph;
        QRect box; // relative to the top left corner of its line
    };

    void addLetters(const Models::Font &font);
    void addMissing(const Models::Font &font, const QVector<uint> &text);
    void layOutGrid();
    void layOutText(const Models::Font &font, const QVector<uint> &text);
    void layOutPlacedText(const Models::Font &font, const QVector<uint> &text, const MetricsFile::TextMetrics *metrics);
    void setTextSize(qint64 textWidth);
    void drawAnchorLines(QPainter &painter, const QRect &box, const Cell &cell) const;
    void drawHeader(QPainter &painter) const;
    void drawCells(QPainter &painter) const;
    void drawText(QPainter &painter) const;
    qint64 scaledWidth(const Glyph &glyph) const;

    int m_scale;
    bool m_anchorLines;
    int m_pictures;
    bool m_metrics;
    bool m_placedText = false;
    QString m_title;
    QVector<Cell> m_cells;
    QStringList m_missing;
    QVector<QVector<Placed>> m_lines;
    qint64 m_lineHeight = 0;
    Extent m_glyph; // the largest glyph image, no smaller than a gap
    Extent m_gap;   // the average glyph, drawn for a character without an image
    Extent m_cell;  // with its label
    Extent m_grid;
    Extent m_sheet;
    qint64 m_boxHeight = 0;
    qint64 m_columns = 0;
};

#endif // OFTOOL_PREVIEWSHEET_H
