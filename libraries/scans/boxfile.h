#ifndef SCANS_BOXFILE_H
#define SCANS_BOXFILE_H

#include "scanpage.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Scans {

/** One line of a box file: its text and box as written, origin at the image's bottom left. */
struct BoxEntry {
    QString text;
    int left = 0;
    int bottom = 0;
    int right = 0;
    int top = 0;
    int page = 0;
    int lineNumber = 0;
    /** A line whose text is white space: a space ends a word, a tab a line. */
    bool separator = false;
};

struct BoxFile {
    QVector<BoxEntry> entries;
    /** WordStr lines, which give a word or line and no glyph: counted and passed over. */
    int wordStrLines = 0;
    /** "LINE: REASON" for each line that could not be read. */
    QStringList passedOver;
};

/**
 * Reads a Tesseract box file (one glyph a line: text, left, bottom, right, top, page); false with error
 * set when it cannot be read at all (unreadable, larger than maxPageFileBytes, not UTF-8 text).
 */
bool readBoxFile(const QString &path, BoxFile *boxes, QString *error);

/**
 * The glyphs of one page of boxes on an image of imageSize, in the file's order, turned to top-left
 * pixels. A new line starts where a box does not overlap the previous one vertically or lies left of it,
 * or at a tab line; a new word where a space line comes or the gap to the previous box is more than a
 * quarter of the median box height.
 */
ScanPage boxPage(const BoxFile &boxes, int page, const QSize &imageSize);

} // namespace Scans

#endif // SCANS_BOXFILE_H
