#ifndef FORMATS_STAGEDFILES_H
#define FORMATS_STAGEDFILES_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace Models {
class Font;
}

/** A file written for StagedFiles: unnamed until its commit, or named where the file system has no unnamed files. */
struct StagedFile {
    int handle = -1;     // open, unnamed; -1 for none
    QString path;        // a hidden file beside the destination, for a named one
    QString target;      // the path it replaces, as given to write()
    QString destination; // the file that is replaced: target, or the file a link there names
    qint64 bytes = 0;
    bool isNull() const { return handle < 0 && path.isEmpty(); }
};

/*
 * The files of a batch, replaced atomically and durably without a sync per file: each is written
 * unsynced into its target's directory without a name, and commit() syncs the file system once,
 * names each file and renames it over its target, then syncs each directory once. Files that belong
 * together are added as one group and replaced together. A crash or a kill leaves each target old
 * or whole; a named file it leaves beside one (".NAME.oftool-HOST-PID-XXXX.part") is removed by the next
 * StagedFiles of that machine that opens that directory.
 */
class StagedFiles
{
public:
    /**
     * Opens directories, where the files will go, before any is written: a sync reports only the
     * write-back errors that happened while a handle to the file system was open. Removes the files
     * that a killed process left in them.
     */
    explicit StagedFiles(const QStringList &directories);
    /** Drops the files never committed. */
    ~StagedFiles();
    Q_DISABLE_COPY(StagedFiles)

    /**
     * Writes what content writes to the device it is given, unsynced, into a new file for path: in
     * path's directory (that of the file it names, for a link, followed as QSaveFile does), with the
     * permissions that file has (or a new file gets). Refuses a path that is not a regular file, or
     * that the user may not write. A null file with the reason in error otherwise; content returns
     * false with its reason. Safe on any thread.
     */
    static StagedFile write(const QString &path, const std::function<bool(QIODevice *, QString *)> &content, QString *error);
    /** The same for bytes. */
    static StagedFile write(const QByteArray &bytes, const QString &path, QString *error);
    /** The same for a font, as an OF font file, compressed with gzip when compress is set. */
    static StagedFile write(const Models::Font *font, const QString &path, QString *error, bool compress = false);
    /**
     * The SHA-256 of a file write() made and that is not added yet, in lower-case hexadecimal, read back
     * from it; empty with the reason in error when reading fails. Safe on any thread.
     */
    static QByteArray sha256(const StagedFile &staged, QString *error);
    /** Drops a file write() made that is not added. */
    static void drop(const StagedFile &staged);
    /**
     * Puts a file write() made and that is not added in place at once, without a sync: linked at its
     * destination when nothing is there, else renamed over it. Empty, or the reason when it could not
     * ("not a regular file" for a target that is no longer one to replace), the file then dropped.
     * Safe on any thread. Nothing is durable until the caller syncs the file system (syncfs()).
     */
    static QString place(StagedFile *staged);

    /**
     * Takes files write() made, to replace their targets together at the next commit, in the order
     * given; id is the caller's. A crash between two renames leaves the first files new and the rest
     * old, so the file that describes the others goes last.
     */
    void add(int id, const QList<StagedFile> &group);
    /** Whether files have waited long enough, or enough of them (each holds a descriptor), that their commit is due. */
    bool due() const;

    struct Outcome {
        int id;
        QString error;  // empty when every file of the group is in place
        QString target; // the file that failed, as given to write(), with an error
    };
    /**
     * Replaces the targets of every group added since the last commit, an outcome per group. A group
     * whose files cannot all be named, or one of whose targets is no longer a regular file, replaces
     * none of them.
     */
    QList<Outcome> commit();

private:
    struct Entry {
        int id;
        QList<StagedFile> group;
    };
    int directoryHandle(const QString &directory);

    QList<Entry> m_entries;
    int m_files = 0;                    // in m_entries
    QHash<QString, int> m_directories; // open handles by absolute path; where opening failed, -errno
    QElapsedTimer m_sinceCommit;
};

#endif // FORMATS_STAGEDFILES_H
