#include "manifest.h"

#include "charset.h"
#include "metricsfile.h"
#include "renderjob.h"

#include "iomanager/atomicfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

void Manifest::add(const Job &job, const JobResult &result)
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
    object.insert(QStringLiteral("metricsFile"), job.settings.metrics ? QJsonValue(Cli::metricsPath(job.path)) : QJsonValue::Null);
    object.insert(QStringLiteral("qtVersion"), QString::fromLatin1(qVersion()));
    m_lines += QJsonDocument(object).toJson(QJsonDocument::Compact);
    m_lines += '\n';
}

bool Manifest::save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!IOManager::isReplaceableTarget(path)) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (!file.open(QIODevice::WriteOnly) || file.write(m_lines) != m_lines.size()
        || !IOManager::commitComplete(file)) {
        *error = file.errorString();
        return false;
    }
    return true;
}
