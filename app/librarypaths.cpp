#include "librarypaths.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>

namespace {
const QString valueName = QStringLiteral("QT_DISTRIB_INSTALL_DIR");
const QString vxipnpMarker = QStringLiteral("VXIPNPPATH=");
// The drivers' directory under the VXIplug&play root; the root in the environment ends
// with a separator, so nothing is inserted between them.
const QString driverSubdir = QStringLiteral("winnt/bin/");
} // namespace

QStringList LibraryPaths::searchList(const QString &configuredDir, const QStringList &environment)
{
    QString dir = configuredDir;
    if (dir.isEmpty()) {
        // The first entry that mentions the variable anywhere decides, even one that only
        // carries the text inside another variable's value.
        for (const QString &entry : environment) {
            if (entry.contains(vxipnpMarker)) {
                dir = entry.split(QLatin1Char('=')).value(1) + driverSubdir;
                break;
            }
        }
    }
    // The directory is a prefix: a configured value without a trailing separator names
    // sibling directories, and nothing here corrects it.
    return {dir,
            dir + QStringLiteral("imageformats"),
            dir + QStringLiteral("platforms"),
            dir + QStringLiteral("iconengines"),
            QStringLiteral("."),
            QStringLiteral("./imageformats"),
            QStringLiteral("./platforms"),
            QStringLiteral("./iconengines")};
}

QString LibraryPaths::configuredDir()
{
#ifdef Q_OS_WIN
    QSettings settings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvalis\\VaDeraver"),
                       QSettings::NativeFormat);
#else
    // Without a registry the same key lives in the per-user settings store.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Korvalis"),
                       QStringLiteral("VaDeraver"));
#endif
    return settings.value(valueName).toString();
}

void LibraryPaths::apply()
{
    QCoreApplication::setLibraryPaths(searchList(configuredDir(), QProcess::systemEnvironment()));
}
