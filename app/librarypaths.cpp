#include "librarypaths.h"

#include "driverdirectory.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QSettings>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
const QString valueName = QStringLiteral("QT_DISTRIB_INSTALL_DIR");
const QStringList pluginKinds = {QStringLiteral("imageformats"), QStringLiteral("platforms"),
                                 QStringLiteral("iconengines")};
} // namespace

QStringList LibraryPaths::searchList(const QString &configuredDir, const QStringList &environment,
                                     const QString &executableDir)
{
    QString dir = configuredDir;
    // The VXIplug&play root in the environment ends with a separator, so nothing is inserted
    // before its drivers' directory.
    if (dir.isEmpty()) {
        if (const std::optional<QString> root = DriverDirectory::vxipnpRoot(environment))
            dir = *root + DriverDirectory::binarySubdir();
    }
    QStringList list;
    // Nothing configured: the bare names would be folders of the working directory, and a
    // program started inside a downloaded folder must not load code from it.
    if (!dir.isEmpty()) {
        // The directory is a prefix: a configured value without a trailing separator names
        // sibling directories, and nothing here corrects it.
        list << dir;
        for (const QString &kind : pluginKinds)
            list << dir + kind;
    }
    // Plug-in folders placed beside the executable, named by its own directory.
    list << executableDir;
    for (const QString &kind : pluginKinds)
        list << executableDir + QLatin1Char('/') + kind;
    return list;
}

QString LibraryPaths::executableDir()
{
    // Asked before the application object exists, so from the system rather than from Qt.
#ifdef Q_OS_WIN
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return QFileInfo(QString::fromWCharArray(path, int(length))).absolutePath();
#else
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path();
#endif
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

QStringList LibraryPaths::systemPluginDirs()
{
#ifdef Q_OS_WIN
    // The Qt build's own prefix names a folder that any user may create on a Windows drive:
    // the Windows program has all of its plug-ins beside the executable.
    return {};
#else
    return {QLibraryInfo::location(QLibraryInfo::PluginsPath)};
#endif
}

void LibraryPaths::apply()
{
    QCoreApplication::setLibraryPaths(
        searchList(configuredDir(), QProcess::systemEnvironment(), executableDir()) +
        systemPluginDirs());
}
