#include "metricsfile.h"

#include "glyphmetrics.h"
#include "rendersettings.h"
#include "textencoding.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>

namespace MetricsFile {

namespace {

// Far more than the metrics of the largest character set take; beyond it the file is not ours.
constexpr qint64 maxMetricsBytes = 256LL * 1024 * 1024;
// Where a metrics file that oftool wrote holds its font file's size and hash.
constexpr qint64 headBytes = 4096;

// Lengths in a metrics file, in pixels: far beyond any font's, and small enough that sums of them stay ints.
constexpr double maxLength = 65536;

/*
 * Reads the numbers of a metrics file, each within a range, and remembers the first that is not, as "KEY is
 * VALUE, not ...": rounding 1e300 or NaN to an int is undefined, and a glyph 3e9 pixels away helps nobody.
 */
class Numbers
{
public:
    qreal length(const QJsonValue &value, const QString &key, double low = -maxLength)
    {
        if (value.isUndefined() || value.isNull()) {
            return 0;
        }
        const double number = value.toDouble(qQNaN());
        if (!(number >= low && number <= maxLength)) {
            refuse(value, key, QStringLiteral("a number from %1 to %2").arg(low).arg(maxLength));
            return 0;
        }
        return number;
    }
    int whole(const QJsonValue &value, const QString &key, double low = -maxLength)
    {
        const double number = length(value, key, low);
        if (number != std::floor(number)) {
            refuse(value, key, QStringLiteral("a whole number"));
        }
        return int(number);
    }
    const QString &problem() const { return m_problem; }

private:
    void refuse(const QJsonValue &value, const QString &key, const QString &expected)
    {
        if (m_problem.isEmpty()) {
            const QString text = value.isDouble() ? QString::number(value.toDouble())
                                                  : QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
            m_problem = QStringLiteral("%1 is %2, not %3").arg(key, text.left(40), expected);
        }
    }

    QString m_problem;
};

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
    const QJsonDocument document = QJsonDocument::fromJson(TextEncoding::readAtMost(&file, maxMetricsBytes), &parseError);
    const QJsonObject root = document.object();
    const QJsonValue letters = root.value(QStringLiteral("letters"));
    if (parseError.error != QJsonParseError::NoError || !root.value(QStringLiteral("lineSpacing")).isDouble() || !letters.isArray()) {
        *error = QStringLiteral("%1: not a metrics file (%2)")
                     .arg(path, parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                             : QStringLiteral("no lineSpacing or letters"));
        return false;
    }
    Numbers numbers;
    metrics->ascent = numbers.length(root.value(QStringLiteral("ascent")), QStringLiteral("ascent"));
    metrics->descent = numbers.length(root.value(QStringLiteral("descent")), QStringLiteral("descent"));
    metrics->pixelSize = numbers.whole(root.value(QStringLiteral("pixelSize")), QStringLiteral("pixelSize"), 0);
    metrics->lineSpacing = numbers.length(root.value(QStringLiteral("lineSpacing")), QStringLiteral("lineSpacing"));
    const QJsonValue spaceAdvance = root.value(QStringLiteral("spaceAdvance"));
    metrics->spaceAdvance = spaceAdvance.isUndefined() || spaceAdvance.isNull()
                                ? -1
                                : numbers.length(spaceAdvance, QStringLiteral("spaceAdvance"));
    const QJsonValue fontBytes = root.value(QStringLiteral("fontBytes"));
    const double bytes = fontBytes.toDouble(-1);
    metrics->fontBytes = fontBytes.isDouble() && bytes >= 0 && bytes <= 9e15 && bytes == std::floor(bytes) ? qint64(bytes) : -1;
    metrics->fontSha256 = root.value(QStringLiteral("fontSha256")).toString().toLatin1();
    const QJsonArray letterList = letters.toArray();
    for (int i = 0; i < letterList.size(); ++i) {
        const QJsonObject letter = letterList.at(i).toObject();
        const QJsonObject origin = letter.value(QStringLiteral("origin")).toObject();
        const QString key = QStringLiteral("letters[%1].").arg(i);
        const TextMetrics::Letter placed = {numbers.length(letter.value(QStringLiteral("advance")), key + QStringLiteral("advance")),
                                            numbers.whole(origin.value(QStringLiteral("x")), key + QStringLiteral("origin.x")),
                                            numbers.whole(origin.value(QStringLiteral("y")), key + QStringLiteral("origin.y"))};
        metrics->letters.insert(letter.value(QStringLiteral("char")).toString(), placed);
    }
    const QJsonArray pairList = root.value(QStringLiteral("kerning")).toArray();
    for (int i = 0; i < pairList.size(); ++i) {
        const QJsonObject pair = pairList.at(i).toObject();
        const TextMetrics::Pair kerned = {
            pair.value(QStringLiteral("left")).toString(), pair.value(QStringLiteral("right")).toString(),
            numbers.length(pair.value(QStringLiteral("adjustment")), QStringLiteral("kerning[%1].adjustment").arg(i))};
        metrics->kerning.insert(kerned.left + kerned.right, kerned.adjustment);
        metrics->pairs.append(kerned);
    }
    if (!numbers.problem().isEmpty()) {
        *error = QStringLiteral("%1: not a metrics file (%2)").arg(path, numbers.problem());
        return false;
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
    // The file's own size and hash, near its top, tell first whether it is worth reading whole: a large file
    // that does not belong to the font costs no more than its first bytes.
    QFile file(path);
    TextMetrics recorded; // what the head says, once checked against the font
    if (file.open(QIODevice::ReadOnly) && file.size() > headBytes) {
        const QByteArray head = file.read(headBytes);
        const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("\n {4}\"fontBytes\": (\\d{1,15}),\n"))
                                                 .match(QString::fromLatin1(head));
        const QRegularExpressionMatch hash = QRegularExpression(QStringLiteral("\n {4}\"fontSha256\": \"([0-9a-f]{64})\",\n"))
                                                 .match(QString::fromLatin1(head));
        recorded.fontBytes = size.hasMatch() ? size.captured(1).toLongLong() : -1;
        recorded.fontSha256 = hash.captured(1).toLatin1();
        const QString mismatch = fontMismatch(recorded, fontPath);
        if (!mismatch.isEmpty()) {
            *error = QStringLiteral("%1: %2").arg(path, mismatch);
            return false;
        }
    }
    file.close();
    if (!readMetricsFile(path, metrics, error)) {
        return false;
    }
    // The font is hashed once: again only when the whole file records other than its head.
    const bool checked = !recorded.fontSha256.isEmpty() && recorded.fontBytes == metrics->fontBytes
                         && recorded.fontSha256 == metrics->fontSha256;
    const QString mismatch = checked ? QString() : fontMismatch(*metrics, fontPath);
    if (!mismatch.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(path, mismatch);
        return false;
    }
    return true;
}

} // namespace MetricsFile
