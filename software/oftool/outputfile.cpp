#include "outputfile.h"

#include "cli.h"
#include "gzipwriter.h"

#include "iomanager/atomicfile.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/writeresult.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace Cli {

QString cannotWrite(const QString &path, const QString &typed)
{
    const QFileInfo target(path);
    const QFileInfo directory(target.absolutePath());
    QString reason;
    struct stat status;
    if (target.isSymLink() && ::stat(QFile::encodeName(path).constData(), &status) != 0 && errno == ELOOP) {
        reason = QString::fromLocal8Bit(std::strerror(ELOOP));
    } else if (target.isDir()) {
        reason = QString::fromLocal8Bit(std::strerror(EISDIR));
    } else if (target.exists() && !target.isFile()) {
        reason = QStringLiteral("not a regular file");
    } else if (directory.exists() && !directory.isDir()) {
        reason = QString::fromLocal8Bit(std::strerror(ENOTDIR));
    } else if (access(QFile::encodeName(directory.absoluteFilePath()).constData(), W_OK | X_OK) != 0
               || (target.exists() && access(QFile::encodeName(target.absoluteFilePath()).constData(), W_OK) != 0)) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
    } else {
        return QString();
    }
    const QString hint = typed.startsWith(QLatin1Char('~'))
                             ? QStringLiteral(" (the shell did not expand \"~\": it does not inside quotes or after \"=\"; use $HOME)")
                             : QString();
    return QStringLiteral("cannot write %1: %2%3").arg(path, reason, hint);
}

QString writeFailure(const QString &path, const QString &typed, const QString &fallback)
{
    const QString reason = cannotWrite(path, typed);
    return reason.isEmpty() ? fallback : reason;
}

namespace {

// Writes through write() into a file that appears only once complete; false with a message otherwise.
template <typename Write>
bool saveAtomically(const QString &path, QString *error, Write write)
{
    if (!IOManager::isReplaceableTarget(path)) {
        *error = QStringLiteral("cannot write %1: not a regular file").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QString why;
    if (!write(&file, &why)) {
        const int code = errno;
        // A PNG writer says "Unknown error" of a device that failed; the device says more.
        if (file.error() != QFileDevice::NoError) {
            why = IOManager::writeErrorText(file.errorString(), code);
        }
        *error = QStringLiteral("cannot write %1: %2").arg(path, why);
        file.cancelWriting();
        return false;
    }
    if (!IOManager::commitComplete(file)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, IOManager::writeErrorText(file.errorString(), errno));
        return false;
    }
    return true;
}

} // namespace

bool savePng(const QImage &image, const QString &path, QString *error)
{
    return saveAtomically(path, error, [&](QIODevice *device, QString *why) {
        QImageWriter writer(device, "png");
        const bool written = writer.write(image);
        *why = writer.errorString();
        return written;
    });
}

bool saveBytes(const QByteArray &bytes, const QString &path, QString *error)
{
    return saveAtomically(path, error, [&](QIODevice *device, QString *why) {
        const bool written = device->write(bytes) == bytes.size();
        *why = device->errorString();
        return written;
    });
}

bool saveCompressedFont(const Models::Font *font, const QString &path, QString *error)
{
    return saveAtomically(path, error, GzipWriter::compressed([font](QIODevice *device, QString *why) {
        const bool written = IOManager::FontFileManager::fontToDevice(font, device);
        *why = device->errorString();
        return written;
    }));
}

bool saveFont(const char *command, const Models::Font *font, const QString &path, bool compress)
{
    QString error;
    IOManager::WriteResult result;
    if (compress ? saveCompressedFont(font, path, &error) : IOManager::FontFileManager::fontToFile(font, path, &result)) {
        return true;
    }
    if (error.isEmpty()) {
        error = result.detail().isEmpty() ? QStringLiteral("could not write %1").arg(path)
                                          : QStringLiteral("cannot write %1: %2").arg(path, result.detail());
    }
    failure(command, writeFailure(path, path, error));
    return false;
}

QString compressedPath(const QString &path)
{
    return path.endsWith(QLatin1String(".gz")) ? path : path + QStringLiteral(".gz");
}

QCommandLineOption compressOption()
{
    return {QStringLiteral("compress"), QStringLiteral("Write FILE.of.gz, the OF font file compressed with gzip (FILE.of's bytes "
                                                       "exactly, which every oftool command reads).")};
}

} // namespace Cli
