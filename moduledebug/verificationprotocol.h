#pragma once

#include <QDate>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QVector>

// The HTML protocol of one verification procedure, in the shared report skeleton: the
// procedure's two title fragments and the module's identity, its header cells, one row per
// point numbered from 1. The file is opened before anything is sent to the instruments. A
// complete protocol replaces the file at its path in one step; a procedure that ends early
// leaves that file empty, so that an earlier protocol is never filed as this run's result.
// Where the directory cannot be written but an existing file there can, the file is written
// in place.
class VerificationProtocol
{
public:
    struct Layout
    {
        QString firstTitle;
        QString secondTitle;
        QStringList headerCells; // complete cells, "<td>...</td>"
    };

    explicit VerificationProtocol(const Layout &layout);
    // Discards an unfinished protocol.
    ~VerificationProtocol();
    VerificationProtocol(const VerificationProtocol &) = delete;
    VerificationProtocol &operator=(const VerificationProtocol &) = delete;

    // False when the file cannot be written (for example, its directory does not exist).
    bool open(const QString &path);
    // One point's cells after its number, the verdict last.
    void addRow(const QStringList &cells);
    // Writes the whole protocol and puts it in place; false (and the file empty) when that
    // fails.
    bool write(const QString &identity, const QDate &date);
    // Leaves the file empty after a procedure that ended early; nothing once written.
    void discard();

    int rows() const { return table.size(); }
    // Every row so far, its number first.
    const QVector<QStringList> &rowCells() const { return table; }
    // The rows whose last cell is lastCell (a verdict).
    int rowsEndingWith(const QString &lastCell) const;

    // The protocol as it goes into the file.
    QByteArray bytes(const QString &identity, const QDate &date) const;

private:
    void leaveEmpty();

    Layout layout;
    QVector<QStringList> table;
    QSaveFile file;
};
