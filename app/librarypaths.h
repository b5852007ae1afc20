#pragma once

#include <QString>
#include <QStringList>

// Where Qt looks for its platform, image-format and icon-engine plug-ins. A workstation has
// them in the maker's shared Qt installation (named by a per-user setting), beside the VISA
// drivers in the VXIplug&play tree, or beside the executable; the list is set before the
// application object exists, because the platform plug-in is loaded by its constructor.
class LibraryPaths
{
public:
    // The search directories for a configured Qt directory (empty when none), the process
    // environment as NAME=value entries, in the order the environment lists them, and the
    // directory of the executable: that directory and its three plug-in folders always, and
    // before them the Qt directory and its plug-in folders when one is configured or derived.
    // No entry is relative to the working directory unless the configuration makes it so.
    static QStringList searchList(const QString &configuredDir, const QStringList &environment,
                                  const QString &executableDir);
    // The directory holding this process's executable, without a trailing separator.
    static QString executableDir();
    // The configured Qt directory, "QT_DISTRIB_INSTALL_DIR" of the maker's per-user settings;
    // empty when the setting is missing.
    static QString configuredDir();
    // Where the system's Qt keeps the plug-ins that none of those folders holds, such as the
    // database drivers of the results store: Qt's own plug-in directory, owned by the system,
    // on Linux; nothing on Windows.
    static QStringList systemPluginDirs();
    // Replaces the application's library paths with the search list of this process, followed
    // by the system's plug-in directories.
    static void apply();
};
