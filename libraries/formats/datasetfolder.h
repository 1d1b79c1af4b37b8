#ifndef FORMATS_DATASETFOLDER_H
#define FORMATS_DATASETFOLDER_H

#include "stagedfiles.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

/*
 * The folder of a text line dataset, as oftool compose writes it: each sample's files (NAME.png last, so
 * that an image on disk means a whole sample), and metadata.jsonl and gt.txt, which list exactly the
 * samples whose files are in place.
 * A sample's files are staged as one group of StagedFiles and put in place with the others of a commit;
 * a sample is listed once its files are in place. A run into a folder that holds such a dataset continues
 * it: the lists are cut back to the records both hold whole, files of samples not listed (what a killed
 * run can leave) are removed, and the samples listed are kept.
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
    ~DatasetFolder();
    Q_DISABLE_COPY(DatasetFolder)

    /** Makes the folder or takes over the dataset in it; false with the reason otherwise. */
    bool open(QString *error);
    /** Whether a sample of this name is listed already. */
    bool isListed(const QString &name) const { return m_listed.contains(name); }
    int listedCount() const { return m_listed.size(); }
    QSet<QString> listed() const { return m_listed; }
    /** How many files of unlisted samples open() removed. */
    int removedCount() const { return m_removed; }

    /** Stages bytes as the folder's fileName; safe on any thread. False with the reason otherwise. */
    bool stage(const QString &fileName, const QByteArray &bytes, Staged *staged, QString *error) const;
    /** Removes a staged file that will not be committed. */
    static void drop(const Staged &staged);

    void add(const Sample &sample);
    /** Whether the added samples have waited long enough, or are enough, for their commit. */
    bool due() const;
    /** Puts the added samples in place and lists them, in the order added. */
    QList<Outcome> commit();

private:
    bool takeOver(QString *error);
    bool appendLists(const QByteArray &records, const QByteArray &lines, QString *error);

    QString m_path;
    std::unique_ptr<StagedFiles> m_staged;
    int m_metadata = -1;
    int m_gt = -1;
    QSet<QString> m_listed;
    int m_removed = 0;
    QHash<int, Sample> m_pending; // by id, until their commit
};

#endif // FORMATS_DATASETFOLDER_H
