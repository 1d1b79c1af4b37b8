#ifndef OFTOOL_PREVIEWSHEET_H
#define OFTOOL_PREVIEWSHEET_H

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

class QPainter;

namespace Models {
class Font;
}

/*
 * The sheet "oftool preview" draws: every letter's first picture in a grid with its character and
 * code point under it, then a sample text set from the glyph images. Sizes are in sheet pixels.
 */
class PreviewSheet
{
public:
    /** Lays out font, then text (code points) with the characters the font lacks as gaps; scale is sheet pixels per glyph pixel. */
    PreviewSheet(const Models::Font &font, const QVector<uint> &text, int scale);

    qint64 width() const { return m_sheet.width; }
    qint64 height() const { return m_sheet.height; }
    /** Whether the sheet is small enough to draw. */
    bool fits() const;
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
    };

    void addLetters(const Models::Font &font);
    void addMissing(const Models::Font &font, const QVector<uint> &text);
    void layOutGrid();
    void layOutText(const Models::Font &font, const QVector<uint> &text);
    void drawHeader(QPainter &painter) const;
    void drawCells(QPainter &painter) const;
    void drawText(QPainter &painter) const;
    qint64 scaledWidth(const Glyph &glyph) const;

    int m_scale;
    QString m_title;
    QVector<Cell> m_cells;
    QStringList m_missing;
    QVector<QVector<Glyph>> m_lines;
    Extent m_glyph; // the largest glyph image, no smaller than a gap
    Extent m_gap;   // the average glyph, drawn for a character without an image
    Extent m_cell;  // with its label
    Extent m_grid;
    Extent m_sheet;
    qint64 m_boxHeight = 0;
    qint64 m_columns = 0;
};

#endif // OFTOOL_PREVIEWSHEET_H
