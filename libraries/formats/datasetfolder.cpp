#include "datasetfolder.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QVector>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// fdatasync() of handle: 0, or its errno; a file system that cannot sync a file is synced whole later (syncfs).
int syncHandle(int handle)
{
    return ::fdatasync(handle) == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
}

// The data of a staged file on disk: 0, or the errno of the failure.
int syncData(const StagedFile &staged)
{
    if (staged.handle >= 0) {
        return syncHandle(staged.handle);
    }
    const int handle = ::open(QFile::encodeName(staged.path).constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        return errno;
    }
    const int error = syncHandle(handle);
    ::close(handle);
    return error;
}

// Placed samples wait at most this long for the sync that lists them, so that a long run lists as it goes.
constexpr qint64 syncEveryMs = 2000;
// Nor more of them, each sync taking a while on a busy file system.
constexpr int syncEverySamples = 256;
// Beyond this many waiting, the next one waits for the sync that runs: the records stay few in memory.
constexpr int mostWaiting = 4096;

const QString partialSuffix = QStringLiteral(".partial");
const QString sizesSuffix = QStringLiteral(".sizes");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

const QRegularExpression &sampleFile()
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+)\\.(png|gt\\.txt|xml|box|boxes\\.png)$"));
    return pattern;
}

bool writeAll(int handle, const QByteArray &bytes, int *error)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(handle, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            *error = written < 0 ? errno : ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

/* The whole lines of a list and the names they list, up to the first line that is cut short or not a record. */
struct Listing {
    QStringList names;
    QVector<qint64> ends; // the offset after each line
};

Listing readListing(const QString &path, bool json)
{
    Listing listing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return listing;
    }
    qint64 offset = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n')) {
            break;
        }
        QString name;
        if (json) {
            name = QJsonDocument::fromJson(line).object().value(QStringLiteral("file_name")).toString();
        } else {
            const int tab = line.indexOf('\t');
            name = tab > 0 ? QString::fromUtf8(line.left(tab)) : QString();
        }
        if (name.isEmpty()) {
            break;
        }
        offset += line.size();
        listing.names.append(name);
        listing.ends.append(offset);
    }
    return listing;
}

/* The sizes of a sample's files as the journal records them (-1 for one it does not name), and when the journal last changed. */
struct Journaled {
    QVector<qint64> sizes; // by the file's suffix
    QDateTime written;
};

// The journal's lines, a later line of a sample replacing an earlier; a line cut short by a kill is no record.
void readJournal(const QString &path, const QStringList &suffixes, QHash<QString, Journaled> *samples)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QDateTime written = QFileInfo(file).lastModified();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const QString name = object.value(QStringLiteral("sample")).toString();
        if (!line.endsWith('\n') || name.isEmpty()) {
            continue;
        }
        Journaled journaled;
        journaled.written = written;
        const QJsonObject files = object.value(QStringLiteral("files")).toObject();
        for (const QString &suffix : suffixes) {
            journaled.sizes.append(qint64(files.value(name + suffix).toDouble(-1)));
        }
        samples->insert(name, journaled);
    }
}

QByteArray readRange(const QString &path, qint64 from, qint64 to)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(from)) {
        return QByteArray();
    }
    return file.read(to - from);
}

} // namespace

DatasetFolder::DatasetFolder(const QString &path, const Shards::Shard &shard, const Shards::Range &samples)
    : m_path(QFileInfo(path).absoluteFilePath())
    , m_shard(shard)
    , m_samples(samples)
    , m_metadataName(Shards::shardPath(QStringLiteral("metadata.jsonl"), shard))
    , m_gtName(Shards::shardPath(QStringLiteral("gt.txt"), shard))
{
}

void DatasetFolder::resumeWith(const QStringList &suffixes)
{
    m_resume = true;
    m_suffixes = suffixes;
}

// Whether a sample file's number is one of this run's samples: a shard leaves the others' alone.
bool DatasetFolder::isMine(const QString &number) const
{
    if (!m_shard.isSharded()) {
        return true;
    }
    bool ok = false;
    const qint64 index = number.toLongLong(&ok, 10);
    return ok && m_samples.contains(index);
}

DatasetFolder::~DatasetFolder()
{
    if (m_sync.valid()) {
        m_sync.wait();
    }
    for (const QList<Sample> *samples : {&m_syncing, &m_waiting}) {
        for (const Sample &sample : *samples) {
            // A sample made again keeps its files: the lists name it; without its journal line it is made again next time.
            if (!sample.listed) {
                remove(sample);
            }
        }
    }
    for (const int handle : {m_metadata, m_gt, m_journal}) {
        if (handle >= 0) {
            ::close(handle);
        }
    }
}

bool DatasetFolder::open(QString *error)
{
    const QFileInfo info(m_path);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("cannot write %1: not a directory").arg(m_path);
        return false;
    }
    if (!QDir().mkpath(m_path)) {
        *error = QStringLiteral("cannot make the directory %1").arg(m_path);
        return false;
    }
    if (!takeOver(error)) {
        return false;
    }
    // Also removes the staged files a killed run left.
    m_staged.reset(new StagedFiles({m_path}));
    const QByteArray metadata = QFile::encodeName(m_path + QLatin1Char('/') + m_metadataName);
    const QByteArray gt = QFile::encodeName(m_path + QLatin1Char('/') + m_gtName);
    m_metadata = ::open(metadata.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    m_gt = m_metadata < 0 ? -1 : ::open(gt.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_metadata < 0 || m_gt < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(QFile::decodeName(m_metadata < 0 ? metadata : gt), systemError(errno));
        return false;
    }
    // A shard keeps the journal whether or not it resumes: its name is what tells manifest-merge a shard was stopped.
    return !(m_resume || m_shard.isSharded()) || openJournal(error);
}

bool DatasetFolder::openJournal(QString *error)
{
    const QString partial = m_path + QLatin1Char('/') + m_metadataName + partialSuffix;
    const QString sizes = m_path + QLatin1Char('/') + m_metadataName + sizesSuffix;
    // The journal of a run that finished goes on as the journal of this one, until this one finishes too.
    if (!QFileInfo::exists(partial) && QFileInfo::exists(sizes) && ::rename(QFile::encodeName(sizes).constData(),
                                                                             QFile::encodeName(partial).constData()) != 0) {
        *error = QStringLiteral("cannot rename %1: %2").arg(sizes, systemError(errno));
        return false;
    }
    m_journal = ::open(QFile::encodeName(partial).constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_journal < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(partial, systemError(errno));
        return false;
    }
    // A line a kill cut short is ended, so that the next one stays whole.
    const off_t size = ::lseek(m_journal, 0, SEEK_END);
    char last = '\n';
    int failure = 0;
    if (size > 0 && ::pread(m_journal, &last, 1, size - 1) == 1 && last != '\n' && !writeAll(m_journal, "\n", &failure)) {
        *error = QStringLiteral("cannot write %1: %2").arg(partial, systemError(failure));
        return false;
    }
    return true;
}

// Of the listed samples, those whose files the journal shows whole; the others are made again, their records kept.
void DatasetFolder::findWhole(const QStringList &listed)
{
    QHash<QString, Journaled> journal;
    readJournal(m_path + QLatin1Char('/') + m_metadataName + sizesSuffix, m_suffixes, &journal);
    readJournal(m_path + QLatin1Char('/') + m_metadataName + partialSuffix, m_suffixes, &journal);
    for (const QString &name : listed) {
        const auto journaled = journal.constFind(name);
        bool whole = journaled != journal.cend() && !m_suffixes.isEmpty();
        for (int i = 0; whole && i < m_suffixes.size(); ++i) {
            // A file changed after its line was written is not the one the line records.
            const QFileInfo file(m_path + QLatin1Char('/') + name + m_suffixes.at(i));
            whole = file.isFile() && file.size() == journaled->sizes.at(i) && file.lastModified() <= journaled->written;
        }
        if (whole) {
            m_whole.insert(name);
        }
    }
}

bool DatasetFolder::takeOver(QString *error)
{
    const QString metadataPath = m_path + QLatin1Char('/') + m_metadataName;
    const QString gtPath = m_path + QLatin1Char('/') + m_gtName;
    const bool listed = QFileInfo::exists(metadataPath) || QFileInfo::exists(gtPath);
    if (listed) {
        const Listing records = readListing(metadataPath, true);
        const Listing lines = readListing(gtPath, false);
        const int both = qMin(records.names.size(), lines.names.size());
        for (int i = 0; i < both; ++i) {
            if (records.names.at(i) != lines.names.at(i)) {
                *error = QStringLiteral("%1: %2 and %3 do not list the same samples (line %4); not continuing this dataset")
                             .arg(m_path, m_metadataName, m_gtName).arg(i + 1);
                return false;
            }
        }
        // Appends are made in this order, so the records both hold whole are the samples put in place.
        if ((QFileInfo::exists(metadataPath) && !QFile::resize(metadataPath, both ? records.ends.at(both - 1) : 0))
            || (QFileInfo::exists(gtPath) && !QFile::resize(gtPath, both ? lines.ends.at(both - 1) : 0))) {
            *error = QStringLiteral("%1: cannot cut %2 and %3 back to the samples on disk").arg(m_path, m_metadataName, m_gtName);
            return false;
        }
        QStringList names;
        for (int i = 0; i < both; ++i) {
            QString name = records.names.at(i);
            name.chop(4); // ".png"
            m_listed.insert(name);
            names.append(name);
        }
        if (m_resume) {
            findWhole(names);
            for (int i = 0; i < both; ++i) {
                if (!m_whole.contains(names.at(i))) {
                    m_redone.insert(names.at(i), Listed{i ? records.ends.at(i - 1) : 0, records.ends.at(i), i ? lines.ends.at(i - 1) : 0,
                                                        lines.ends.at(i)});
                }
            }
        }
    }
    QDirIterator entries(m_path, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const QString fileName = entries.fileName();
        const QRegularExpressionMatch sample = sampleFile().match(fileName);
        if (!sample.hasMatch() || !isMine(sample.captured(1))) {
            continue;
        }
        if (!listed) {
            *error = QStringLiteral("%1 holds %2 and no %3: not a dataset oftool compose made; choose another directory")
                         .arg(m_path, fileName, m_metadataName);
            return false;
        }
        if (!m_listed.contains(sample.captured(1))) {
            if (QFile::remove(entries.filePath())) {
                ++m_removed;
            }
        }
    }
    return true;
}

bool DatasetFolder::stage(const QString &fileName, const QByteArray &bytes, Staged *staged, QString *error) const
{
    const QString target = m_path + QLatin1Char('/') + fileName;
    QString reason;
    *staged = StagedFiles::write(bytes, target, &reason);
    if (staged->isNull()) {
        *error = QStringLiteral("cannot write %1: %2").arg(target, reason);
        return false;
    }
    return true;
}

void DatasetFolder::drop(const Staged &staged)
{
    StagedFiles::drop(staged);
}

bool DatasetFolder::place(Sample *sample, QString *error, bool *differs) const
{
    *differs = false;
    const auto listed = m_redone.constFind(sample->name);
    if (listed != m_redone.cend()) {
        // Its records stay where they are in the lists, so they must be the ones this run would write.
        if (readRange(m_path + QLatin1Char('/') + m_metadataName, listed->record, listed->recordEnd) != sample->record
            || readRange(m_path + QLatin1Char('/') + m_gtName, listed->gtLine, listed->gtLineEnd) != sample->gtLine) {
            for (const Staged &staged : qAsConst(sample->files)) {
                drop(staged);
            }
            sample->files.clear();
            *error = QStringLiteral("cannot make %1 again: %2 lists it as made with other settings").arg(sample->name, m_metadataName);
            *differs = true;
            return false;
        }
        sample->listed = true;
        // A journal line of an earlier run may vouch for this sample's files until its own sync: what
        // replaces them must be on disk before their names are.
        for (const Staged &staged : qAsConst(sample->files)) {
            if (const int failure = syncData(staged)) {
                *error = QStringLiteral("cannot write %1: %2").arg(staged.target, systemError(failure));
                for (const Staged &file : qAsConst(sample->files)) {
                    drop(file);
                }
                sample->files.clear();
                return false;
            }
        }
    }
    for (int i = 0; i < sample->files.size(); ++i) {
        const QString reason = StagedFiles::place(&sample->files[i]);
        if (!reason.isEmpty()) {
            *error = QStringLiteral("cannot write %1: %2").arg(sample->files.at(i).target, reason);
            // The folder's own names: a name that is a link leads out of the folder, to a file that is not ours to remove.
            for (int k = 0; k < i; ++k) {
                QFile::remove(sample->files.at(k).target);
            }
            for (int k = i + 1; k < sample->files.size(); ++k) {
                drop(sample->files.at(k));
            }
            sample->files.clear();
            return false;
        }
    }
    return true;
}

void DatasetFolder::remove(const Sample &sample)
{
    for (const Staged &staged : sample.files) {
        QFile::remove(staged.target); // not the file a link there leads to, outside the folder
    }
}

void DatasetFolder::add(const Sample &sample)
{
    if (m_waiting.isEmpty() && !m_sync.valid()) {
        m_sinceSync.restart();
    }
    m_waiting.append(sample);
}

void DatasetFolder::appendJournal(const Sample &sample)
{
    QJsonObject files;
    for (const Staged &staged : sample.files) {
        files.insert(QFileInfo(staged.target).fileName(), double(staged.bytes));
    }
    QJsonObject line;
    line.insert(QStringLiteral("sample"), sample.name);
    line.insert(QStringLiteral("files"), files);
    // A line that cannot be written costs only the sample's being made again by the next run.
    int failure = 0;
    writeAll(m_journal, QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n', &failure);
}

bool DatasetFolder::appendLists(const QByteArray &records, const QByteArray &lines, QString *error)
{
    struct stat metadataBefore = {};
    struct stat gtBefore = {};
    int failure = 0;
    if (::fstat(m_metadata, &metadataBefore) != 0 || ::fstat(m_gt, &gtBefore) != 0) {
        failure = errno;
    } else if (writeAll(m_metadata, records, &failure) && writeAll(m_gt, lines, &failure)) {
        return true;
    } else {
        // A list cut short would name a sample it does not hold whole.
        if (::ftruncate(m_metadata, metadataBefore.st_size) != 0 || ::ftruncate(m_gt, gtBefore.st_size) != 0) {
            failure = errno;
        }
    }
    *error = QStringLiteral("cannot write %1 and %2: %3").arg(m_metadataName, m_gtName, systemError(failure));
    return false;
}

void DatasetFolder::startSync()
{
    m_syncing = m_waiting;
    m_waiting.clear();
    const int handle = m_metadata;
    m_sync = std::async(std::launch::async, [handle] { return ::syncfs(handle) == 0 ? 0 : errno; });
    m_sinceSync.restart();
}

QList<DatasetFolder::Outcome> DatasetFolder::listSynced()
{
    const int syncError = m_sync.get();
    QList<Outcome> outcomes;
    for (const Sample &sample : qAsConst(m_syncing)) {
        if (m_failure.isEmpty() && syncError != 0) {
            m_failure = QStringLiteral("cannot write %1: %2").arg(sample.files.first().target, systemError(syncError));
        }
        // Listed once in place and synced; a sample the lists cannot take is removed, and so are those after it
        // (but for one made again, which the lists name already).
        QString error = m_failure;
        if (error.isEmpty() && !sample.listed && !appendLists(sample.record, sample.gtLine, &error)) {
            m_failure = error;
        }
        if (error.isEmpty()) {
            if (m_journal >= 0) {
                appendJournal(sample);
            }
        } else if (!sample.listed) {
            remove(sample);
        }
        outcomes.append(Outcome{sample.id, sample.name, error});
    }
    m_syncing.clear();
    return outcomes;
}

QList<DatasetFolder::Outcome> DatasetFolder::commit()
{
    QList<Outcome> outcomes;
    if (m_sync.valid()
        && (m_waiting.size() >= mostWaiting || m_sync.wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
        outcomes = listSynced();
    }
    if (!m_sync.valid() && !m_waiting.isEmpty() && (m_waiting.size() >= syncEverySamples || m_sinceSync.elapsed() >= syncEveryMs)) {
        startSync();
    }
    return outcomes;
}

QList<DatasetFolder::Outcome> DatasetFolder::finish(bool complete)
{
    QList<Outcome> outcomes = m_sync.valid() ? listSynced() : QList<Outcome>();
    if (!m_waiting.isEmpty()) {
        startSync();
        outcomes += listSynced();
    }
    if (complete && m_failure.isEmpty() && m_journal >= 0) {
        const QByteArray journal = QFile::encodeName(m_path + QLatin1Char('/') + m_metadataName);
        ::rename((journal + partialSuffix.toUtf8()).constData(), (journal + sizesSuffix.toUtf8()).constData());
    }
    return outcomes;
}
