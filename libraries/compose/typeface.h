#ifndef COMPOSE_TYPEFACE_H
#define COMPOSE_TYPEFACE_H

#include "metricsfile.h"
#include "placement.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QVector>

#include <limits>

namespace Models {
class Font;
}

namespace Compose {

/** The degradation levels whose pictures a composition may choose. */
struct DegradationRange {
    float lowest = -std::numeric_limits<float>::infinity();
    float highest = std::numeric_limits<float>::infinity();
};

/*
 * A font made ready for setting text: its letters with the pictures of the chosen degradation levels
 * (ARGB32), each placed by Placement::placeLetter(), and an index that finds the letter at a place in a text,
 * longest first. Holds copies of what it needs; several threads may use one at once.
 */
class Typeface
{
public:
    struct Letter {
        QString text;
        QVector<QImage> pictures;
        Placement::Letter placement;
    };

    /**
     * metrics: the font's metrics file, or null. Letters without a picture of those levels are left out, as
     * if the font lacked them.
     */
    Typeface(const Models::Font &font, const MetricsFile::TextMetrics *metrics = nullptr, const DegradationRange &levels = DegradationRange());

    bool isEmpty() const { return m_letters.isEmpty(); }
    int letterCount() const { return m_letters.size(); }
    const Letter &letter(int index) const { return m_letters.at(index); }

    /** The longest letter that text holds at from (a UTF-16 index), or -1. */
    int match(const QString &text, int from) const;
    /** The metrics' kerning between two letters, 0 without. */
    qreal kerning(int left, int right) const { return m_kerning.value(pairKey(left, right), 0); }

    /** What a space (U+0020) moves the pen by: the metrics' space advance or the blank letter's; negative without either. */
    qreal spaceAdvance() const { return m_spaceAdvance; }
    /** Rows above and below the baseline that the line takes, and from one baseline to the next. */
    int ascent() const { return m_ascent; }
    int descent() const { return m_descent; }
    int lineSpacing() const { return m_lineSpacing; }
    /** The rule that placed most letters, for a report. */
    Placement::Rule rule() const { return m_rule; }

private:
    static quint64 pairKey(int left, int right) { return (quint64(quint32(left)) << 32) | quint32(right); }

    QVector<Letter> m_letters;
    QHash<uint, QVector<int>> m_byFirst; // the letters by their first code point, longest first
    QHash<quint64, qreal> m_kerning;
    qreal m_spaceAdvance = -1;
    int m_ascent = 0;
    int m_descent = 0;
    int m_lineSpacing = 0;
    Placement::Rule m_rule = Placement::Rule::LineBox;
};

} // namespace Compose

#endif // COMPOSE_TYPEFACE_H
