#include "samefile.h"

#include "command.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace Cli {

namespace {

bool inodeOf(const QString &path, QPair<quint64, quint64> *inode)
{
    struct stat status = {};
    if (path.isEmpty() || stat(QFile::encodeName(path).constData(), &status) != 0) {
        return false;
    }
    *inode = qMakePair(quint64(status.st_dev), quint64(status.st_ino));
    return true;
}

} // namespace

QString FileSet::resolved(const QString &path) const
{
    const QFileInfo info(path);
    const QString directory = info.absolutePath();
    auto known = m_directories.constFind(directory);
    if (known == m_directories.cend()) {
        const QString canonical = QFileInfo(directory).canonicalFilePath();
        known = m_directories.insert(directory, canonical.isEmpty() ? QDir::cleanPath(directory) : canonical);
    }
    return QDir(*known).filePath(info.fileName());
}

void FileSet::add(const NamedFile &file)
{
    if (file.path.isEmpty()) {
        return;
    }
    m_files.append(file);
    QPair<quint64, quint64> inode;
    if (inodeOf(file.path, &inode)) {
        m_byInode.insert(inode, m_files.size() - 1);
    } else {
        m_byPath.insert(resolved(file.path), m_files.size() - 1);
    }
}

const NamedFile *FileSet::find(const QString &path) const
{
    QPair<quint64, quint64> inode;
    const int index = inodeOf(path, &inode) ? m_byInode.value(inode, -1) : m_byPath.value(resolved(path), -1);
    return index < 0 ? nullptr : &m_files.at(index);
}

int refuseSameFiles(const CommandLine &line, const FileSet &files, const QList<NamedFile> &outputs)
{
    for (const NamedFile &output : outputs) {
        const NamedFile *same = output.path.isEmpty() ? nullptr : files.find(output.path);
        if (same) {
            return line.usageError(QStringLiteral("%1 \"%2\" is the same file as %3 \"%4\"")
                                       .arg(output.option, output.path, same->option, same->path));
        }
    }
    return exitOk;
}

} // namespace Cli
