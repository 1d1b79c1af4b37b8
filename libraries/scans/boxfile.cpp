#include "boxfile.h"

#include "pagereader.h"
#include "xmlwalk_p.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

#include <algorithm>

namespace Scans {

namespace {

constexpr int maxBoxCoordinate = 1 << 24;

// Text and five numbers, the text taken as everything before the numbers so that it may hold spaces.
bool parseLine(const QString &line, BoxEntry *entry, QString *reason)
{
    const QStringList tokens = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.size() < 5 || (tokens.size() == 5 && line.at(0) != QLatin1Char(' '))) {
        *reason = QStringLiteral("not TEXT LEFT BOTTOM RIGHT TOP PAGE");
        return false;
    }
    int numbers[5];
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        numbers[i] = tokens.at(tokens.size() - 5 + i).toInt(&ok);
        if (!ok || qAbs(numbers[i]) > maxBoxCoordinate) {
            *reason = QStringLiteral("\"%1\" is not a number").arg(tokens.at(tokens.size() - 5 + i));
            return false;
        }
    }
    // The text is what comes before the five numbers and the space in front of them: it may be a space itself.
    int end = line.size();
    for (int i = 0; i < 5; ++i) {
        while (end > 0 && line.at(end - 1) == QLatin1Char(' ')) {
            --end;
        }
        while (end > 0 && line.at(end - 1) != QLatin1Char(' ')) {
            --end;
        }
    }
    entry->text = line.left(qMax(0, end - 1));
    if (entry->text.isEmpty()) {
        entry->text = QStringLiteral(" ");
    }
    entry->separator = entry->text.trimmed().isEmpty();
    entry->left = numbers[0];
    entry->bottom = numbers[1];
    entry->right = numbers[2];
    entry->top = numbers[3];
    entry->page = numbers[4];
    return true;
}

int medianHeight(const QVector<const BoxEntry *> &entries)
{
    QVector<int> heights;
    for (const BoxEntry *entry : entries) {
        heights.append(entry->top - entry->bottom);
    }
    if (heights.isEmpty()) {
        return 0;
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights.at(heights.size() / 2);
}

} // namespace

bool readBoxFile(const QString &path, BoxFile *boxes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.isSequential() || file.size() > maxPageFileBytes) {
        *error = file.isSequential() ? QStringLiteral("not a regular file")
                                     : QStringLiteral("%1 bytes, more than the %2 a box file may have").arg(file.size()).arg(maxPageFileBytes);
        return false;
    }
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) {
        *error = QStringLiteral("not UTF-8 text");
        return false;
    }
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (line.isEmpty()) {
            continue;
        }
        if (line.startsWith(QLatin1String("WordStr "))) {
            ++boxes->wordStrLines;
            continue;
        }
        BoxEntry entry;
        entry.lineNumber = i + 1;
        QString reason;
        if (parseLine(line, &entry, &reason)) {
            boxes->entries.append(entry);
        } else {
            boxes->passedOver.append(QStringLiteral("%1: %2").arg(i + 1).arg(reason));
        }
    }
    return true;
}

ScanPage boxPage(const BoxFile &boxes, int page, const QSize &imageSize)
{
    ScanPage result;
    result.imageSize = imageSize;
    QVector<const BoxEntry *> onPage;
    for (const BoxEntry &entry : boxes.entries) {
        if (entry.page == page) {
            onPage.append(&entry);
        }
    }
    const int wordGap = qMax(2, medianHeight(onPage) / 4);
    const BoxEntry *previous = nullptr;
    int word = -1;
    bool breakLine = true;
    bool breakWord = true;
    for (const BoxEntry *entry : qAsConst(onPage)) {
        if (entry->separator) {
            breakWord = true;
            breakLine = breakLine || entry->text == QLatin1String("\t");
            continue;
        }
        if (entry->right <= entry->left || entry->top <= entry->bottom) {
            result.passedOver.append(QStringLiteral("line %1: an empty box").arg(entry->lineNumber));
            continue;
        }
        if (previous && (entry->bottom >= previous->top || entry->top <= previous->bottom || entry->left < previous->left)) {
            breakLine = true;
        }
        if (breakLine || (previous && entry->left - previous->right > wordGap)) {
            breakWord = true;
        }
        if (breakLine) {
            result.lines.append(ScanLine());
        }
        if (breakWord) {
            ++word;
        }
        ScanGlyph glyph;
        glyph.text = entry->text;
        glyph.line = result.lines.size() - 1;
        glyph.word = word;
        glyph.outline = Private::boxOutline(entry->left, imageSize.height() - entry->top, entry->right - entry->left,
                                            entry->top - entry->bottom);
        result.glyphs.append(glyph);
        previous = entry;
        breakLine = false;
        breakWord = false;
    }
    return result;
}

} // namespace Scans
