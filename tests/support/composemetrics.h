#ifndef TESTS_COMPOSEMETRICS_H
#define TESTS_COMPOSEMETRICS_H

#include "placement.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

/* The metrics file oftool render --metrics writes, as the composition takes it; false when it cannot be read. */
inline bool readComposeMetrics(const QString &path, Compose::FontMetrics *metrics)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    metrics->ascent = root.value(QStringLiteral("ascent")).toDouble();
    metrics->descent = root.value(QStringLiteral("descent")).toDouble();
    metrics->lineSpacing = root.value(QStringLiteral("lineSpacing")).toDouble();
    metrics->spaceAdvance = root.value(QStringLiteral("spaceAdvance")).toDouble(-1);
    for (const QJsonValue &value : root.value(QStringLiteral("letters")).toArray()) {
        const QJsonObject letter = value.toObject();
        const QJsonObject origin = letter.value(QStringLiteral("origin")).toObject();
        metrics->letters.insert(letter.value(QStringLiteral("char")).toString(),
                                {letter.value(QStringLiteral("advance")).toDouble(), origin.value(QStringLiteral("x")).toInt(),
                                 origin.value(QStringLiteral("y")).toInt()});
    }
    for (const QJsonValue &value : root.value(QStringLiteral("kerning")).toArray()) {
        const QJsonObject pair = value.toObject();
        metrics->kerning.insert(qMakePair(pair.value(QStringLiteral("left")).toString(), pair.value(QStringLiteral("right")).toString()),
                                pair.value(QStringLiteral("adjustment")).toDouble());
    }
    return root.value(QStringLiteral("letters")).isArray();
}

#endif // TESTS_COMPOSEMETRICS_H
