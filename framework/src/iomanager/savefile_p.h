#ifndef IOMANAGER_SAVEFILE_P_H
#define IOMANAGER_SAVEFILE_P_H

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace IOManager {
namespace Private {

/*
 * Whether path may be replaced by a new file: it does not exist yet or is a regular file (through
 * a link). A FIFO or a device node would otherwise be swapped for a regular file, and links that go
 * round in a loop, which QSaveFile does not follow, for one too.
 */
inline bool isReplaceableTarget(const QString &path)
{
    const QFileInfo info(path);
    struct stat status;
    if (info.isSymLink() && ::stat(QFile::encodeName(path).constData(), &status) != 0 && errno == ELOOP) {
        return false;
    }
    return !info.exists() || info.isFile();
}

/*
 * QSaveFile::commit() that only replaces the target once every byte is on disk. Qt 5's commit()
 * ignores a failure of its own final flush (a full disk, a file-size limit) and renames the cut-short
 * file over the old one; so the last bytes are flushed and synced here, and the write is cancelled,
 * leaving the old file, when that fails.
 */
inline bool commitComplete(QSaveFile &file)
{
    bool complete = file.flush() && file.error() == QFileDevice::NoError;
    // Some file systems report a full disk only when the data is synced.
    if (complete && ::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        complete = false;
    }
    if (!complete) {
        file.cancelWriting();
        file.commit(); // removes the temporary file
        return false;
    }
    return file.commit();
}

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_SAVEFILE_P_H
