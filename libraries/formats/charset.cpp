#include "charset.h"
#include "textencoding.h"

#include "models/codepoint.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace Charset {

namespace {

constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
// A corpus is read for the letters it holds, which are few; its size is bounded by memory alone.
constexpr qint64 maxCorpusBytes = 256 * 1024 * 1024;

// What an OF font file can carry as a letter: no controls, surrogates or noncharacters, which XML refuses.
bool isUsable(uint codePoint, QString *why)
{
    if (codePoint > 0x10FFFF) {
        *why = QStringLiteral("beyond U+10FFFF");
    } else if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)) {
        *why = QStringLiteral("a control character");
    } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
        *why = QStringLiteral("a surrogate");
    } else if ((codePoint & 0xFFFE) == 0xFFFE || (codePoint >= 0xFDD0 && codePoint <= 0xFDEF)) {
        *why = QStringLiteral("a noncharacter");
    } else {
        return true;
    }
    return false;
}

class Collector
{
public:
    explicit Collector(QVector<uint> *codePoints)
        : m_codePoints(codePoints)
        , m_seen(codePoints->cbegin(), codePoints->cend())
    {
    }

    bool add(uint codePoint, QString *error)
    {
        if (codePoint == ' ' || m_seen.contains(codePoint)) {
            return true; // the blank space letter is always added on its own
        }
        if (m_codePoints->size() >= maxCharacters) {
            *error = QStringLiteral("more than %1 characters").arg(maxCharacters);
            return false;
        }
        m_seen.insert(codePoint);
        m_codePoints->append(codePoint);
        return true;
    }

private:
    QVector<uint> *m_codePoints;
    QSet<uint> m_seen;
};

// The text of a UTF-8 file of at most maxBytes.
FileRead readText(const QString &path, qint64 maxBytes, QString *text, QString *error)
{
    const QFileInfo info(path);
    // Opening a FIFO waits for a writer; a device may never end.
    if (info.exists() && !info.isFile() && !info.isDir()) {
        *error = QStringLiteral("cannot read %1: not a regular file").arg(path);
        return FileRead::Unreadable;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return FileRead::Unreadable;
    }
    const QByteArray bytes = TextEncoding::readAtMost(&file, maxBytes + 1);
    if (bytes.size() > maxBytes) {
        *error = QStringLiteral("%1 is larger than %2 bytes").arg(path, QString::number(maxBytes));
        return FileRead::Refused;
    }
    if (!TextEncoding::decodeUtf8(bytes, text)) {
        *error = QStringLiteral("%1 is not valid UTF-8").arg(path);
        return FileRead::Refused;
    }
    return FileRead::Done;
}

} // namespace

FileRead readClusters(const QString &path, QStringList *clusters, QVector<uint> *codePoints, QString *error)
{
    QString text;
    const FileRead read = readText(path, maxCorpusBytes, &text, error);
    if (read != FileRead::Done) {
        return read;
    }
    Collector collector(codePoints);
    QSet<QString> seen;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (int start = 0, end = finder.toNextBoundary(); end > start; start = end, end = finder.toNextBoundary()) {
        const QString cluster = text.mid(start, end - start);
        const QVector<uint> points = cluster.toUcs4();
        if (seen.contains(cluster)
            || std::all_of(points.cbegin(), points.cend(), [](uint c) { return QChar::isSpace(c) || c == 0xFEFF; })) {
            continue;
        }
        for (const uint codePoint : points) {
            QString why;
            if (!isUsable(codePoint, &why)) {
                *error = QStringLiteral("%1 holds %2, which is %3").arg(path, codePointName(codePoint), why);
                return FileRead::Refused;
            }
            if (!collector.add(codePoint, &why)) {
                *error = QStringLiteral("%1 holds %2").arg(path, why);
                return FileRead::Refused;
            }
        }
        if (clusters->size() >= maxCharacters) {
            *error = QStringLiteral("%1 holds more than %2 letters").arg(path).arg(maxCharacters);
            return FileRead::Refused;
        }
        seen.insert(cluster);
        clusters->append(cluster);
    }
    return FileRead::Done;
}

QStringList lettersWithout(const QStringList &letters, const QVector<uint> &leaveOut)
{
    const QSet<uint> left(leaveOut.cbegin(), leaveOut.cend());
    QStringList kept;
    for (const QString &letter : letters) {
        const QVector<uint> points = letter.toUcs4();
        if (std::none_of(points.cbegin(), points.cend(), [&left](uint c) { return left.contains(c); })) {
            kept.append(letter);
        }
    }
    return kept;
}

bool parseCodePoint(QString text, uint *codePoint)
{
    text = text.trimmed();
    int base = 10;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("u+"), Qt::CaseInsensitive)) {
        text = text.mid(2);
        base = 16;
    }
    if (text.isEmpty() || text.size() > 8 || text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-'))) {
        return false;
    }
    bool ok = false;
    *codePoint = text.toUInt(&ok, base);
    return ok;
}

QString codePointName(uint codePoint)
{
    return Models::codePointName(codePoint);
}

bool parseList(const QString &text, QVector<uint> *codePoints, QString *error)
{
    Collector collector(codePoints);
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString &item : items) {
        // A leading "-" can't start a range, so split at a "-" after the first character.
        const int dash = item.indexOf(QLatin1Char('-'), 1);
        uint first = 0;
        uint last = 0;
        const bool parsed = dash < 0 ? parseCodePoint(item, &first) && (last = first, true)
                                     : parseCodePoint(item.left(dash), &first)
                                         && parseCodePoint(item.mid(dash + 1), &last);
        if (!parsed) {
            *error = QStringLiteral("\"%1\" is not a code point or a range (examples: 65, 0xE9, U+00E9, 33-126)")
                         .arg(item.trimmed());
            return false;
        }
        if (first > last) {
            *error = QStringLiteral("\"%1\" is a range that ends before it starts").arg(item.trimmed());
            return false;
        }
        if (last - first >= uint(maxCharacters)) {
            *error = QStringLiteral("\"%1\": more than %2 characters").arg(item.trimmed(), QString::number(maxCharacters));
            return false;
        }
        for (uint codePoint = first; codePoint <= last; ++codePoint) {
            QString why;
            if (!isUsable(codePoint, &why)) {
                *error = QStringLiteral("\"%1\" holds %2, which is %3").arg(item.trimmed(), codePointName(codePoint), why);
                return false;
            }
            QString tooMany;
            if (!collector.add(codePoint, &tooMany)) {
                *error = tooMany;
                return false;
            }
        }
    }
    return true;
}

FileRead readFile(const QString &path, QVector<uint> *codePoints, QString *error)
{
    QString text;
    const FileRead read = readText(path, maxFileBytes, &text, error);
    if (read != FileRead::Done) {
        return read;
    }
    Collector collector(codePoints);
    for (const uint codePoint : text.toUcs4()) {
        if (QChar::isSpace(codePoint) || codePoint == 0xFEFF) {
            continue;
        }
        QString why;
        if (!isUsable(codePoint, &why)) {
            *error = QStringLiteral("%1 holds %2, which is %3").arg(path, codePointName(codePoint), why);
            return FileRead::Refused;
        }
        if (!collector.add(codePoint, &why)) {
            *error = QStringLiteral("%1 holds %2").arg(path, why);
            return FileRead::Refused;
        }
    }
    return FileRead::Done;
}

QString letterOf(uint codePoint)
{
    if (QChar::requiresSurrogates(codePoint)) {
        const QChar pair[2] = {QChar(QChar::highSurrogate(codePoint)), QChar(QChar::lowSurrogate(codePoint))};
        return QString(pair, 2);
    }
    return QString(QChar(char16_t(codePoint)));
}

} // namespace Charset
