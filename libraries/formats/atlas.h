#ifndef FORMATS_ATLAS_H
#define FORMATS_ATLAS_H

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace MetricsFile {
struct TextMetrics;
}

namespace Models {
class Font;
}

namespace Atlas {

/** The largest atlas side; many graphics cards take no larger texture. */
constexpr int maxSide = 16384;
/** Free pixels around every glyph, so that filtering never mixes two glyphs. */
constexpr int padding = 1;

enum class Shape { PowerOfTwo, Tight };

/** One glyph on the page: its place there (empty for a glyph without ink) and how it stands on the line. */
struct Glyph {
    uint id = 0;
    QImage image; // the letter's first picture, cut to its non-transparent pixels
    QRect place;
    int xOffset = 0; // from the pen to the image's left edge
    int yOffset = 0; // from the top of the line to the image's top edge
    int xAdvance = 0;
};

/** The pen moves by amount more between first and second. */
struct Kerning {
    uint first = 0;
    uint second = 0;
    int amount = 0;
};

struct Page {
    QString face;
    int size = 0;
    int lineHeight = 0;
    int base = 0;
    QSize pageSize;
    QList<Glyph> glyphs;
    QList<Kerning> kernings;
};

/**
 * Lays out the first picture of every letter of one code point without overlap, placed on the line and
 * kerned by metrics when given; false with the reason (the size it would need, when it is over maxSide) in
 * error. Letters it cannot carry go into notes.
 */
bool layOut(const Models::Font &font, Shape shape, Page *page, QStringList *notes, QString *error,
            const MetricsFile::TextMetrics *metrics = nullptr);

/** The page image, glyphs drawn at their places on transparent pixels; null when memory runs out. */
QImage draw(const Page &page);

/** The page in the text form of the BMFont descriptor, its image named pageFile. */
QByteArray fntText(const Page &page, const QString &pageFile);

/** The same data as JSON. */
QByteArray jsonText(const Page &page, const QString &pageFile);

} // namespace Atlas

#endif // FORMATS_ATLAS_H
