#ifndef OFTOOL_OUTPUTFILE_H
#define OFTOOL_OUTPUTFILE_H

#include <QString>

#include <QCommandLineOption>

#include <functional>

class QByteArray;
class QImage;
class QIODevice;

namespace IOManager {
class WriteResult;
}

namespace Models {
class Font;
}

namespace Cli {

/**
 * "cannot write PATH: REASON" for a failed write, REASON the cause result found at its path and
 * directory in the system's words ("Permission denied", "Is a directory", "not a regular file", ...),
 * with a hint when typed, the path as the user gave it, starts with "~"; fallback when nothing there
 * explains the failure (a full disk, for one).
 */
QString writeFailure(const IOManager::WriteResult &result, const QString &typed, const QString &fallback);

/** The same for a write to path that failed just now. */
QString writeFailure(const QString &path, const QString &typed, const QString &fallback);

/** Writes image as a PNG file that appears only once complete; false with a message otherwise. */
bool savePng(const QImage &image, const QString &path, QString *error);

/** The same for any bytes. */
bool saveBytes(const QByteArray &bytes, const QString &path, QString *error);

/** The same for what write writes to the device, false with its reason when it fails. */
bool saveStream(const QString &path, const std::function<bool(QIODevice *, QString *)> &write, QString *error);

/** The same for font, as an OF font file compressed with gzip. */
bool saveCompressedFont(const Models::Font *font, const QString &path, QString *error);

/**
 * Writes font as an OF font file at path, compressed with gzip when compress is set; false when it
 * could not, with the line printed as command's failure.
 */
bool saveFont(const char *command, const Models::Font *font, const QString &path, bool compress);

/** The file --compress writes for the OF file path: path and ".gz", or path when it ends in ".gz". */
QString compressedPath(const QString &path);

/** The --compress option of the commands that write OF font files. */
QCommandLineOption compressOption();

} // namespace Cli

#endif // OFTOOL_OUTPUTFILE_H
