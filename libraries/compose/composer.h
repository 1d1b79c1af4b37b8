#ifndef COMPOSE_COMPOSER_H
#define COMPOSE_COMPOSER_H

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Compose {

class Typeface;

/** Images of a line or a page may hold at most this many pixels, and be at most maxSide on a side. */
constexpr qint64 maxPixels = qint64(1) << 26;
constexpr int maxSide = 32768;

/** How a composition looks; everything random is drawn from the sample's seed. */
struct Options {
    enum class Background { White, Transparent, Colour, Images };
    /** Leave characters no letter covers out of the image and the label, instead of refusing the text. */
    bool dropMissing = false;
    Background background = Background::White;
    QColor backgroundColour = Qt::white;
    /** For Background::Images: a random crop of one of them, scaled up when smaller than the composition. */
    QVector<QImage> backgroundImages;
    /** Ink drawn in this colour (each pixel keeps its alpha); invalid keeps the pictures' colours. */
    QColor ink;
    /** Write colour (RGB) rather than 8-bit grey; a transparent background always gives RGBA. */
    bool colour = false;
    int margin = 0;
    /** The image resampled to this height (Qt's smooth transformation: area average down, bilinear up); 0 keeps it. */
    int height = 0;
    /** The most each advance, each space and each letter's baseline move at random, in pixels. */
    qreal letterSpacingJitter = 0;
    qreal wordSpacingJitter = 0;
    int baselineJitter = 0;
};

/** A character (a letter of the font, or a space) or a word, and its box in image pixels, y downwards. */
struct Box {
    QString text;
    QRect rect;
    int picture = -1; // for a letter, the index of its picture that was drawn (Typeface::Letter::pictures)
};

struct LineLayout {
    QString text; // the label: exactly the letters drawn
    QRect rect;   // the line's box: its letters, its ascent and descent
    int baseline = 0;
    QVector<Box> characters; // one per letter or space of text, in order
    QVector<Box> words;      // runs of letters between spaces
};

/** A composed line or page, or why there is none. */
struct Composition {
    enum class Status { Done, Missing, TooLarge, NoMemory };
    Status status = Status::Done;
    /** Grayscale8, RGB32 with Options::colour, ARGB32 on a transparent background; null unless Done. */
    QImage image;
    QVector<LineLayout> lines;
    /** The characters that no letter covers, once each, in the order they come (dropped or refused). */
    QStringList missing;
    /** The image's size; for TooLarge, the size it would have had. */
    QSize size;

    /** The lines' texts, joined with line feeds. */
    QString label() const;
};

/**
 * Sets lines (one line image for one line, a page for several) from font's letters, each picture chosen
 * at random among its letter's from a generator seeded with seed, so that the same arguments give the
 * same pixels on every machine and thread. Letters of several characters are matched longest first; a
 * space moves the pen by the font's space advance. Without dropMissing, a character no letter covers
 * makes status Missing and no image. Nothing is allocated for a composition beyond maxPixels.
 */
Composition compose(const Typeface &font, const QStringList &lines, const Options &options, quint64 seed);

} // namespace Compose

#endif // COMPOSE_COMPOSER_H
