#include "iomanager/writeresult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace IOManager {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("IOManager::WriteResult", text);
}

// 0 when path may be accessed in mode, otherwise errno of the failed access(2).
int accessError(const QString &path, int mode)
{
    return ::access(QFile::encodeName(path).constData(), mode) == 0 ? 0 : errno;
}

// errno of a failed access(2), in words.
QString accessText(int error)
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

} // namespace

WriteResult WriteResult::written(const QString &path)
{
    WriteResult result;
    result.m_path = path;
    return result;
}

WriteResult WriteResult::failed(Kind kind, const QString &path, const QString &detail)
{
    WriteResult result;
    result.m_kind = kind;
    result.m_path = path;
    result.m_detail = detail;
    if (kind != CannotOpen && kind != CannotWrite) {
        return result;
    }
    const QFileInfo target(path);
    const QFileInfo directory(target.absolutePath());
    // The file is written beside its target and renamed over it, so the directory must take new files.
    int error = 0;
    if (target.isSymLink() && accessError(path, F_OK) == ELOOP) {
        result.m_cause = LinkLoop;
        result.m_systemError = ELOOP;
    } else if (target.isDir()) {
        result.m_cause = IsDirectory;
        result.m_systemError = EISDIR;
    } else if (target.exists() && !target.isFile()) {
        result.m_cause = NotRegularFile;
    } else if (!directory.exists()) {
        result.m_cause = DirectoryMissing;
        result.m_systemError = accessError(directory.filePath(), F_OK);
    } else if (!directory.isDir()) {
        result.m_cause = DirectoryNotDirectory;
        result.m_systemError = ENOTDIR;
    } else if ((error = accessError(directory.filePath(), W_OK | X_OK)) != 0) {
        result.m_cause = DirectoryNotWritable;
        result.m_systemError = error;
    } else if (target.exists() && (error = accessError(target.filePath(), W_OK)) != 0) {
        result.m_cause = FileNotWritable;
        result.m_systemError = error;
    } else {
        const QStorageInfo storage(directory.filePath());
        if (storage.isValid() && storage.bytesAvailable() == 0) {
            result.m_cause = DeviceFull;
            result.m_systemError = ENOSPC;
        }
    }
    return result;
}

QString WriteResult::directory() const
{
    return QFileInfo(m_path).absolutePath();
}

QString WriteResult::reason() const
{
    const QString directory = QDir::toNativeSeparators(this->directory());
    switch (m_kind) {
    case Written:
        return QString();
    case CannotLoad:
        return tr("the font file cannot be read");
    case TooLarge:
        return tr("too large for the anchor update");
    case CannotParse:
        return tr("not a font file that the anchor update can rewrite");
    case NoLetter:
        return tr("the font file holds no letter");
    case CannotOpen:
    case CannotWrite:
        break;
    }
    switch (m_cause) {
    case IsDirectory:
        return tr("is a directory");
    case NotRegularFile:
        return tr("not a regular file");
    case DirectoryMissing:
        return tr("the directory %1 does not exist").arg(directory);
    case DirectoryNotDirectory:
        return tr("%1 is not a directory").arg(directory);
    case DirectoryNotWritable:
        return tr("%1 in the directory %2").arg(accessText(m_systemError), directory);
    case FileNotWritable:
        return accessText(m_systemError);
    case DeviceFull:
        return tr("no space left on the device");
    case LinkLoop:
        return tr("a symbolic link that leads round in a loop");
    case UnknownCause:
        break;
    }
    return tr("the file could not be written completely");
}

} // namespace IOManager
