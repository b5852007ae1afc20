#pragma once

#include <QString>

// voltadesk-run's usage text, in the operator's language. It is what --help prints, and the
// build turns that output into the manual page, so the two say the same.
class RunnerHelp
{
public:
    static QString text();
    // "voltadesk-run VERSION", what --version prints.
    static QString version(const QString &number);
};
