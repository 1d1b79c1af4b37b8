#ifndef FORMATS_SIZELIST_H
#define FORMATS_SIZELIST_H

#include <QList>
#include <QString>

namespace Sizes {

/** The most sizes one list may give; keeps 1-1000000 from planning a million files. */
constexpr int maxCount = 4096;

/**
 * The sizes of a list such as "12,16,24", "8-72" or "8-72/4" (every fourth size from 8 up to 72),
 * in the order given, each once, every one from 1 to largest. Returns false with a message naming
 * the bad item otherwise; unit ("point size") names what a size is in it.
 */
bool parseList(const QString &text, int largest, const QString &unit, QList<int> *sizes, QString *error);

} // namespace Sizes

#endif // FORMATS_SIZELIST_H
