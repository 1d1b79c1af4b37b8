#include "models/codepoint.h"

namespace Models {

QString codePointName(uint codePoint)
{
    return QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace Models
