#pragma once

#include "reportskeleton.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

// The HTML report of the module's stored self-test results: one row per result record, under
// a title with the module's identity. Its texts stay Russian in either operator language.
class ModuleSession;

class SelfTestReport
{
public:
    // Reads the stored results and the identity from the module and writes the report to
    // path. Any failure ends it quietly: false, and nothing is written.
    static bool save(ModuleSession &session, const QString &path, const QDate &date);

    static ReportSkeleton report(const QString &identity, const QString &records);
    // Records end with ";" (text after the last one is not a record), fields are separated
    // by ","; the module writes "#" for "±". Each row starts with the record's number.
    static QVector<QStringList> rows(const QString &records);
};
