#ifndef PAIRADJUSTMENTS_P_H
#define PAIRADJUSTMENTS_P_H

#include <QByteArray>
#include <QVector>

/* Which pairs of glyphs a font's kerning data can move apart or together, read from its tables. */
namespace PairAdjustments {

/**
 * Marks in *adjustable (glyphs.size() squared, row = left glyph) the pairs of glyphs whose advances the GPOS pair,
 * cursive and two-glyph contextual lookups or the kern table's pairs can change. False when the tables hold
 * kerning that this reader does not follow (contextual rules by glyph or by class, other kern formats) or are cut
 * short or tangled: then any pair may be kerned.
 */
bool adjustablePairs(const QByteArray &gpos, const QByteArray &kern, const QVector<quint16> &glyphs,
                     QVector<bool> *adjustable);

} // namespace PairAdjustments

#endif // PAIRADJUSTMENTS_P_H
