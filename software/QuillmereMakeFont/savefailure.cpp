#include "savefailure.h"

#include "iomanager/writeresult.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>

QString saveFailureReason(const IOManager::WriteResult &result)
{
    QString reason = result.reason();
    const QString path = result.path();
    if (path.startsWith(QLatin1Char('~'))) {
        const bool own = path.size() == 1 || path.at(1) == QLatin1Char('/');
        reason += own ? QCoreApplication::translate("SaveFailure", "; \"~\" is not expanded: write the full path, such as %1")
                            .arg(QDir::homePath() + path.mid(1))
                      : QCoreApplication::translate("SaveFailure", "; \"~\" is not expanded: write the full path");
    }
    return reason;
}
