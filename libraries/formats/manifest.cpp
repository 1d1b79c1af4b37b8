#include "manifest.h"

#include "batchjob.h"
#include "charset.h"
#include "metricsfile.h"

#include "iomanager/atomicfile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cerrno>

namespace {

QByteArray recordOf(const BatchJob &job, const BatchJobResult &result)
{
    const bool fromFile = !job.face.file.isEmpty();
    QJsonArray missing;
    for (const uint codePoint : job.missing) {
        missing.append(Charset::codePointName(codePoint));
    }
    QStringList letters = job.letters;
    letters.append(QStringLiteral(" "));
    letters.sort(); // in file order: UTF-16 units compared as numbers
    QJsonObject object;
    object.insert(QStringLiteral("file"), job.path);
    object.insert(QStringLiteral("name"), job.fontName);
    object.insert(QStringLiteral("family"), job.face.family);
    object.insert(QStringLiteral("style"), job.face.style);
    object.insert(QStringLiteral("fontFile"), fromFile ? QJsonValue(job.face.file) : QJsonValue::Null);
    object.insert(QStringLiteral("faceIndex"), fromFile ? QJsonValue(job.face.faceIndex) : QJsonValue::Null);
    object.insert(QStringLiteral("pointSize"), job.pixels ? QJsonValue::Null : QJsonValue(job.size));
    object.insert(QStringLiteral("pixelSize"), result.pixelSize);
    object.insert(QStringLiteral("dpi"), job.dpi);
    object.insert(QStringLiteral("requestedCount"), job.requested.size());
    object.insert(QStringLiteral("missing"), missing);
    object.insert(QStringLiteral("missingCount"), job.missing.size());
    object.insert(QStringLiteral("letterCount"), letters.size());
    object.insert(QStringLiteral("pictureCount"), letters.size());
    object.insert(QStringLiteral("letters"), QJsonArray::fromStringList(letters));
    object.insert(QStringLiteral("bytes"), double(result.bytes));
    object.insert(QStringLiteral("metricsFile"), job.settings.metrics ? QJsonValue(MetricsFile::metricsPath(job.path)) : QJsonValue::Null);
    object.insert(QStringLiteral("qtVersion"), QString::fromLatin1(qVersion()));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void readLines(const QString &path, QHash<QString, Manifest::Record> *records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QDateTime written = QFileInfo(file).lastModified();
    // A line cut short by a kill is no record; neither is anything else that is not one.
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.value(QStringLiteral("file")).isString()) {
            records->insert(object.value(QStringLiteral("file")).toString(), Manifest::Record{line, written});
        }
    }
}

} // namespace

QString Manifest::journalPath(const QString &path)
{
    return path + QStringLiteral(".partial");
}

QHash<QString, Manifest::Record> Manifest::readRecords(const QString &path)
{
    QHash<QString, Record> records;
    readLines(path, &records);
    // A journal older than the manifest is one that a later run, finished, superseded.
    const QFileInfo manifest(path);
    const QFileInfo journal(journalPath(path));
    if (!manifest.exists() || journal.lastModified() >= manifest.lastModified()) {
        readLines(journalPath(path), &records);
    }
    return records;
}

bool Manifest::keepIfComplete(const BatchJob &job, const Record &record)
{
    const QJsonObject object = QJsonDocument::fromJson(record.line).object();
    BatchJobResult recorded;
    recorded.pixelSize = object.value(QStringLiteral("pixelSize")).toInt();
    recorded.bytes = qint64(object.value(QStringLiteral("bytes")).toDouble());
    // The whole record, not only the file's size: a file of other characters, sizes or Qt is not this job's.
    if (recordOf(job, recorded) != record.line) {
        return false;
    }
    // A file changed after its record was written is not the one recorded.
    const QFileInfo file(job.path);
    if (!file.isFile() || file.size() != recorded.bytes || file.lastModified() > record.written) {
        return false;
    }
    MetricsFile::TextMetrics metrics;
    QString error;
    if (job.settings.metrics && !MetricsFile::readMetricsOf(job.path, &metrics, &error)) {
        return false;
    }
    m_lines.insert(job.place, record.line);
    return true;
}

bool Manifest::openJournal(const QString &path, QString *error)
{
    m_journal.setFileName(journalPath(path));
    if (!m_journal.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = m_journal.errorString();
        return false;
    }
    return true;
}

void Manifest::add(const BatchJob &job, const BatchJobResult &result)
{
    const QByteArray line = recordOf(job, result) + '\n';
    m_lines.insert(job.place, line.left(line.size() - 1));
    if (m_journal.isOpen()) {
        // Unbuffered, so that a kill right after leaves the line whole.
        m_journal.write(line);
        m_journal.flush();
    }
}

bool Manifest::save(const QString &path, QString *error)
{
    QByteArray lines;
    for (const QByteArray &line : qAsConst(m_lines)) {
        lines += line;
        lines += '\n';
    }
    QSaveFile file(path);
    if (!IOManager::isReplaceableTarget(path)) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (!file.open(QIODevice::WriteOnly) || file.write(lines) != lines.size()
        || !IOManager::commitComplete(file)) {
        *error = IOManager::writeErrorText(file.errorString(), errno);
        return false;
    }
    if (m_journal.isOpen()) {
        m_journal.remove();
    }
    return true;
}
