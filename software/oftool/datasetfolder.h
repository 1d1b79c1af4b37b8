#ifndef OFTOOL_DATASETFOLDER_H
#define OFTOOL_DATASETFOLDER_H

#include "stagedfiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QString>

#include <future>
#include <memory>

/*
 * The folder oftool compose writes: each sample's files (NAME.png last, so that an image on disk means a
 * whole sample), and metadata.jsonl and gt.txt, which list exactly the samples whose files are in place.
 * A sample's files are staged unnamed and put in place together on the thread that made them; the samples
 * are listed in order once a sync of the file system that began after their files were in place has
 * ended, so that a listed sample is whole even after a crash. The sync runs beside the work. A run into
 * a folder that holds such a dataset continues it: the lists are cut back to the records both hold
 * whole, files of samples not listed (what a killed run can leave) are removed, and the samples listed
 * are kept.
 */
class DatasetFolder
{
public:
    using Staged = StagedFile;
    struct Sample {
        int id = 0;
        QString name;
        QList<Staged> files; // the image last
        QByteArray record;     // its metadata.jsonl line
        QByteArray gtLine;     // its gt.txt line
    };
    struct Outcome {
        int id;
        QString name;
        QString error; // empty when the sample is in place and listed
    };

    explicit DatasetFolder(const QString &path);
    /** Waits for a sync that runs; removes the files of samples added and never listed. */
    ~DatasetFolder();
    Q_DISABLE_COPY(DatasetFolder)

    /** Makes the folder or takes over the dataset in it; false with the reason otherwise. */
    bool open(QString *error);
    /**
     * Whether a sample of this name was listed when the folder was opened; the run's own are not
     * remembered, so that memory does not grow with the samples.
     */
    bool isListed(const QString &name) const { return m_listed.contains(name); }
    int listedCount() const { return m_listed.size(); }
    QSet<QString> listed() const { return m_listed; }
    /** How many files of unlisted samples open() removed. */
    int removedCount() const { return m_removed; }

    /** Stages bytes as the folder's fileName; safe on any thread. False with the reason otherwise. */
    bool stage(const QString &fileName, const QByteArray &bytes, Staged *staged, QString *error) const;
    /** Removes a staged file that will not be placed. */
    static void drop(const Staged &staged);
    /**
     * Puts the sample's staged files in place, in order, the image last; safe on any thread. False with
     * the reason otherwise, and none of its files left.
     */
    static bool place(Sample *sample, QString *error);
    /** Removes the files of a placed sample that will not be listed. */
    static void remove(const Sample &sample);

    /** Takes a placed sample, to be listed after the next sync; samples are added in the order of their ids. */
    void add(const Sample &sample);
    /**
     * Lists the samples whose sync has ended, in the order added, and starts a sync of those added since
     * when enough wait or they have waited long enough; waits for a sync only when too many wait. An
     * outcome per sample; after the first that fails, every later sample fails with it and its files are
     * removed.
     */
    QList<Outcome> commit();
    /** Syncs and lists every sample added, waiting for it. */
    QList<Outcome> finish();

private:
    bool takeOver(QString *error);
    bool appendLists(const QByteArray &records, const QByteArray &lines, QString *error);
    void startSync();
    QList<Outcome> listSynced();

    QString m_path;
    std::unique_ptr<StagedFiles> m_staged;
    int m_metadata = -1;
    int m_gt = -1;
    QSet<QString> m_listed; // when opened
    int m_removed = 0;
    QList<Sample> m_waiting;   // placed, for the next sync
    QList<Sample> m_syncing;   // placed before the sync that runs began
    std::future<int> m_sync;   // that sync: 0 or its errno
    QElapsedTimer m_sinceSync;
    QString m_failure;         // the first error; no sample is listed after it
};

#endif // OFTOOL_DATASETFOLDER_H
