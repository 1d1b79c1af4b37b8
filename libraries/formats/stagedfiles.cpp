#include "stagedfiles.h"

#include "gzipwriter.h"

#include "iomanager/fontfilemanager.h"
#include "iomanager/atomicfile.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Files wait at most this long for their commit, so that a long batch shows its files as it goes.
constexpr qint64 commitEveryMs = 2000;
// Nor are more kept waiting, each with an open descriptor.
constexpr int commitEveryFiles = 64;
// What marks a named staged file, between the target's name and the owner's host and process id.
const QByteArray partMarker = ".oftool-";
const QByteArray partSuffix = ".part";
// The target's name and the host's in a staged file's name are cut to these, so that the whole name fits NAME_MAX.
constexpr int maxNameBytes = 180;
constexpr int maxHostBytes = 40;
// Another machine's staged file is left alone unless it is this old: its process cannot be asked.
constexpr qint64 foreignLeftoverSeconds = 24 * 60 * 60;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

/*
 * The file a path names through its links, which is replaced rather than the link, as QSaveFile does
 * (even when it does not exist yet); empty when the links go round in a loop.
 */
QString finalTarget(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink(); ++depth) {
        if (depth == 128) {
            return QString();
        }
        info.setFile(info.symLinkTarget());
    }
    return info.filePath();
}

// This machine's name as staged files carry it: a process id means something only on its own machine.
const QByteArray &hostName()
{
    static const QByteArray name = [] {
        char buffer[256] = {};
        QByteArray host = ::gethostname(buffer, sizeof buffer - 1) == 0 ? QByteArray(buffer) : QByteArray();
        host.truncate(maxHostBytes);
        for (char &c : host) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') {
                c = '_'; // '-' parts the name's fields
            }
        }
        return host.isEmpty() ? QByteArray("localhost") : host;
    }();
    return name;
}

// A name for a file beside target that nothing else has, that says which machine and process it belongs to.
QByteArray hiddenName(const QFileInfo &target)
{
    QString name = target.fileName();
    while (QFile::encodeName(name).size() > maxNameBytes) {
        name.chop(name.size() > 1 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    return QFile::encodeName(target.absolutePath()) + "/." + QFile::encodeName(name) + partMarker + hostName() + '-'
           + QByteArray::number(::getpid()) + '-' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + partSuffix;
}

/* Whose a staged file is, from its name. */
struct Owner {
    pid_t pid = 0;     // 0: not a name hiddenName() made
    QByteArray host;   // empty in the names of versions that did not say
};

// ".NAME.oftool-HOST-PID-RANDOM.part", or ".NAME.oftool-PID-RANDOM.part" as earlier versions named them.
Owner ownerOf(const QByteArray &name)
{
    if (!name.startsWith('.') || !name.endsWith(partSuffix)) {
        return Owner();
    }
    const int marker = name.lastIndexOf(partMarker);
    if (marker < 1) {
        return Owner();
    }
    const QByteArray tail = name.mid(marker + partMarker.size(), name.size() - marker - partMarker.size() - partSuffix.size());
    const int randomDash = tail.lastIndexOf('-');
    const int pidDash = randomDash > 0 ? tail.lastIndexOf('-', randomDash - 1) : -1;
    const QByteArray pid = tail.mid(pidDash + 1, randomDash - pidDash - 1);
    const QByteArray random = tail.mid(randomDash + 1);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto base36 = [&](char c) { return digit(c) || (c >= 'a' && c <= 'z'); };
    if (randomDash < 1 || pid.isEmpty() || pid.size() > 9 || random.isEmpty() || pidDash == 0
        || !std::all_of(pid.cbegin(), pid.cend(), digit) || !std::all_of(random.cbegin(), random.cend(), base36)) {
        return Owner();
    }
    return Owner{pid_t(pid.toInt()), pidDash > 0 ? tail.left(pidDash) : QByteArray()};
}

/*
 * Removes the staged files that a process of ours left in the directory open at handle when it died:
 * regular files of this user whose name says a process of this machine that is gone. A process that
 * lives on, or whose state cannot be asked (another user's), keeps its files; so does one of another
 * machine sharing the directory, for a day.
 */
void removeLeftovers(int handle)
{
    const int listing = ::dup(handle);
    DIR *directory = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!directory) {
        if (listing >= 0) {
            ::close(listing);
        }
        return;
    }
    while (const dirent *entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        const Owner owner = ownerOf(name);
        struct stat status = {};
        if (owner.pid == 0 || ::fstatat(handle, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid()) {
            continue;
        }
        const bool here = owner.host.isEmpty() || owner.host == hostName();
        if (here ? owner.pid != ::getpid() && ::kill(owner.pid, 0) != 0 && errno == ESRCH
                 : ::time(nullptr) - status.st_mtime > foreignLeftoverSeconds) {
            ::unlinkat(handle, entry->d_name, 0);
        }
    }
    ::closedir(directory);
}

// A new file for target's content: unnamed where the file system allows, else hidden beside it.
StagedFile createFile(const QFileInfo &target, QString *error)
{
    StagedFile staged;
    // 0666 less the umask, as a new file gets.
    staged.handle = ::open(QFile::encodeName(target.absolutePath()).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (staged.handle >= 0) {
        return staged;
    }
    while (staged.handle < 0) {
        const QByteArray name = hiddenName(target);
        staged.handle = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (staged.handle < 0 && errno != EEXIST) {
            *error = systemError(errno);
            return StagedFile();
        }
        staged.path = QFile::decodeName(name);
    }
    return staged;
}

// Gives an unnamed file a hidden name beside its destination; 0, or the error.
int name(StagedFile *staged)
{
    if (staged->path.isEmpty()) {
        const QByteArray proc = "/proc/self/fd/" + QByteArray::number(staged->handle);
        for (;;) {
            const QByteArray hidden = hiddenName(QFileInfo(staged->destination));
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

/* Writes to a file descriptor through a buffer of its own, so that a failure keeps its errno. */
class DescriptorDevice : public QIODevice
{
public:
    explicit DescriptorDevice(int handle)
        : m_handle(handle)
    {
        QIODevice::open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }
    qint64 written() const { return m_written; }
    bool failed() const { return m_failed; }

    /** Writes what the buffer holds; false with the error string set. */
    bool flushBuffer()
    {
        for (qint64 done = 0; done < m_buffer.size();) {
            const ssize_t result = ::write(m_handle, m_buffer.constData() + done, size_t(m_buffer.size() - done));
            if (result < 0 && errno == EINTR) {
                continue;
            }
            if (result <= 0) {
                setErrorString(systemError(result < 0 ? errno : EIO));
                m_failed = true;
                return false;
            }
            done += result;
        }
        m_written += m_buffer.size();
        m_buffer.clear();
        return true;
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        constexpr int bufferBytes = 1 << 16;
        for (qint64 done = 0; done < size;) {
            const int part = int(qMin<qint64>(size - done, bufferBytes - m_buffer.size()));
            m_buffer.append(data + done, part);
            done += part;
            if (m_buffer.size() >= bufferBytes && !flushBuffer()) {
                return -1;
            }
        }
        return size;
    }

private:
    int m_handle;
    QByteArray m_buffer;
    qint64 m_written = 0;
    bool m_failed = false;
};

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
        for (const StagedFile &staged : entry.group) {
            drop(staged);
        }
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
        const int handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (handle >= 0) {
            removeLeftovers(handle);
        }
        m_directories.insert(path, handle >= 0 ? handle : -errno);
    }
    return m_directories.value(path);
}

StagedFile StagedFiles::write(const QString &path, const std::function<bool(QIODevice *, QString *)> &content, QString *error)
{
    if (!IOManager::isReplaceableTarget(path)) {
        *error = QStringLiteral("not a regular file");
        return StagedFile();
    }
    const QString destination = finalTarget(path);
    if (destination.isEmpty()) {
        *error = systemError(ELOOP);
        return StagedFile();
    }
    const QFileInfo target(destination);
    const QByteArray encoded = QFile::encodeName(target.absoluteFilePath());
    // QSaveFile refuses a file the user may not write, though its directory would let it be replaced.
    if (target.exists() && ::access(encoded.constData(), W_OK) != 0) {
        *error = systemError(errno);
        return StagedFile();
    }
    StagedFile staged = createFile(target, error);
    if (staged.isNull()) {
        return staged;
    }
    staged.target = path;
    staged.destination = target.absoluteFilePath();
    struct stat old = {};
    if (::stat(encoded.constData(), &old) == 0) {
        ::fchmod(staged.handle, old.st_mode & 07777);
    }
    DescriptorDevice device(staged.handle);
    QString why;
    if (!content(&device, &why) || !device.flushBuffer()) {
        *error = device.failed() ? device.errorString() : why;
        drop(staged);
        return StagedFile();
    }
    staged.bytes = device.written();
    return staged;
}

StagedFile StagedFiles::write(const QByteArray &bytes, const QString &path, QString *error)
{
    return write(path, [&](QIODevice *device, QString *why) {
        const bool written = device->write(bytes) == bytes.size();
        *why = device->errorString();
        return written;
    }, error);
}

StagedFile StagedFiles::write(const Models::Font *font, const QString &path, QString *error, bool compress)
{
    const std::function<bool(QIODevice *, QString *)> content = [font](QIODevice *device, QString *why) {
        const bool written = IOManager::FontFileManager::fontToDevice(font, device);
        *why = device->errorString();
        return written;
    };
    return write(path, compress ? GzipWriter::compressed(content) : content, error);
}

QByteArray StagedFiles::sha256(const StagedFile &staged, QString *error)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (off_t offset = 0;;) {
        const ssize_t result = ::pread(staged.handle, buffer.data(), size_t(buffer.size()), offset);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0) {
            *error = systemError(errno);
            return QByteArray();
        }
        if (result == 0) {
            return hash.result().toHex();
        }
        hash.addData(QByteArray::fromRawData(buffer.constData(), int(result)));
        offset += result;
    }
}

void StagedFiles::drop(const StagedFile &staged)
{
    if (staged.handle >= 0) {
        ::close(staged.handle);
    }
    if (!staged.path.isEmpty()) {
        QFile::remove(staged.path);
    }
}

QString StagedFiles::place(StagedFile *staged)
{
    int error = 0;
    if (staged->path.isEmpty()) {
        // A new file needs no hidden name: linking fails rather than replace what is there.
        const QByteArray proc = "/proc/self/fd/" + QByteArray::number(staged->handle);
        if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, QFile::encodeName(staged->destination).constData(), AT_SYMLINK_FOLLOW) == 0) {
            ::close(staged->handle);
            staged->handle = -1;
            return QString();
        }
        error = errno == EEXIST ? 0 : errno;
    }
    if (error == 0) {
        error = name(staged);
    }
    if (error == 0 && !IOManager::isReplaceableTarget(staged->destination)) {
        error = -1;
    }
    if (error == 0 && ::rename(QFile::encodeName(staged->path).constData(), QFile::encodeName(staged->destination).constData()) != 0) {
        error = errno;
    }
    if (error == 0) {
        return QString();
    }
    drop(*staged);
    return error == -1 ? QStringLiteral("not a regular file") : systemError(error);
}

void StagedFiles::add(int id, const QList<StagedFile> &group)
{
    m_entries.append(Entry{id, group});
    m_files += group.size();
}

bool StagedFiles::due() const
{
    return !m_entries.isEmpty() && (m_sinceCommit.elapsed() >= commitEveryMs || m_files >= commitEveryFiles);
}

QList<StagedFiles::Outcome> StagedFiles::commit()
{
    QList<Outcome> outcomes;
    QSet<int> used;               // the handles of this commit's directories
    QHash<dev_t, int> syncErrors; // per file system, the error of its one sync
    for (const Entry &entry : qAsConst(m_entries)) {
        for (const StagedFile &staged : entry.group) {
            const int handle = directoryHandle(QFileInfo(staged.destination).absolutePath());
            struct stat status = {};
            if (handle >= 0 && !used.contains(handle) && ::fstat(handle, &status) == 0 && !syncErrors.contains(status.st_dev)) {
                syncErrors.insert(status.st_dev, ::syncfs(handle) == 0 ? 0 : errno);
            }
            used.insert(handle);
        }
    }
    for (Entry &entry : m_entries) {
        // Every file of the group named, and every target still one to replace, before any is renamed.
        int error = 0;
        QString failed;
        for (StagedFile &staged : entry.group) {
            const int handle = directoryHandle(QFileInfo(staged.destination).absolutePath());
            struct stat status = {};
            error = handle < 0 ? -handle : ::fstat(handle, &status) == 0 ? syncErrors.value(status.st_dev) : errno;
            if (error == 0) {
                error = name(&staged);
            }
            if (error == 0 && !IOManager::isReplaceableTarget(staged.destination)) {
                error = -1;
            }
            if (error != 0) {
                failed = staged.target;
                break;
            }
        }
        for (int i = 0; error == 0 && i < entry.group.size(); ++i) {
            const StagedFile &staged = entry.group.at(i);
            if (::rename(QFile::encodeName(staged.path).constData(), QFile::encodeName(staged.destination).constData()) != 0) {
                error = errno;
                failed = staged.target;
                entry.group = entry.group.mid(i);
            }
        }
        if (error != 0) {
            for (const StagedFile &staged : qAsConst(entry.group)) {
                drop(staged);
            }
        }
        const QString reason = error == -1 ? QStringLiteral("not a regular file") : error != 0 ? systemError(error) : QString();
        outcomes.append(Outcome{entry.id, reason, failed});
    }
    for (const int handle : qAsConst(used)) {
        if (handle >= 0) {
            ::fsync(handle); // the renames themselves
        }
    }
    m_entries.clear();
    m_files = 0;
    m_sinceCommit.restart();
    return outcomes;
}
