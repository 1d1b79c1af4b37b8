#include "pairadjustments_p.h"

#include <QHash>
#include <QtEndian>

namespace {

/*
 * Big-endian reads that fail, rather than read past the end, on a table cut short; and after so many reads,
 * which a sound table for that many glyphs never needs, so that offsets pointing back into the table cannot
 * make the reading take long.
 */
class TableReader
{
public:
    TableReader(const QByteArray &data, int glyphCount)
        : m_data(data), m_reads((qint64(1) << 20) + 16 * qint64(data.size()) + 32 * qint64(glyphCount) * glyphCount)
    {
    }

    bool ok() const { return m_ok; }
    void fail() { m_ok = false; }
    bool has(qint64 at, qint64 bytes)
    {
        if (at < 0 || bytes < 0 || at + bytes > m_data.size() || !spend(1)) {
            m_ok = false;
        }
        return m_ok;
    }
    // Work other than reading counts against the same allowance.
    bool spend(qint64 work)
    {
        m_reads -= work;
        m_ok = m_ok && m_reads >= 0;
        return m_ok;
    }
    quint16 u16(qint64 at) { return has(at, 2) ? qFromBigEndian<quint16>(m_data.constData() + at) : 0; }
    quint32 u32(qint64 at) { return has(at, 4) ? qFromBigEndian<quint32>(m_data.constData() + at) : 0; }

private:
    const QByteArray &m_data;
    qint64 m_reads;
    bool m_ok = true;
};

// What a lookup subtable is read against: the glyphs asked about and the pairs found so far.
struct Pairs
{
    const QVector<quint16> &glyphs;
    QHash<quint16, int> index;
    QVector<bool> &adjustable;

    void mark(int left, int right) { adjustable[left * glyphs.size() + right] = true; }
};

// The glyph's index in the coverage table at offset, or -1 when it is not covered.
int coverageIndex(TableReader &table, qint64 coverage, quint16 glyph)
{
    const quint16 format = table.u16(coverage);
    int low = 0;
    int high = int(table.u16(coverage + 2)) - 1;
    while (table.ok() && low <= high) {
        const int middle = (low + high) / 2;
        if (format == 1) {
            const quint16 found = table.u16(coverage + 4 + 2 * middle);
            if (found == glyph) {
                return middle;
            }
            if (found < glyph) {
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        } else if (format == 2) {
            const qint64 range = coverage + 4 + 6 * middle;
            const quint16 start = table.u16(range);
            if (glyph < start) {
                high = middle - 1;
            } else if (glyph > table.u16(range + 2)) {
                low = middle + 1;
            } else {
                return table.u16(range + 4) + glyph - start;
            }
        } else {
            table.fail();
        }
    }
    return -1;
}

// The glyph's class in the class definition at offset; glyphs it does not list are class 0.
int glyphClass(TableReader &table, qint64 classDef, quint16 glyph)
{
    const quint16 format = table.u16(classDef);
    if (format == 1) {
        const quint16 start = table.u16(classDef + 2);
        return glyph >= start && glyph - start < table.u16(classDef + 4) ? table.u16(classDef + 6 + 2 * (glyph - start)) : 0;
    }
    if (format != 2) {
        table.fail();
        return 0;
    }
    int low = 0;
    int high = int(table.u16(classDef + 2)) - 1;
    while (table.ok() && low <= high) {
        const int middle = (low + high) / 2;
        const qint64 range = classDef + 4 + 6 * middle;
        if (glyph < table.u16(range)) {
            high = middle - 1;
        } else if (glyph > table.u16(range + 2)) {
            low = middle + 1;
        } else {
            return table.u16(range + 4);
        }
    }
    return 0;
}

int valueSize(quint16 format)
{
    return 2 * qPopulationCount(quint16(format & 0xFF));
}

// Whether the value record at offset moves the pen: an x advance or an x advance device table.
bool changesAdvance(TableReader &table, qint64 record, quint16 format)
{
    const bool advance = (format & 0x4) && table.u16(record + 2 * qPopulationCount(quint16(format & 0x3))) != 0;
    const bool device = (format & 0x40) && table.u16(record + 2 * qPopulationCount(quint16(format & 0x3F))) != 0;
    return advance || device;
}

void readPairGlyphs(TableReader &table, qint64 subtable, Pairs &pairs)
{
    const qint64 coverage = subtable + table.u16(subtable + 2);
    const quint16 format1 = table.u16(subtable + 4);
    const quint16 format2 = table.u16(subtable + 6);
    const int setCount = table.u16(subtable + 8);
    const int recordSize = 2 + valueSize(format1) + valueSize(format2);
    if (((format1 | format2) & 0x44) == 0) {
        return;
    }
    for (int left = 0; left < pairs.glyphs.size() && table.ok(); ++left) {
        const int covered = coverageIndex(table, coverage, pairs.glyphs.at(left));
        if (covered < 0 || covered >= setCount) {
            continue;
        }
        const qint64 set = subtable + table.u16(subtable + 10 + 2 * covered);
        const int count = table.u16(set);
        for (int i = 0; i < count && table.ok(); ++i) {
            const qint64 record = set + 2 + qint64(i) * recordSize;
            const int right = pairs.index.value(table.u16(record), -1);
            if (right >= 0 && (changesAdvance(table, record + 2, format1)
                               || changesAdvance(table, record + 2 + valueSize(format1), format2))) {
                pairs.mark(left, right);
            }
        }
    }
}

void readPairClasses(TableReader &table, qint64 subtable, Pairs &pairs)
{
    const qint64 coverage = subtable + table.u16(subtable + 2);
    const quint16 format1 = table.u16(subtable + 4);
    const quint16 format2 = table.u16(subtable + 6);
    const qint64 classDef1 = subtable + table.u16(subtable + 8);
    const qint64 classDef2 = subtable + table.u16(subtable + 10);
    const int class1Count = table.u16(subtable + 12);
    const int class2Count = table.u16(subtable + 14);
    const int recordSize = valueSize(format1) + valueSize(format2);
    const qint64 records = subtable + 16;
    if (((format1 | format2) & 0x44) == 0 || !table.has(records, qint64(class1Count) * class2Count * recordSize)) {
        return;
    }
    QVector<int> rightClasses;
    rightClasses.reserve(pairs.glyphs.size());
    for (const quint16 glyph : pairs.glyphs) {
        rightClasses.append(glyphClass(table, classDef2, glyph));
    }
    for (int left = 0; left < pairs.glyphs.size() && table.ok(); ++left) {
        if (coverageIndex(table, coverage, pairs.glyphs.at(left)) < 0) {
            continue;
        }
        const int leftClass = glyphClass(table, classDef1, pairs.glyphs.at(left));
        if (leftClass >= class1Count || !table.spend(pairs.glyphs.size())) {
            continue;
        }
        for (int right = 0; right < pairs.glyphs.size(); ++right) {
            if (rightClasses.at(right) >= class2Count) {
                continue;
            }
            const qint64 record = records + (qint64(leftClass) * class2Count + rightClasses.at(right)) * recordSize;
            if (changesAdvance(table, record, format1) || changesAdvance(table, record + valueSize(format1), format2)) {
                pairs.mark(left, right);
            }
        }
    }
}

// Cursive attachment moves the pen between a glyph with an exit and the next with an entry.
void readCursive(TableReader &table, qint64 subtable, Pairs &pairs)
{
    const qint64 coverage = subtable + table.u16(subtable + 2);
    const int count = table.u16(subtable + 4);
    QVector<int> exits;
    QVector<int> entries;
    for (int i = 0; i < pairs.glyphs.size() && table.ok(); ++i) {
        const int covered = coverageIndex(table, coverage, pairs.glyphs.at(i));
        if (covered < 0 || covered >= count) {
            continue;
        }
        const qint64 record = subtable + 6 + 4 * qint64(covered);
        if (table.u16(record) != 0) {
            entries.append(i);
        }
        if (table.u16(record + 2) != 0) {
            exits.append(i);
        }
    }
    if (!table.spend(qint64(exits.size()) * entries.size())) {
        return;
    }
    for (const int left : exits) {
        for (const int right : entries) {
            pairs.mark(left, right);
        }
    }
}

// A lookup's subtables, with extension subtables resolved to the subtable and type they point to.
struct Subtable
{
    quint16 type;
    qint64 offset;
};

QVector<Subtable> subtablesOf(TableReader &table, qint64 lookup)
{
    QVector<Subtable> subtables;
    const quint16 lookupType = table.u16(lookup);
    const int count = table.u16(lookup + 4);
    for (int s = 0; s < count && table.ok(); ++s) {
        Subtable subtable{lookupType, lookup + table.u16(lookup + 6 + 2 * s)};
        if (subtable.type == 9) {
            subtable.type = table.u16(subtable.offset + 2);
            subtable.offset += table.u32(subtable.offset + 4);
        }
        subtables.append(subtable);
    }
    return subtables;
}

// Whether a lookup can change an advance: mark attachment cannot, single adjustments only with an x advance.
bool movesPen(TableReader &table, qint64 lookup)
{
    for (const Subtable &subtable : subtablesOf(table, lookup)) {
        const bool single = subtable.type == 1 && (table.u16(subtable.offset) == 1 || table.u16(subtable.offset) == 2);
        if (single ? (table.u16(subtable.offset + 4) & 0x44) != 0 : subtable.type < 4 || subtable.type > 6) {
            return true;
        }
    }
    return false;
}

/*
 * A contextual subtable of coverage format 3. Its rules act on a pair only when they span two glyphs (a rule
 * on one glyph acts on that letter alone just as much), so such a rule marks the pairs its coverages allow
 * when one of its lookups moves the pen. False for the rule formats by glyph and by class, which are not read.
 */
bool readContext(TableReader &table, const Subtable &subtable, const QVector<bool> &lookupMovesPen, Pairs &pairs)
{
    const qint64 at = subtable.offset;
    if (table.u16(at) != 3) {
        return false;
    }
    // The coverages of the glyphs before, of the input and after, in the order the glyphs stand.
    QVector<qint64> sequence;
    qint64 next = at + 2;
    int recordCount = 0;
    if (subtable.type == 7) {
        const int count = table.u16(next);
        recordCount = table.u16(next + 2);
        for (int i = 0; i < count && i < 3 && table.ok(); ++i) {
            sequence.append(at + table.u16(next + 4 + 2 * i));
        }
        next += 4 + 2 * qint64(count);
    } else {
        for (int part = 0; part < 3 && table.ok(); ++part) {
            const int count = table.u16(next);
            for (int i = 0; i < count && i < 3 && table.ok(); ++i) {
                const qint64 coverage = at + table.u16(next + 2 + 2 * i);
                // The glyphs before stand nearest first.
                sequence.insert(part == 0 ? 0 : sequence.size(), coverage);
            }
            next += 2 + 2 * qint64(count);
        }
        recordCount = table.u16(next);
        next += 2;
    }
    if (sequence.size() != 2) {
        return table.ok();
    }
    bool moves = false;
    for (int i = 0; i < recordCount && table.ok(); ++i) {
        moves = moves || lookupMovesPen.value(table.u16(next + 4 * i + 2), true);
    }
    if (!moves) {
        return table.ok();
    }
    QVector<int> rights;
    for (int right = 0; right < pairs.glyphs.size(); ++right) {
        if (coverageIndex(table, sequence.at(1), pairs.glyphs.at(right)) >= 0) {
            rights.append(right);
        }
    }
    for (int left = 0; left < pairs.glyphs.size() && !rights.isEmpty(); ++left) {
        if (coverageIndex(table, sequence.at(0), pairs.glyphs.at(left)) >= 0 && table.spend(rights.size())) {
            for (const int right : rights) {
                pairs.mark(left, right);
            }
        }
    }
    return table.ok();
}

bool readGpos(const QByteArray &gpos, Pairs &pairs)
{
    if (gpos.isEmpty()) {
        return true;
    }
    TableReader table(gpos, pairs.glyphs.size());
    if (table.u16(0) != 1) {
        return false;
    }
    const qint64 lookupList = table.u16(8);
    const int lookupCount = table.u16(lookupList);
    QVector<qint64> lookups;
    QVector<bool> lookupMovesPen;
    for (int l = 0; l < lookupCount && table.ok(); ++l) {
        lookups.append(lookupList + table.u16(lookupList + 2 + 2 * l));
        lookupMovesPen.append(movesPen(table, lookups.last()));
    }
    for (const qint64 lookup : qAsConst(lookups)) {
        for (const Subtable &subtable : subtablesOf(table, lookup)) {
            const quint16 format = table.u16(subtable.offset);
            if (subtable.type == 2 && format == 1) {
                readPairGlyphs(table, subtable.offset, pairs);
            } else if (subtable.type == 2 && format == 2) {
                readPairClasses(table, subtable.offset, pairs);
            } else if (subtable.type == 3 && format == 1) {
                readCursive(table, subtable.offset, pairs);
            } else if (subtable.type == 7 || subtable.type == 8) {
                if (!readContext(table, subtable, lookupMovesPen, pairs)) {
                    return false;
                }
            } else if (subtable.type == 2 || subtable.type == 3 || subtable.type > 8) {
                return false;
            }
        }
    }
    return table.ok();
}

// A kern subtable of format 0: a list of pairs with their values.
void readKernPairs(TableReader &table, qint64 data, Pairs &pairs)
{
    const int count = table.u16(data);
    for (int i = 0; i < count && table.ok(); ++i) {
        const qint64 record = data + 8 + 6 * qint64(i);
        const int left = pairs.index.value(table.u16(record), -1);
        const int right = pairs.index.value(table.u16(record + 2), -1);
        if (left >= 0 && right >= 0 && table.u16(record + 4) != 0) {
            pairs.mark(left, right);
        }
    }
}

bool readKern(const QByteArray &kern, Pairs &pairs)
{
    if (kern.isEmpty()) {
        return true;
    }
    TableReader table(kern, pairs.glyphs.size());
    // Two layouts share the tag: 16-bit version 0, and 32-bit version 1.0 with its own subtable header.
    const bool apple = table.u32(0) == 0x00010000;
    const qint64 count = apple ? table.u32(4) : table.u16(2);
    if (!apple && table.u16(0) != 0) {
        return false;
    }
    qint64 subtable = apple ? 8 : 4;
    for (qint64 i = 0; i < count && table.ok(); ++i) {
        const quint16 coverage = table.u16(subtable + 4);
        const int format = apple ? coverage & 0xFF : coverage >> 8;
        const bool horizontal = apple ? !(coverage & 0xC000) : (coverage & 0x5) == 0x1;
        const qint64 data = subtable + (apple ? 8 : 6);
        if (horizontal && format != 0) {
            return false;
        }
        if (horizontal) {
            readKernPairs(table, data, pairs);
        }
        // The 16-bit length of a long format 0 subtable overflows; its pair count does not.
        const qint64 next = apple ? subtable + table.u32(subtable)
                                  : format == 0 ? data + 8 + 6 * qint64(table.u16(data)) : subtable + table.u16(subtable + 2);
        if (next <= subtable) {
            return false;
        }
        subtable = next;
    }
    return table.ok();
}

} // namespace

namespace PairAdjustments {

bool adjustablePairs(const QByteArray &gpos, const QByteArray &kern, const QVector<quint16> &glyphs,
                     QVector<bool> *adjustable)
{
    adjustable->fill(false, glyphs.size() * glyphs.size());
    Pairs pairs{glyphs, {}, *adjustable};
    for (int i = 0; i < glyphs.size(); ++i) {
        pairs.index.insert(glyphs.at(i), i);
    }
    return readGpos(gpos, pairs) && readKern(kern, pairs);
}

} // namespace PairAdjustments
