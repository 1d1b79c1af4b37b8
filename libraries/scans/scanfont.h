#ifndef SCANS_SCANFONT_H
#define SCANS_SCANFONT_H

#include "glyphcut.h"
#include "scanpage.h"

#include <QImage>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

namespace Models {
class Font;
}

namespace Scans {

struct ScanSettings {
    InkMode mode = InkMode::Coverage;
    /** Pictures kept per letter, the first ones in reading order; 0 keeps all. */
    int maxPictures = 0;
    float degradation = 0;
};

/** What became of the glyphs of one page. */
struct PageCounts {
    int glyphs = 0;      // pictures cut, kept or not
    int kept = 0;        // of them, kept by the --max-pictures rule
    int clipped = 0;     // partly outside the image, cut to it
    int outside = 0;     // wholly outside the image, passed over
    int degenerate = 0;  // an outline that holds no pixel centre, passed over
    int baselinesGiven = 0;
    int baselinesEstimated = 0;
    /** Glyphs passed over, "REASON" each, in the order of the page. */
    QStringList passedOver;
};

/** The geometry of one letter of the font, in pixels of its images (y downwards). */
struct ScanLetterMetrics {
    QString letter;
    qreal advance = 0;
    /** Pixels with any ink, relative to the pen origin; null without ink. */
    QRect ink;
    QSize image;
    /** The pen origin in the image: leftLine across, baseLine down. */
    QPoint origin;
};

/** The font-wide geometry: medians over the lines of the pages. */
struct ScanMetrics {
    int pixelSize = 0;
    qreal ascent = 0;
    qreal descent = 0;
    qreal lineSpacing = 0;
    qreal spaceAdvance = 0;
    /** In the font's letter order. */
    QVector<ScanLetterMetrics> letters;
};

/**
 * The pictures of every letter of the pages added, and what places them: each picture's baseline and
 * left edge, and the distances from a glyph to the next one in its word. font() puts each letter's
 * pictures on a canvas common to the letter, aligned on the baseline and the left edge, with its anchor
 * lines in pixels of that canvas.
 */
class ScanFont
{
public:
    explicit ScanFont(const ScanSettings &settings);
    Q_DISABLE_COPY(ScanFont)

    /**
     * Adds the pictures of an existing font ahead of the pages' pictures: a letter keeps its anchor lines'
     * advance; 0/100/0/100 anchors stand for the image's bottom edge as baseline and its left edge as origin.
     */
    void addFont(const Models::Font &font);

    /** Cuts every glyph of page from grey (8-bit, the page's image) and adds the pictures. */
    PageCounts addPage(const ScanPage &page, const QImage &grey);

    /** The font as it stands, named name; the caller owns it. */
    Models::Font *font(const QString &name) const;
    /** The geometry of font()'s letters. */
    ScanMetrics metrics() const;

    int pictureCount() const;

private:
    struct Picture {
        QImage alpha;       // Format_Alpha8, or ARGB32 for a picture of an existing font
        int baseline = 0;   // the row under the ink standing on the baseline
        int origin = 0;     // the column right of the pen origin
        float degradation = 0;
    };
    struct Letter {
        QVector<Picture> pictures;
        QVector<int> advances;  // left edge to the next glyph's left edge, within words
        QVector<int> widths;    // each glyph's box width
        qreal givenAdvance = -1; // from an existing font
        int seen = 0;
    };
    struct Canvas {
        int width = 0;
        int height = 0;
        int baseLine = 0;
        int leftLine = 0;
    };
    struct SpaceSample {
        int distance; // last glyph's left edge to the next word's first
        QString letter;
    };

    void addPicture(const QString &text, const Picture &picture, int width);
    Canvas canvasOf(const Letter &letter) const;
    qreal advanceOf(const Letter &letter) const;
    int ascent() const;

    ScanSettings m_settings;
    QMap<QString, Letter> m_letters;
    QVector<int> m_ascents;
    QVector<int> m_descents;
    QVector<int> m_lineSpacings;
    QVector<SpaceSample> m_spaces;
};

} // namespace Scans

#endif // SCANS_SCANFONT_H
