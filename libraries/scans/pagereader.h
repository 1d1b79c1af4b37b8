#ifndef SCANS_PAGEREADER_H
#define SCANS_PAGEREADER_H

#include "scanpage.h"

#include <QString>

class QIODevice;

namespace Scans {

/** Larger files are refused unread; no token of a smaller one can reach the XML reader's own limit. */
constexpr qint64 maxPageFileBytes = qint64(1) << 28;
/** Elements nested deeper than this end the reading; real files stay under 15. */
constexpr int maxPageDepth = 64;
/** Points of one outline; a glyph with more is passed over. */
constexpr int maxOutlinePoints = 10000;

enum class PageFormat { PageXml, Alto };

/**
 * Reads the PAGE-XML (any schema from 2010 to 2019) or ALTO (v2 to v4) file at path into page, telling
 * the format by the root element; the image path is resolved against the file's folder. Returns false with
 * error set, "LINE:COLUMN: REASON" where the reader knows where, when the file cannot be used at all
 * (unreadable, too large, not well-formed, a document type that declares entities, nesting beyond
 * maxPageDepth, not PAGE-XML or ALTO, an ALTO unit other than pixels); glyphs that cannot be used are
 * listed in page->passedOver instead.
 */
bool readPageFile(const QString &path, ScanPage *page, QString *error, PageFormat *format = nullptr);

/** The same from a device holding at most maxPageFileBytes; folder resolves the image path. */
bool readPageDevice(QIODevice *device, const QString &folder, ScanPage *page, QString *error, PageFormat *format = nullptr);

} // namespace Scans

#endif // SCANS_PAGEREADER_H
