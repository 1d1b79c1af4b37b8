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

/*
 * The files of a batch, replaced atomically and durably without a sync per file: each is written
 * to a hidden file beside its target, and commit() syncs the file system once, renames every
 * file over its target, then syncs each directory once. A crash leaves each target old or whole.
 */
class StagedFiles
{
public:
    /**
     * Opens directories, where the files will go, before any is written: a sync reports only the
     * write-back errors that happened while a handle to the file system was open.
     */
    explicit StagedFiles(const QStringList &directories);
    /** Removes the files never committed. */
    ~StagedFiles();
    Q_DISABLE_COPY(StagedFiles)

    /**
     * Writes font into a new hidden file beside path (beside the file it links to, for a link),
     * unsynced, with the permissions that file has (or a new file gets); its path, or empty with the
     * reason in error. Safe on any thread.
     */
    static QString write(const Models::Font *font, const QString &path, QString *error);

    /** Takes a file write() made, to replace target at the next commit; id is the caller's. */
    void add(int id, const QString &staged, const QString &target);
    /** Whether files have waited long enough that their commit is due. */
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
        QString staged;
        QString target;
    };
    int directoryHandle(const QString &directory);

    QList<Entry> m_entries;
    QHash<QString, int> m_directories; // open handles by absolute path; -1 where opening failed
    QElapsedTimer m_sinceCommit;
};

#endif // OFTOOL_STAGEDFILES_H
