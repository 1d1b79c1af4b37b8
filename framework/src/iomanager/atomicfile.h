#ifndef IOMANAGER_ATOMICFILE_H
#define IOMANAGER_ATOMICFILE_H

#include "quillmeremakefont_export.h"

#include <QString>

class QSaveFile;

/* Replacing a file so that readers see the old one or the whole new one, never a part. */
namespace IOManager {

/**
 * Whether path may be replaced by a new file: it does not exist yet or is a regular file (through
 * a link). A FIFO or a device node would otherwise be swapped for a regular file, and links that go
 * round in a loop, which QSaveFile does not follow, for one too.
 */
QMF_EXPORT bool isReplaceableTarget(const QString &path);

/**
 * QSaveFile::commit() that only replaces the target once every byte is on disk: flushes, checks,
 * syncs and commits, or cancels the write, leaving the old file, when any of that fails.
 */
QMF_EXPORT bool commitComplete(QSaveFile &file);

/**
 * Why a write failed, for a message: text (a device's errorString()) unless it is empty or Qt's
 * "Unknown error", which is all a short write leaves, then strerror(error), error being errno right
 * after the failed call (commitComplete() leaves errno as its failed call set it).
 */
QMF_EXPORT QString writeErrorText(const QString &text, int error);

} // namespace IOManager

#endif // IOMANAGER_ATOMICFILE_H
