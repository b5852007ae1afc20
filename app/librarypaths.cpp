#include "librarypaths.h"

#include "driverdirectory.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>

namespace {
const QString valueName = QStringLiteral("QT_DISTRIB_INSTALL_DIR");
} // namespace

QStringList LibraryPaths::searchList(const QString &configuredDir, const QStringList &environment)
{
    QString dir = configuredDir;
    // The VXIplug&play root in the environment ends with a separator, so nothing is inserted
    // before its drivers' directory.
    if (dir.isEmpty()) {
        if (const std::optional<QString> root = DriverDirectory::vxipnpRoot(environment))
            dir = *root + DriverDirectory::binarySubdir();
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
