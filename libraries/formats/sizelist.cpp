#include "sizelist.h"

#include <QStringList>

namespace Sizes {

namespace {

bool parseNumber(const QString &text, int largest, int *value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok, 10);
    return ok && *value >= 1 && *value <= largest && !text.trimmed().startsWith(QLatin1Char('+'));
}

} // namespace

bool parseList(const QString &text, int largest, const QString &unit, QList<int> *sizes, QString *error)
{
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QString trimmed = item.trimmed();
        const QString range = trimmed.section(QLatin1Char('/'), 0, 0);
        const QString stepText = trimmed.contains(QLatin1Char('/')) ? trimmed.section(QLatin1Char('/'), 1) : QStringLiteral("1");
        // A leading "-" is a sign, which no size takes.
        const int dash = range.indexOf(QLatin1Char('-'), 1);
        const QString firstText = dash < 0 ? range : range.left(dash);
        const QString lastText = dash < 0 ? range : range.mid(dash + 1);
        int first = 0;
        int last = 0;
        int step = 0;
        if (!parseNumber(firstText, largest, &first) || !parseNumber(lastText, largest, &last)) {
            *error = QStringLiteral("\"%1\" is not a %2 from 1 to %3, nor a range such as 8-72 or 8-72/4")
                         .arg(trimmed, unit, QString::number(largest));
            return false;
        }
        if (!parseNumber(stepText, largest, &step) || (dash < 0 && trimmed.contains(QLatin1Char('/')))) {
            *error = QStringLiteral("\"%1\": the step after \"/\" belongs to a range and is a number from 1 to %2")
                         .arg(trimmed, QString::number(largest));
            return false;
        }
        if (last < first) {
            *error = QStringLiteral("\"%1\" ends before it starts").arg(trimmed);
            return false;
        }
        for (int size = first; size <= last; size += step) {
            if (!sizes->contains(size)) {
                if (sizes->size() == maxCount) {
                    *error = QStringLiteral("more than %1 sizes").arg(maxCount);
                    return false;
                }
                sizes->append(size);
            }
        }
    }
    return true;
}

} // namespace Sizes
