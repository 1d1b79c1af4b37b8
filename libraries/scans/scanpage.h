#ifndef SCANS_SCANPAGE_H
#define SCANS_SCANPAGE_H

#include <QPolygon>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

/*
 * Glyph ground truth of one page, as read from PAGE-XML, ALTO or a box file. Coordinates are pixels of
 * the page image with points on pixel edges: pixel (x, y) covers x to x + 1 and y to y + 1, y grows
 * downwards, and a pixel belongs to a polygon when its centre lies inside it (nonzero winding).
 */
namespace Scans {

struct ScanGlyph {
    QString text;    // empty when the ground truth gives none
    QPolygon outline;
    int line = -1;   // index into ScanPage::lines
    int word = -1;   // running number of its word on the page; -1 when it stands in none
};

struct ScanLine {
    /** The line's own outline; empty when the file gives none. */
    QPolygon outline;
    /** The baseline as a polyline from left to right; empty when the file gives none. */
    QPolygon baseline;
};

struct ScanPage {
    /** The image as the file names it, resolved against the file's folder; empty when it names none. */
    QString imagePath;
    /** The image's size as the file gives it; invalid when it gives none. */
    QSize imageSize;
    /** The image's page of a multi-page file (0 the first); -1 when the file does not say. */
    int imagePage = -1;
    QVector<ScanLine> lines;
    /** In reading order: the order of the file. */
    QVector<ScanGlyph> glyphs;
    /** Glyphs of the file that could not be taken, each "LINE: REASON" or a reason alone. */
    QStringList passedOver;
};

} // namespace Scans

#endif // SCANS_SCANPAGE_H
