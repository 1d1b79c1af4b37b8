#include "iomanager/atomicfile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace IOManager {

bool isReplaceableTarget(const QString &path)
{
    const QFileInfo info(path);
    struct stat status;
    if (info.isSymLink() && ::stat(QFile::encodeName(path).constData(), &status) != 0 && errno == ELOOP) {
        return false;
    }
    return !info.exists() || info.isFile();
}

bool commitComplete(QSaveFile &file)
{
    // Qt 5's commit() ignores a failure of its own final flush (a full disk, a file-size limit) and
    // renames the cut-short file over the old one, so the last bytes are flushed and synced first.
    bool complete = file.flush() && file.error() == QFileDevice::NoError;
    int error = errno;
    // Some file systems report a full disk only when the data is synced.
    if (complete && ::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        complete = false;
        error = errno;
    }
    if (!complete) {
        file.cancelWriting();
        file.commit(); // removes the temporary file
        errno = error;
        return false;
    }
    return file.commit();
}

QString writeErrorText(const QString &text, int error)
{
    if (error != 0 && (text.isEmpty() || text == QBuffer().errorString())) {
        return QString::fromLocal8Bit(std::strerror(error));
    }
    return text;
}

} // namespace IOManager
