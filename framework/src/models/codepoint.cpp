#include "models/codepoint.h"

#include <QStringList>

namespace Models {

QString codePointName(uint codePoint)
{
    return QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0')).toUpper();
}

QVector<uint> codePointsOf(const QString &text)
{
    QVector<uint> result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result.append(QChar::surrogateToUcs4(unit, text.at(i + 1)));
            ++i;
        } else {
            result.append(unit.unicode()); // a lone surrogate stays itself, not U+FFFD
        }
    }
    return result;
}

QString codePointNames(const QString &letter)
{
    if (letter.isEmpty()) {
        return QStringLiteral("(empty)");
    }
    QStringList names;
    for (const uint codePoint : codePointsOf(letter)) {
        names.append(codePointName(codePoint));
    }
    return names.join(QLatin1Char(' '));
}

QString letterLabel(const QString &letter)
{
    if (letter.isEmpty()) {
        return codePointNames(letter);
    }
    for (const uint codePoint : codePointsOf(letter)) {
        if (!QChar::isPrint(codePoint) || QChar::isSpace(codePoint)) {
            return codePointNames(letter);
        }
    }
    return letter;
}

} // namespace Models
