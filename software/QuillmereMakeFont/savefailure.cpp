#include "savefailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QString>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SaveFailure", text);
}

// errno of a failed access(2), in words.
QString accessError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return tr("permission denied");
    case EROFS:
        return tr("read-only file system");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString fileSystemReason(const QString &path)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        return tr("is a directory");
    }
    if (target.exists() && !target.isFile()) {
        return tr("not a regular file");
    }
    const QFileInfo directory(target.absolutePath());
    if (!directory.exists()) {
        return tr("the directory %1 does not exist").arg(QDir::toNativeSeparators(directory.filePath()));
    }
    if (!directory.isDir()) {
        return tr("%1 is not a directory").arg(QDir::toNativeSeparators(directory.filePath()));
    }
    // The file is written beside its target and renamed over it, so the directory must take new files.
    if (::access(QFile::encodeName(directory.filePath()).constData(), W_OK | X_OK) != 0) {
        const QString error = accessError(errno);
        return tr("%1 in the directory %2").arg(error, QDir::toNativeSeparators(directory.filePath()));
    }
    if (target.exists() && ::access(QFile::encodeName(target.filePath()).constData(), W_OK) != 0) {
        return accessError(errno);
    }
    const QStorageInfo storage(directory.filePath());
    if (storage.isValid() && storage.bytesAvailable() == 0) {
        return tr("no space left on the device");
    }
    return tr("the file could not be written completely");
}

} // namespace

QString saveFailureReason(const QString &path)
{
    QString reason = fileSystemReason(path);
    if (path.startsWith(QLatin1Char('~'))) {
        const bool own = path.size() == 1 || path.at(1) == QLatin1Char('/');
        reason += own ? tr("; \"~\" is not expanded: write the full path, such as %1")
                            .arg(QDir::homePath() + path.mid(1))
                      : tr("; \"~\" is not expanded: write the full path");
    }
    return reason;
}
