#ifndef MARKGLYPHS_P_H
#define MARKGLYPHS_P_H

#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QRectF>

QT_BEGIN_NAMESPACE
class QFontMetrics;
class QPainter;
class QPoint;
class QString;
QT_END_NAMESPACE

/** A letter drawn as the glyphs the font's character map gives, the pen origin at (0, 0). */
struct MarkRun {
    QGlyphRun glyphs;
    /** How far the pen moves: a non-spacing or enclosing mark moves it by 0. */
    qreal advance = 0;
    /** The outline box of the glyphs, relative to the pen origin (y down). */
    QRectF box;

    bool isEmpty() const { return glyphs.glyphIndexes().isEmpty(); }
};

/*
 * Letters that begin with a combining mark. Qt's shaping draws such a letter on a dotted circle (U+25CC),
 * which the font's glyph for it does not have, and measures the circle's advance and box with it; these are
 * drawn from the character map instead.
 */
class MarkGlyphs
{
public:
    /** For font drawn on images of dpi (0 for QImage's default); the font is looked at only for a mark. */
    MarkGlyphs(const QFont &font, int dpi);

    /** Whether letter begins with a character of Unicode's categories Mn, Mc or Me. */
    static bool beginsWithMark(const QString &letter);

    /**
     * The glyphs of letter, each character's after the one before by its advance; empty when letter does not
     * begin with a mark or the font itself maps not all of its characters (Qt draws those from another font).
     */
    MarkRun run(const QString &letter);

private:
    QFont m_font;
    int m_dpi = 0;
    QRawFont m_raw;
    bool m_loaded = false;
};

/** Draws letter with the pen at origin: mark's glyphs, or the letter as text when mark is empty. */
void drawLetter(QPainter &painter, const QPoint &origin, const QString &letter, const MarkRun &mark);

/*
 * The outline box of letter relative to the pen origin, y down: mark's, or the letter's as text. A character
 * the font lacks is laid out as text, which gives the box of the glyph another font draws for it.
 */
QRect outlineBox(const QFontMetrics &metrics, const QString &letter, const MarkRun &mark = MarkRun());

#endif // MARKGLYPHS_P_H
