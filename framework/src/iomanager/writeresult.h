#ifndef IOMANAGER_WRITERESULT_H
#define IOMANAGER_WRITERESULT_H

#include "quillmeremakefont_export.h"

#include <QString>

namespace IOManager {

/**
 * What became of writing a file: written, or what failed and why. The functions that hand one back
 * print nothing; those without one print a fixed line made from it.
 */
class QMF_EXPORT WriteResult
{
public:
    enum Kind {
        Written, ///< every byte is in the file at path()
        // Writing; an old file at path() is kept as it was.
        CannotOpen,  ///< the target is not a regular file, or the new file cannot be made beside it
        CannotWrite, ///< writing, flushing, syncing or replacing the old file failed
        // The anchor update reading the file it rewrites; nothing is written.
        CannotLoad,  ///< not a regular file, or it cannot be read
        TooLarge,    ///< too large for the anchor update
        CannotParse, ///< not a font file that the anchor update can rewrite
        NoLetter,    ///< the file holds no letter at all
    };

    /** What the path and its directory showed when writing failed. */
    enum Cause {
        UnknownCause,          ///< written, not a write failure, or nothing there explains it
        IsDirectory,           ///< the target is a directory (systemError() EISDIR)
        NotRegularFile,        ///< the target is a FIFO, a device or another special file
        DirectoryMissing,      ///< directory() does not exist (systemError() as access(2) gave it)
        DirectoryNotDirectory, ///< directory() is not a directory (ENOTDIR)
        DirectoryNotWritable,  ///< no file may be made in directory() (systemError() as access(2) gave it)
        FileNotWritable,       ///< the target exists and may not be written (systemError() as access(2) gave it)
        DeviceFull,            ///< no space left on the device of directory() (ENOSPC)
        LinkLoop,              ///< the target is a symbolic link that leads round in a loop (ELOOP)
    };

    /** Written, with an empty path. */
    WriteResult() = default;

    static WriteResult written(const QString &path);
    /**
     * A failure of kind at path. For CannotOpen and CannotWrite the cause is found now, by looking at
     * path and its directory, so make it right after the failure. detail is the failed call's own text,
     * such as QSaveFile::errorString(); it may be empty.
     */
    static WriteResult failed(Kind kind, const QString &path, const QString &detail = QString());

    bool isWritten() const { return m_kind == Written; }
    Kind kind() const { return m_kind; }
    Cause cause() const { return m_cause; }
    /** The file as the writer was given it. */
    QString path() const { return m_path; }
    /** The absolute path of the directory the file is (or would be) in. */
    QString directory() const;
    /** The errno value that goes with the cause; 0 when none does. */
    int systemError() const { return m_systemError; }
    QString detail() const { return m_detail; }

    /**
     * Why, in words, never empty for a failure: "is a directory", "the directory /a/b does not exist",
     * "permission denied in the directory /a", "no space left on the device", "a symbolic link that
     * leads round in a loop", "the file could not be written completely", "too large for the anchor
     * update", ...; empty when written.
     */
    QString reason() const;

private:
    Kind m_kind = Written;
    Cause m_cause = UnknownCause;
    QString m_path;
    QString m_detail;
    int m_systemError = 0;
};

} // namespace IOManager

#endif // IOMANAGER_WRITERESULT_H
