#ifndef OFTOOL_MANIFEST_H
#define OFTOOL_MANIFEST_H

#include <QByteArray>
#include <QString>

struct Job;
struct JobResult;

/*
 * A record per file written, as JSON Lines. Field names shared with "oftool info --json" mean the
 * same: file, name, letterCount, pictureCount, letters. metricsFile names the metrics written beside the
 * file, or is null.
 */
class Manifest
{
public:
    void add(const Job &job, const JobResult &result);
    /** Writes every record to path, replacing it only once complete; false with a message otherwise. */
    bool save(const QString &path, QString *error) const;

private:
    QByteArray m_lines;
};

#endif // OFTOOL_MANIFEST_H
