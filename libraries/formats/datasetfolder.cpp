#include "datasetfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString metadataName = QStringLiteral("metadata.jsonl");
const QString gtName = QStringLiteral("gt.txt");

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

} // namespace

DatasetFolder::DatasetFolder(const QString &path)
    : m_path(QFileInfo(path).absoluteFilePath())
{
}

DatasetFolder::~DatasetFolder()
{
    m_staged.reset(); // drops the files never committed
    for (const int handle : {m_metadata, m_gt}) {
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
    const QByteArray metadata = QFile::encodeName(m_path + QLatin1Char('/') + metadataName);
    const QByteArray gt = QFile::encodeName(m_path + QLatin1Char('/') + gtName);
    m_metadata = ::open(metadata.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    m_gt = m_metadata < 0 ? -1 : ::open(gt.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_metadata < 0 || m_gt < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(QFile::decodeName(m_metadata < 0 ? metadata : gt), systemError(errno));
        return false;
    }
    return true;
}

bool DatasetFolder::takeOver(QString *error)
{
    const QString metadataPath = m_path + QLatin1Char('/') + metadataName;
    const QString gtPath = m_path + QLatin1Char('/') + gtName;
    const bool listed = QFileInfo::exists(metadataPath) || QFileInfo::exists(gtPath);
    if (listed) {
        const Listing records = readListing(metadataPath, true);
        const Listing lines = readListing(gtPath, false);
        const int both = qMin(records.names.size(), lines.names.size());
        for (int i = 0; i < both; ++i) {
            if (records.names.at(i) != lines.names.at(i)) {
                *error = QStringLiteral("%1: %2 and %3 do not list the same samples (line %4); not continuing this dataset")
                             .arg(m_path, metadataName, gtName).arg(i + 1);
                return false;
            }
        }
        // Appends are made in this order, so the records both hold whole are the samples put in place.
        if ((QFileInfo::exists(metadataPath) && !QFile::resize(metadataPath, both ? records.ends.at(both - 1) : 0))
            || (QFileInfo::exists(gtPath) && !QFile::resize(gtPath, both ? lines.ends.at(both - 1) : 0))) {
            *error = QStringLiteral("%1: cannot cut %2 and %3 back to the samples on disk").arg(m_path, metadataName, gtName);
            return false;
        }
        for (int i = 0; i < both; ++i) {
            QString name = records.names.at(i);
            name.chop(4); // ".png"
            m_listed.insert(name);
        }
    }
    QDirIterator entries(m_path, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const QString fileName = entries.fileName();
        const QRegularExpressionMatch sample = sampleFile().match(fileName);
        if (!listed && sample.hasMatch()) {
            *error = QStringLiteral("%1 holds %2 and no %3: not a dataset oftool compose made; choose another directory")
                         .arg(m_path, fileName, metadataName);
            return false;
        }
        if (sample.hasMatch() && !m_listed.contains(sample.captured(1))) {
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

void DatasetFolder::add(const Sample &sample)
{
    m_staged->add(sample.id, sample.files);
    m_pending.insert(sample.id, sample);
}

bool DatasetFolder::due() const
{
    return m_staged->due();
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
    *error = QStringLiteral("cannot write %1 and %2: %3").arg(metadataName, gtName, systemError(failure));
    return false;
}

QList<DatasetFolder::Outcome> DatasetFolder::commit()
{
    QList<Outcome> outcomes;
    QString listError;
    for (const StagedFiles::Outcome &placed : m_staged->commit()) {
        const Sample sample = m_pending.take(placed.id);
        QString error = placed.error.isEmpty() ? listError : QStringLiteral("cannot write %1: %2").arg(placed.target, placed.error);
        // Listed once in place; a sample the lists cannot take is removed, and so are those after it.
        if (error.isEmpty() && !appendLists(sample.record, sample.gtLine, &error)) {
            listError = error;
        }
        if (error.isEmpty()) {
            m_listed.insert(sample.name);
        } else {
            // New files, or ones of unlisted samples that open() removed: none is anyone else's.
            for (const Staged &staged : sample.files) {
                QFile::remove(staged.target);
            }
        }
        outcomes.append(Outcome{sample.id, sample.name, error});
    }
    return outcomes;
}
