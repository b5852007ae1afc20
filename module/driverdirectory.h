#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The VXIplug&play binary directory where the module's driver and math library are installed,
// found from the process environment (entries NAME=value, as QProcess::systemEnvironment()
// lists them).
class DriverDirectory
{
public:
    // The value of the first entry named exactly VXIPNPPATH: the text between its first and
    // second "=". Another variable whose name or value merely holds "VXIPNPPATH=" does not
    // count. Empty when the variable is missing.
    static std::optional<QString> vxipnpRoot(const QStringList &environment);
    // The root followed by "winnt/bin/", with backslashes turned into slashes. Empty when the
    // variable is missing.
    static QString fromEnvironment(const QStringList &environment);

    static QString binarySubdir() { return QStringLiteral("winnt/bin/"); }
    static QString driverLibrary() { return QStringLiteral("rvka5630_32.dll"); }
    static QString mathLibrary() { return QStringLiteral("rvka5630_math.dll"); }
};
