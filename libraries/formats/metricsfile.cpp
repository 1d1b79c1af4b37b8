#include "metricsfile.h"

#include "glyphmetrics.h"
#include "rendersettings.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

namespace Cli {

namespace {

// Far more than the metrics of the largest character set take; beyond it the file is not ours.
constexpr qint64 maxMetricsBytes = 256LL * 1024 * 1024;

QJsonObject point(const QPoint &p)
{
    return {{QStringLiteral("x"), p.x()}, {QStringLiteral("y"), p.y()}};
}

QJsonValue box(const QRect &rect)
{
    if (rect.isNull()) {
        return QJsonValue::Null;
    }
    return QJsonObject{{QStringLiteral("x"), rect.x()}, {QStringLiteral("y"), rect.y()},
                       {QStringLiteral("width"), rect.width()}, {QStringLiteral("height"), rect.height()}};
}

QJsonObject letterObject(const LetterGeometry &letter)
{
    return {
        {QStringLiteral("char"), letter.letter},
        {QStringLiteral("advance"), letter.advance},
        {QStringLiteral("leftBearing"), letter.leftBearing},
        {QStringLiteral("ink"), box(letter.ink)},
        {QStringLiteral("image"), QJsonObject{{QStringLiteral("width"), letter.image.width()},
                                              {QStringLiteral("height"), letter.image.height()}}},
        {QStringLiteral("origin"), point(letter.origin)},
        {QStringLiteral("baseline"), letter.origin.y()},
    };
}

QJsonObject metricsObject(const QString &fontPath, const RenderSettings &settings, const FontGeometry &geometry, qint64 fontBytes,
                          const QByteArray &fontSha256)
{
    static const char *const hinting[] = {"default", "none", "slight", "full"};
    QJsonArray letters;
    for (const LetterGeometry &letter : geometry.letters) {
        letters.append(letterObject(letter));
    }
    QJsonArray kerning;
    for (const KerningPair &pair : geometry.kerning) {
        kerning.append(QJsonObject{{QStringLiteral("left"), pair.left}, {QStringLiteral("right"), pair.right},
                                   {QStringLiteral("adjustment"), pair.adjustment}});
    }
    const bool ink = settings.fit == RenderSettings::Fit::Ink;
    return {
        {QStringLiteral("file"), QFileInfo(fontPath).fileName()},
        {QStringLiteral("fontBytes"), double(fontBytes)},
        {QStringLiteral("fontSha256"), QString::fromLatin1(fontSha256)},
        {QStringLiteral("fit"), ink ? QStringLiteral("ink") : QStringLiteral("line")},
        {QStringLiteral("padding"), ink ? settings.padding : 0},
        {QStringLiteral("antialias"), settings.antialias},
        {QStringLiteral("hinting"), QLatin1String(hinting[int(settings.hinting)])},
        {QStringLiteral("anchors"), settings.anchors == RenderSettings::Anchors::Pixels ? QStringLiteral("pixels") : QStringLiteral("percent")},
        {QStringLiteral("pixelSize"), geometry.pixelSize},
        {QStringLiteral("ascent"), geometry.ascent},
        {QStringLiteral("descent"), geometry.descent},
        {QStringLiteral("lineSpacing"), geometry.lineSpacing},
        {QStringLiteral("spaceAdvance"), geometry.spaceAdvance},
        {QStringLiteral("letters"), letters},
        {QStringLiteral("kerning"), geometry.kerningMeasured ? QJsonValue(kerning) : QJsonValue::Null},
    };
}

} // namespace

QString metricsPath(const QString &fontPath)
{
    return fontPath + QStringLiteral(".metrics.json");
}

QByteArray metricsText(const QString &fontPath, const RenderSettings &settings, const FontGeometry &geometry, qint64 fontBytes,
                       const QByteArray &fontSha256)
{
    return QJsonDocument(metricsObject(fontPath, settings, geometry, fontBytes, fontSha256)).toJson(QJsonDocument::Indented);
}

bool readMetricsFile(const QString &path, TextMetrics *metrics, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > maxMetricsBytes) {
        *error = QStringLiteral("%1: more than %2 bytes, not a metrics file").arg(path).arg(maxMetricsBytes);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(maxMetricsBytes), &parseError);
    const QJsonObject root = document.object();
    const QJsonValue letters = root.value(QStringLiteral("letters"));
    if (parseError.error != QJsonParseError::NoError || !root.value(QStringLiteral("lineSpacing")).isDouble() || !letters.isArray()) {
        *error = QStringLiteral("%1: not a metrics file (%2)")
                     .arg(path, parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                             : QStringLiteral("no lineSpacing or letters"));
        return false;
    }
    metrics->ascent = root.value(QStringLiteral("ascent")).toDouble();
    metrics->descent = root.value(QStringLiteral("descent")).toDouble();
    metrics->pixelSize = root.value(QStringLiteral("pixelSize")).toInt();
    metrics->lineSpacing = root.value(QStringLiteral("lineSpacing")).toDouble();
    const QJsonValue fontBytes = root.value(QStringLiteral("fontBytes"));
    const double bytes = fontBytes.toDouble(-1);
    metrics->fontBytes = fontBytes.isDouble() && bytes >= 0 && bytes <= 9e15 && bytes == std::floor(bytes) ? qint64(bytes) : -1;
    metrics->fontSha256 = root.value(QStringLiteral("fontSha256")).toString().toLatin1();
    for (const QJsonValue &value : letters.toArray()) {
        const QJsonObject letter = value.toObject();
        const QJsonObject origin = letter.value(QStringLiteral("origin")).toObject();
        metrics->letters.insert(letter.value(QStringLiteral("char")).toString(),
                                {letter.value(QStringLiteral("advance")).toDouble(), origin.value(QStringLiteral("x")).toInt(),
                                 origin.value(QStringLiteral("y")).toInt()});
    }
    for (const QJsonValue &value : root.value(QStringLiteral("kerning")).toArray()) {
        const QJsonObject pair = value.toObject();
        const TextMetrics::Pair kerned = {pair.value(QStringLiteral("left")).toString(), pair.value(QStringLiteral("right")).toString(),
                                          pair.value(QStringLiteral("adjustment")).toDouble()};
        metrics->kerning.insert(kerned.left + kerned.right, kerned.adjustment);
        metrics->pairs.append(kerned);
    }
    return true;
}

QString fontMismatch(const TextMetrics &metrics, const QString &fontPath)
{
    const QString prefix = QStringLiteral("does not describe %1: ").arg(fontPath);
    if (metrics.fontBytes < 0 || metrics.fontSha256.isEmpty()) {
        return prefix + QStringLiteral("it records no size and hash of its font file");
    }
    QFile font(fontPath);
    if (!font.open(QIODevice::ReadOnly)) {
        return prefix + font.errorString();
    }
    if (font.size() != metrics.fontBytes) {
        return prefix + QStringLiteral("made for a font file of %1 bytes, not %2").arg(metrics.fontBytes).arg(font.size());
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&font)) {
        return prefix + font.errorString();
    }
    if (hash.result().toHex() != metrics.fontSha256) {
        return prefix + QStringLiteral("made for a font file of the same size with other bytes (SHA-256)");
    }
    return QString();
}

bool readMetricsOf(const QString &fontPath, TextMetrics *metrics, QString *error)
{
    const QString path = metricsPath(fontPath);
    if (!readMetricsFile(path, metrics, error)) {
        return false;
    }
    const QString mismatch = fontMismatch(*metrics, fontPath);
    if (!mismatch.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(path, mismatch);
        return false;
    }
    return true;
}

} // namespace Cli
