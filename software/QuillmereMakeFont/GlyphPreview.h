#ifndef GLYPHPREVIEW_H
#define GLYPHPREVIEW_H

#include <QAbstractScrollArea>
#include <QImage>
#include <QString>
#include <QVector>

/**
 * Glyph images in a grid on a checkerboard, magnified by the largest whole factor (up to 8) at which
 * all of them fit the view; when even factor 1 does not fit, the view scrolls.
 */
class GlyphPreview : public QAbstractScrollArea
{
    Q_OBJECT

public:
    struct Glyph {
        QString letter;
        QImage image;
        /** The font lacks the letter, so the image came from a fallback font; outlined in the grid. */
        bool lacking = false;
    };

    explicit GlyphPreview(QWidget *parent = nullptr);

    void setGlyphs(const QVector<Glyph> &glyphs);
    void clear();
    const QVector<Glyph> &glyphs() const;
    /** Shown in the middle of the view while it holds no glyph. */
    void setPlaceholderText(const QString &text);

    int zoom() const;
    /** Where the image of glyph index is drawn, in viewport coordinates; empty for an index out of range. */
    QRect glyphRect(int index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void layoutGrid();
    int columnsAt(int zoom) const;
    QSize gridSizeAt(int zoom) const;
    int glyphAt(const QPoint &viewportPos) const;

    QVector<Glyph> m_glyphs;
    QString m_placeholderText;
    QSize m_cell{1, 1};
    int m_zoom = 1;
    int m_columns = 1;
};

#endif // GLYPHPREVIEW_H
