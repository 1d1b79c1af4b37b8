#ifndef INSTALLEDFONTS_H
#define INSTALLEDFONTS_H

#include <QList>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QFont;
class QString;
QT_END_NAMESPACE

/**
 * QFontDatabase's queries, called the same way under Qt 5, where they belong to an instance, and Qt 6,
 * where they are static and the constructor is deprecated.
 */
namespace InstalledFonts {

QStringList families();
QStringList styles(const QString &family);
QFont font(const QString &family, const QString &style, int pointSize);
QString styleString(const QFont &font);
bool isSmoothlyScalable(const QString &family, const QString &style);
QList<int> smoothSizes(const QString &family, const QString &style);
bool isPrivateFamily(const QString &family);

} // namespace InstalledFonts

#endif // INSTALLEDFONTS_H
