#ifndef SAVEFAILURE_H
#define SAVEFAILURE_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QString;
QT_END_NAMESPACE

/**
 * Why a font file could not be written to path, found by looking at the path and its directory after
 * the failure; never empty. A path that starts with "~" gets a hint, since nothing expands it.
 */
QString saveFailureReason(const QString &path);

#endif // SAVEFAILURE_H
