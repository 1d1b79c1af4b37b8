#ifndef OFTOOL_STAGEDFILES_H
#define OFTOOL_STAGEDFILES_H

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace Models {
class Font;
}

/** A file written for StagedFiles: unnamed until its commit, or named where the file system has no unnamed files. */
struct StagedFile {
    int handle = -1; // open, unnamed; -1 for none
    QString path;    // a hidden file beside the target, for a named one
    qint64 bytes = 0;
    bool isNull() const { return handle < 0 && path.isEmpty(); }
};

/*
 * The files of a batch, replaced atomically and durably without a sync per file: each is written
 * unsynced into its target's directory without a name, and commit() syncs the file system once,
 * names each file and renames it over its target, then syncs each directory once. A crash or a kill
 * leaves each target old or whole, and no file beside it.
 */
class StagedFiles
{
public:
    /**
     * Opens directories, where the files will go, before any is written: a sync reports only the
     * write-back errors that happened while a handle to the file system was open.
     */
    explicit StagedFiles(const QStringList &directories);
    /** Drops the files never committed. */
    ~StagedFiles();
    Q_DISABLE_COPY(StagedFiles)

    /**
     * Writes font, unsynced, into a new file in path's directory (that of the file it links to, for
     * a link), with the permissions that file has (or a new file gets); a null file with the reason in
     * error otherwise. Safe on any thread.
     */
    static StagedFile write(const Models::Font *font, const QString &path, QString *error);

    /** Takes a file write() made, to replace target at the next commit; id is the caller's. */
    void add(int id, const StagedFile &staged, const QString &target);
    /** Whether files have waited long enough, or enough of them (each holds a descriptor), that their commit is due. */
    bool due() const;

    struct Outcome {
        int id;
        QString error; // empty when the target now holds the new file
    };
    /** Replaces the targets of every file added since the last commit. */
    QList<Outcome> commit();

private:
    struct Entry {
        int id;
        StagedFile staged;
        QString target;
    };
    int directoryHandle(const QString &directory);

    QList<Entry> m_entries;
    QHash<QString, int> m_directories; // open handles by absolute path; -1 where opening failed
    QElapsedTimer m_sinceCommit;
};

#endif // OFTOOL_STAGEDFILES_H
