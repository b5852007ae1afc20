#pragma once

#include <QString>

// voltaDesk's --help and --version texts, in the operator's language. The build turns the
// --help output into the manual page, so the two say the same.
class ProgramHelp
{
public:
    static QString text();
    static QString version(const QString &number);
    // The text to print when the arguments ask for help or the version, else empty.
    static QString requested(const QStringList &arguments, const QString &number);
};
