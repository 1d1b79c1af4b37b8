#include "stagedfiles.h"

#include "iomanager/fontfilemanager.h"
#include "iomanager/savefile_p.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Files wait at most this long for their commit, so that a long batch shows its files as it goes.
constexpr qint64 commitEveryMs = 2000;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file a path names through its links, which is replaced rather than the link, as QSaveFile does.
QString finalTarget(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
}

} // namespace

StagedFiles::StagedFiles(const QStringList &directories)
{
    for (const QString &directory : directories) {
        directoryHandle(directory);
    }
    m_sinceCommit.start();
}

StagedFiles::~StagedFiles()
{
    for (const Entry &entry : qAsConst(m_entries)) {
        QFile::remove(entry.staged);
    }
    for (const int handle : qAsConst(m_directories)) {
        if (handle >= 0) {
            ::close(handle);
        }
    }
}

int StagedFiles::directoryHandle(const QString &directory)
{
    const QString path = QFileInfo(directory).absoluteFilePath();
    if (!m_directories.contains(path)) {
        m_directories.insert(path, ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return m_directories.value(path);
}

QString StagedFiles::write(const Models::Font *font, const QString &path, QString *error)
{
    if (!IOManager::Private::isReplaceableTarget(path)) {
        *error = QStringLiteral("not a regular file");
        return QString();
    }
    const QFileInfo target(finalTarget(path));
    QString staged;
    int handle = -1;
    while (handle < 0) {
        staged = QStringLiteral("%1/.%2.%3.part").arg(target.absolutePath(), target.fileName(),
                                                      QString::number(QRandomGenerator::global()->generate(), 36));
        // 0666 less the umask, as a new file gets; an old file's own permissions are set below.
        handle = ::open(QFile::encodeName(staged).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle < 0 && errno != EEXIST) {
            *error = systemError(errno);
            return QString();
        }
    }
    struct stat old = {};
    if (::stat(QFile::encodeName(target.filePath()).constData(), &old) == 0) {
        ::fchmod(handle, old.st_mode & 07777);
    }
    QFile file;
    bool complete = file.open(handle, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
                    && IOManager::FontFileManager::fontToDevice(font, &file) && file.flush();
    if (!complete) {
        *error = file.errorString();
    }
    file.close();
    if (complete && file.error() != QFileDevice::NoError) {
        complete = false;
        *error = file.errorString();
    }
    if (!complete) {
        QFile::remove(staged);
        return QString();
    }
    return staged;
}

void StagedFiles::add(int id, const QString &staged, const QString &target)
{
    m_entries.append(Entry{id, staged, finalTarget(target)});
}

bool StagedFiles::due() const
{
    return !m_entries.isEmpty() && m_sinceCommit.elapsed() >= commitEveryMs;
}

QList<StagedFiles::Outcome> StagedFiles::commit()
{
    QList<Outcome> outcomes;
    QSet<int> used;               // the handles of this commit's directories
    QHash<dev_t, int> syncErrors; // per file system, the error of its one sync
    for (const Entry &entry : qAsConst(m_entries)) {
        const int handle = directoryHandle(QFileInfo(entry.target).absolutePath());
        struct stat status = {};
        if (handle >= 0 && !used.contains(handle) && ::fstat(handle, &status) == 0 && !syncErrors.contains(status.st_dev)) {
            syncErrors.insert(status.st_dev, ::syncfs(handle) == 0 ? 0 : errno);
        }
        used.insert(handle);
    }
    for (const Entry &entry : qAsConst(m_entries)) {
        const int handle = directoryHandle(QFileInfo(entry.target).absolutePath());
        struct stat status = {};
        int error = handle >= 0 && ::fstat(handle, &status) == 0 ? syncErrors.value(status.st_dev) : errno;
        if (error == 0 && ::rename(QFile::encodeName(entry.staged).constData(), QFile::encodeName(entry.target).constData()) != 0) {
            error = errno;
        }
        if (error != 0) {
            QFile::remove(entry.staged);
        }
        outcomes.append(Outcome{entry.id, error == 0 ? QString() : systemError(error)});
    }
    for (const int handle : qAsConst(used)) {
        if (handle >= 0) {
            ::fsync(handle); // the renames themselves
        }
    }
    m_entries.clear();
    m_sinceCommit.restart();
    return outcomes;
}
