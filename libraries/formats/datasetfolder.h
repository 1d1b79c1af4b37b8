#ifndef FORMATS_DATASETFOLDER_H
#define FORMATS_DATASETFOLDER_H

#include "shard.h"
#include "stagedfiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <future>
#include <memory>

/*
 * The folder of a text line dataset, as oftool compose writes it: each sample's files (NAME.png last, so
 * that an image on disk means a whole sample), and metadata.jsonl and gt.txt, which list exactly the
 * samples whose files are in place.
 * A sample's files are staged unnamed on the thread that made them and put in place together; the samples
 * are listed in order once a sync of the file system that began after their files were in place has
 * ended, so that a listed sample is whole even after a crash. The sync runs beside the work. A run into
 * a folder that holds such a dataset continues it: the lists are cut back to the records both hold
 * whole, files of samples not listed (what a killed run can leave) are removed, and the samples listed
 * are kept.
 *
 * A shard of a run keeps lists of its own (metadata.shard-I-of-N.jsonl, gt.shard-I-of-N.txt) and touches
 * only the files of its samples. A shard, and a run that resumes, also keep a journal beside the metadata list: a line
 * per sample put in place and synced, with the size of each of its files. It is METADATA.partial while a run goes
 * and METADATA.sizes once a run has done all its samples; a listed sample counts as done only when the
 * journal names it and its files still have those sizes and have not changed since.
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
        bool listed = false;   // the lists hold its records already: its files are redone in place
    };
    struct Outcome {
        int id;
        QString name;
        QString error; // empty when the sample is in place and listed
    };

    /** The folder at path, for the samples of shard (every sample when it is not sharded). */
    explicit DatasetFolder(const QString &path, const Shards::Shard &shard = Shards::Shard(),
                           const Shards::Range &samples = Shards::Range());
    /** Waits for a sync that runs; removes the files of samples added and never listed. */
    ~DatasetFolder();
    Q_DISABLE_COPY(DatasetFolder)

    /** Before open(): keep the journal, each sample's files named NAME + one of suffixes. */
    void resumeWith(const QStringList &suffixes);
    /** Makes the folder or takes over the dataset in it; false with the reason otherwise. */
    bool open(QString *error);
    /** The samples a run passes over: those listed, or when resuming those whose files the journal shows whole. */
    QSet<QString> done() const { return m_resume ? m_whole : m_listed; }
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
     * Puts the sample's staged files in place, in order, the image last; safe on any thread. A sample the
     * lists hold already must bring the same records: otherwise its files are dropped, the ones there
     * left alone, and false returned with the reason and differs set. False with the reason otherwise,
     * and none of its files left.
     */
    bool place(Sample *sample, QString *error, bool *differs) const;
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
    /**
     * Syncs and lists every sample added, waiting for it. When complete (the run did each of its samples)
     * and every sample was listed, the journal is then renamed to say so.
     */
    QList<Outcome> finish(bool complete);

private:
    bool takeOver(QString *error);
    bool appendLists(const QByteArray &records, const QByteArray &lines, QString *error);
    bool openJournal(QString *error);
    void findWhole(const QStringList &listed);
    void appendJournal(const Sample &sample);
    bool isMine(const QString &number) const;
    void startSync();
    QList<Outcome> listSynced();

    /* Where a listed sample's records stand in the lists. */
    struct Listed {
        qint64 record = 0;
        qint64 recordEnd = 0;
        qint64 gtLine = 0;
        qint64 gtLineEnd = 0;
    };

    QString m_path;
    Shards::Shard m_shard;
    Shards::Range m_samples;
    QString m_metadataName;
    QString m_gtName;
    bool m_resume = false;
    QStringList m_suffixes;
    int m_journal = -1;
    QSet<QString> m_whole;           // listed, with whole files, when resuming
    QHash<QString, Listed> m_redone; // listed, but to be made again, when resuming
    std::unique_ptr<StagedFiles> m_staged;
    int m_metadata = -1;
    int m_gt = -1;
    QSet<QString> m_listed; // when opened
    int m_removed = 0;
    QList<Sample> m_waiting; // placed, for the next sync
    QList<Sample> m_syncing; // placed before the sync that runs began
    std::future<int> m_sync; // that sync: 0 or its errno
    QElapsedTimer m_sinceSync;
    QString m_failure; // the first error; no sample is listed after it
};

#endif // FORMATS_DATASETFOLDER_H
