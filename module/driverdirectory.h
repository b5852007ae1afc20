#pragma once

#include <QString>
#include <QStringList>

// The VXIplug&play binary directory where the module's driver and math library are installed,
// found from the process environment (entries NAME=value, as QProcess::systemEnvironment()
// lists them).
class DriverDirectory
{
public:
    // The first entry that contains "VXIPNPPATH=" anywhere decides; the text between its first
    // and second "=" followed by "winnt/bin/", with backslashes turned into slashes. Empty
    // when no entry contains it.
    static QString fromEnvironment(const QStringList &environment);

    static QString driverLibrary() { return QStringLiteral("rvka5630_32.dll"); }
    static QString mathLibrary() { return QStringLiteral("rvka5630_math.dll"); }
};
