#include "outputfile.h"

#include "cli.h"
#include "gzipwriter.h"

#include "iomanager/atomicfile.h"
#include "iomanager/fontfilemanager.h"
#include "iomanager/writeresult.h"

#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace Cli {

QString writeFailure(const IOManager::WriteResult &result, const QString &typed, const QString &fallback)
{
    QString reason;
    switch (result.cause()) {
    case IOManager::WriteResult::NotRegularFile:
        reason = QStringLiteral("not a regular file");
        break;
    case IOManager::WriteResult::IsDirectory:
    case IOManager::WriteResult::DirectoryMissing:
    case IOManager::WriteResult::DirectoryNotDirectory:
    case IOManager::WriteResult::DirectoryNotWritable:
    case IOManager::WriteResult::FileNotWritable:
    case IOManager::WriteResult::LinkLoop:
        reason = QString::fromLocal8Bit(std::strerror(result.systemError()));
        break;
    case IOManager::WriteResult::DeviceFull: // the failed call's own text says so
    case IOManager::WriteResult::UnknownCause:
        return fallback;
    }
    const QString hint = typed.startsWith(QLatin1Char('~'))
                             ? QStringLiteral(" (the shell did not expand \"~\": it does not inside quotes or after \"=\"; use $HOME)")
                             : QString();
    return QStringLiteral("cannot write %1: %2%3").arg(result.path(), reason, hint);
}

QString writeFailure(const QString &path, const QString &typed, const QString &fallback)
{
    return writeFailure(IOManager::WriteResult::failed(IOManager::WriteResult::CannotWrite, path), typed, fallback);
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

bool saveStream(const QString &path, const std::function<bool(QIODevice *, QString *)> &write, QString *error)
{
    return saveAtomically(path, error, write);
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
    failure(command, compress ? writeFailure(path, path, error) : writeFailure(result, path, error));
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
