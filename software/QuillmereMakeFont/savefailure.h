#ifndef SAVEFAILURE_H
#define SAVEFAILURE_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QString;
QT_END_NAMESPACE

namespace IOManager {
class WriteResult;
}

/**
 * Why the font file of a failed write could not be written; never empty. A path that starts with "~"
 * gets a hint, since nothing expands it.
 */
QString saveFailureReason(const IOManager::WriteResult &result);

#endif // SAVEFAILURE_H
