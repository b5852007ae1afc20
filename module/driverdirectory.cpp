#include "driverdirectory.h"

QString DriverDirectory::fromEnvironment(const QStringList &environment)
{
    for (const QString &entry : environment) {
        if (!entry.contains(QLatin1String("VXIPNPPATH=")))
            continue;
        QString dir = entry.split(QLatin1Char('=')).value(1) + QLatin1String("winnt/bin/");
        return dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    return QString();
}
