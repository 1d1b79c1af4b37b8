#ifndef OFTOOL_SAMEFILE_H
#define OFTOOL_SAMEFILE_H

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace Cli {

class CommandLine;

/* A file a command reads or writes, with how its command line names it ("--font-file", "IN", ...). */
struct NamedFile {
    QString option;
    QString path;
};

/**
 * Files a run reads or writes, to tell whether another path is one of them: an existing file by
 * device and inode (so a link or a second name is caught), one yet to be written by its absolute
 * path with the links of its directory resolved.
 */
class FileSet
{
public:
    void add(const NamedFile &file);
    /** The file of the set that path names; null when none. */
    const NamedFile *find(const QString &path) const;

private:
    QString resolved(const QString &path) const;

    QList<NamedFile> m_files;
    QHash<QPair<quint64, quint64>, int> m_byInode;
    QHash<QString, int> m_byPath;
    mutable QHash<QString, QString> m_directories; // canonical directories, looked up once each
};

/**
 * exitOk when no output is a file of files; otherwise the status of the usage error printed,
 * which names both. An empty path is none.
 */
int refuseSameFiles(const CommandLine &line, const FileSet &files, const QList<NamedFile> &outputs);

} // namespace Cli

#endif // OFTOOL_SAMEFILE_H
