#include "driverdirectory.h"

std::optional<QString> DriverDirectory::vxipnpRoot(const QStringList &environment)
{
    for (const QString &entry : environment)
        if (entry.startsWith(QLatin1String("VXIPNPPATH=")))
            return entry.split(QLatin1Char('=')).value(1);
    return std::nullopt;
}

QString DriverDirectory::fromEnvironment(const QStringList &environment)
{
    const std::optional<QString> root = vxipnpRoot(environment);
    if (!root)
        return QString();
    return QString(*root + binarySubdir()).replace(QLatin1Char('\\'), QLatin1Char('/'));
}
