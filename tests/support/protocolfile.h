#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Verification protocols as the tests read them and expect them.
class ProtocolFile
{
public:
    static QByteArray read(const QString &path);
    // The cell texts of each data row (the header row left out).
    static QVector<QStringList> rows(const QByteArray &protocol);
    // One expected data row.
    static QString row(const QStringList &cells);
    // A whole protocol dated 6 December 2026: the title fragments (ending with "<b>"), the
    // identity as it appears in the file, the header cells and the data rows.
    static QByteArray expected(const QString &titleFragments, const QString &identity,
                               const QString &headerCells, const QStringList &rows);
};
