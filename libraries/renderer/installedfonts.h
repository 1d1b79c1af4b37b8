#ifndef INSTALLEDFONTS_H
#define INSTALLEDFONTS_H

#include "renderer_export.h"

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

QMF_RENDERER_EXPORT QStringList families();
QMF_RENDERER_EXPORT QStringList styles(const QString &family);
QMF_RENDERER_EXPORT QFont font(const QString &family, const QString &style, int pointSize);
QMF_RENDERER_EXPORT QString styleString(const QFont &font);
QMF_RENDERER_EXPORT bool isSmoothlyScalable(const QString &family, const QString &style);
QMF_RENDERER_EXPORT QList<int> smoothSizes(const QString &family, const QString &style);
QMF_RENDERER_EXPORT bool isPrivateFamily(const QString &family);

} // namespace InstalledFonts

#endif // INSTALLEDFONTS_H
