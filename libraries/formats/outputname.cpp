#include "outputname.h"

#include <QVector>

namespace OutputName {

namespace {

int utf8Bytes(uint codePoint)
{
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

bool isControl(uint codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7f && codePoint <= 0x9f);
}

} // namespace

QString component(const QString &name, int limit)
{
    // toUcs4 turns an unpaired surrogate into U+FFFD; it is checked on the UTF-16 text instead.
    QString safe;
    int bytes = 0;
    for (int i = 0; i < name.size(); ++i) {
        uint codePoint = name.at(i).unicode();
        int units = 1;
        if (QChar::isHighSurrogate(codePoint) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(name.at(i), name.at(i + 1));
            units = 2;
        }
        const bool replaced = QChar::isSurrogate(codePoint) || isControl(codePoint) || codePoint == '/' || codePoint == '\\'
                              || (i == 0 && codePoint == '.');
        const int size = replaced ? 1 : utf8Bytes(codePoint);
        if (bytes + size > limit) {
            break;
        }
        bytes += size;
        safe += replaced ? QString(QLatin1Char('_')) : name.mid(i, units);
        i += units - 1;
    }
    return safe;
}

int utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

} // namespace OutputName
