#include "installedfonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QtGlobal>

namespace InstalledFonts {

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
// Qt 6 makes the queries static and deprecates the constructor that Qt 5 needs.

QStringList families()
{
    return QFontDatabase::families();
}

QStringList styles(const QString &family)
{
    return QFontDatabase::styles(family);
}

QFont font(const QString &family, const QString &style, int pointSize)
{
    return QFontDatabase::font(family, style, pointSize);
}

QString styleString(const QFont &font)
{
    return QFontDatabase::styleString(font);
}

bool isSmoothlyScalable(const QString &family, const QString &style)
{
    return QFontDatabase::isSmoothlyScalable(family, style);
}

QList<int> smoothSizes(const QString &family, const QString &style)
{
    return QFontDatabase::smoothSizes(family, style);
}

bool isPrivateFamily(const QString &family)
{
    return QFontDatabase::isPrivateFamily(family);
}

#else

QStringList families()
{
    return QFontDatabase().families();
}

QStringList styles(const QString &family)
{
    return QFontDatabase().styles(family);
}

QFont font(const QString &family, const QString &style, int pointSize)
{
    return QFontDatabase().font(family, style, pointSize);
}

QString styleString(const QFont &font)
{
    return QFontDatabase().styleString(font);
}

bool isSmoothlyScalable(const QString &family, const QString &style)
{
    return QFontDatabase().isSmoothlyScalable(family, style);
}

QList<int> smoothSizes(const QString &family, const QString &style)
{
    return QFontDatabase().smoothSizes(family, style);
}

bool isPrivateFamily(const QString &family)
{
    return QFontDatabase().isPrivateFamily(family);
}

#endif

} // namespace InstalledFonts
