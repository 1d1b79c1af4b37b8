#ifndef OFTOOL_OUTPUTFILE_H
#define OFTOOL_OUTPUTFILE_H

#include <QString>

class QByteArray;
class QImage;

namespace Cli {

/**
 * "cannot write PATH: REASON", the reason found by looking at path and its directory after a
 * write failed ("Permission denied", "Is a directory", "not a regular file", ...), with a hint
 * when typed, the path as the user gave it, starts with "~". Empty when nothing there explains
 * the failure (a full disk, for one).
 */
QString cannotWrite(const QString &path, const QString &typed);

/** cannotWrite()'s message, or fallback when nothing at path explains the failure. */
QString writeFailure(const QString &path, const QString &typed, const QString &fallback);

/** Writes image as a PNG file that appears only once complete; false with a message otherwise. */
bool savePng(const QImage &image, const QString &path, QString *error);

/** The same for any bytes. */
bool saveBytes(const QByteArray &bytes, const QString &path, QString *error);

} // namespace Cli

#endif // OFTOOL_OUTPUTFILE_H
