#ifndef TESTS_PAIRKERNING_H
#define TESTS_PAIRKERNING_H

#include "glyphmetrics.h"

#include <QChar>
#include <QFontMetricsF>
#include <QStringList>
#include <QVector>

/*
 * advance(left + right) - advance(left) - advance(right) through Qt's shaping. Joined, the two letters stand
 * side by side and may form a ligature; otherwise a zero width non-joiner stands between them, which keeps
 * ligatures from forming while kerning reaches across it.
 */
inline qreal pairAdjustment(const QFontMetricsF &metrics, const QString &left, const QString &right, bool joined)
{
    const QString between = joined ? QString() : QString(QChar(0x200C));
    return metrics.horizontalAdvance(left + between + right) - metrics.horizontalAdvance(left) - metrics.horizontalAdvance(right);
}

/** The kerning of every pair of letters through Qt's shaping, the slow way: see pairAdjustment. */
inline QVector<KerningPair> kerningOfEveryPair(const QFontMetricsF &metrics, const QStringList &letters, bool joined)
{
    QVector<KerningPair> pairs;
    for (const QString &left : letters) {
        for (const QString &right : letters) {
            const qreal adjustment = pairAdjustment(metrics, left, right, joined);
            // Advances come in 1/64 pixel steps; anything smaller is rounding in the sum.
            if (qAbs(adjustment) >= 1.0 / 128) {
                pairs.append({left, right, adjustment});
            }
        }
    }
    return pairs;
}

/** One line per pair, "LEFT RIGHT ADJUSTMENT", for comparing lists in tests. */
inline QStringList kerningLines(const QVector<KerningPair> &pairs)
{
    QStringList lines;
    for (const KerningPair &pair : pairs) {
        lines.append(pair.left + QLatin1Char(' ') + pair.right + QLatin1Char(' ') + QString::number(pair.adjustment, 'g', 17));
    }
    return lines;
}

#endif // TESTS_PAIRKERNING_H
