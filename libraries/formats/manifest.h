#ifndef FORMATS_MANIFEST_H
#define FORMATS_MANIFEST_H

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QString>

struct BatchJob;
struct BatchJobResult;

/*
 * A record per file written, as JSON Lines, in the order of the run's plan. Field names shared with
 * "oftool info --json" mean the same: file, name, letterCount, pictureCount, letters. metricsFile names the
 * metrics written beside the file, or is null.
 */
class Manifest
{
public:
    /** A record as read back, and when the file holding it last changed. */
    struct Record {
        QByteArray line; // without its newline
        QDateTime written;
    };

    /** The journal of a run that may be resumed: path + ".partial", a line per file as soon as it is in place. */
    static QString journalPath(const QString &path);
    /**
     * The records of path and then of its journal unless the journal is older, by output file; a later record of a
     * file replaces an earlier.
     */
    static QHash<QString, Record> readRecords(const QString &path);
    /** Whether record describes job as written, and its file and metrics file are still whole; if so, keeps it. */
    bool keepIfComplete(const BatchJob &job, const Record &record);

    /** Appends every record from now on to the journal of path, keeping what it holds; false with a message otherwise. */
    bool openJournal(const QString &path, QString *error);
    void add(const BatchJob &job, const BatchJobResult &result);
    /** Writes every record to path, replacing it only once complete, then removes the journal; false with a message otherwise. */
    bool save(const QString &path, QString *error);

private:
    QMap<int, QByteArray> m_lines; // by the job's place in the plan
    QFile m_journal;
};

#endif // FORMATS_MANIFEST_H
