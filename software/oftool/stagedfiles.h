#ifndef OFTOOL_STAGEDFILES_H
#define OFTOOL_STAGEDFILES_H

#include <QElapsedTimer>
#include <QList>
#include <QString>

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
    StagedFiles();
    /** Removes the files never committed. */
    ~StagedFiles();
    Q_DISABLE_COPY(StagedFiles)

    /**
     * Writes font into a new hidden file beside path, unsynced, with the permissions path has (or a
     * new file gets); its path, or empty with the reason in error. Safe on any thread.
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
    QList<Entry> m_entries;
    QElapsedTimer m_sinceCommit;
};

#endif // OFTOOL_STAGEDFILES_H
