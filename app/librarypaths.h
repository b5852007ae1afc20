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
    // The eight search directories for a configured Qt directory (empty when none) and the
    // process environment as NAME=value entries, in the order the environment lists them.
    static QStringList searchList(const QString &configuredDir, const QStringList &environment);
    // The configured Qt directory, "QT_DISTRIB_INSTALL_DIR" of the maker's per-user settings;
    // empty when the setting is missing.
    static QString configuredDir();
    // Replaces the application's library paths with the search list of this process.
    static void apply();
};
