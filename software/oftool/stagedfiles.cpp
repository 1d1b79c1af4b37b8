#include "stagedfiles.h"

#include "iomanager/fontfilemanager.h"
#include "iomanager/savefile_p.h"

#include <QByteArray>
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
// Nor are more kept waiting, each with an open descriptor.
constexpr int commitEveryFiles = 64;

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

// A name for a file beside target that nothing else has.
QByteArray hiddenName(const QFileInfo &target)
{
    return QFile::encodeName(QStringLiteral("%1/.%2.%3.part").arg(target.absolutePath(), target.fileName(),
                                                                  QString::number(QRandomGenerator::global()->generate(), 36)));
}

// A new file for target's content: unnamed where the file system allows, else hidden beside it.
StagedFile createFile(const QFileInfo &target, QString *error)
{
    StagedFile staged;
    // 0666 less the umask, as a new file gets.
    staged.handle = ::open(QFile::encodeName(target.absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (staged.handle >= 0) {
        return staged;
    }
    while (staged.handle < 0) {
        const QByteArray name = hiddenName(target);
        staged.handle = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (staged.handle < 0 && errno != EEXIST) {
            *error = systemError(errno);
            return StagedFile();
        }
        staged.path = QFile::decodeName(name);
    }
    return staged;
}

void drop(const StagedFile &staged)
{
    if (staged.handle >= 0) {
        ::close(staged.handle);
    }
    if (!staged.path.isEmpty()) {
        QFile::remove(staged.path);
    }
}

// Gives an unnamed file a hidden name beside target; 0, or the error.
int name(StagedFile *staged, const QFileInfo &target)
{
    if (staged->path.isEmpty()) {
        const QByteArray proc = "/proc/self/fd/" + QByteArray::number(staged->handle);
        for (;;) {
            const QByteArray hidden = hiddenName(target);
            if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, hidden.constData(), AT_SYMLINK_FOLLOW) == 0) {
                staged->path = QFile::decodeName(hidden);
                break;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
    }
    ::close(staged->handle);
    staged->handle = -1;
    return 0;
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
        drop(entry.staged);
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

StagedFile StagedFiles::write(const Models::Font *font, const QString &path, QString *error)
{
    if (!IOManager::Private::isReplaceableTarget(path)) {
        *error = QStringLiteral("not a regular file");
        return StagedFile();
    }
    const QFileInfo target(finalTarget(path));
    StagedFile staged = createFile(target, error);
    if (staged.isNull()) {
        return staged;
    }
    struct stat old = {};
    if (::stat(QFile::encodeName(target.filePath()).constData(), &old) == 0) {
        ::fchmod(staged.handle, old.st_mode & 07777);
    }
    QFile file;
    bool complete = file.open(staged.handle, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
                    && IOManager::FontFileManager::fontToDevice(font, &file) && file.flush();
    staged.bytes = file.size();
    if (!complete) {
        *error = file.errorString();
        drop(staged);
        return StagedFile();
    }
    return staged;
}

void StagedFiles::add(int id, const StagedFile &staged, const QString &target)
{
    m_entries.append(Entry{id, staged, finalTarget(target)});
}

bool StagedFiles::due() const
{
    return !m_entries.isEmpty() && (m_sinceCommit.elapsed() >= commitEveryMs || m_entries.size() >= commitEveryFiles);
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
    for (Entry &entry : m_entries) {
        const QFileInfo target(entry.target);
        const int handle = directoryHandle(target.absolutePath());
        struct stat status = {};
        int error = handle >= 0 && ::fstat(handle, &status) == 0 ? syncErrors.value(status.st_dev) : errno;
        if (error == 0) {
            error = name(&entry.staged, target);
        }
        if (error == 0 && ::rename(QFile::encodeName(entry.staged.path).constData(), QFile::encodeName(entry.target).constData()) != 0) {
            error = errno;
        }
        if (error != 0) {
            drop(entry.staged);
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
