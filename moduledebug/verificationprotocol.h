#pragma once

#include <QDate>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QVector>

// The HTML protocol of one verification procedure, in the shared report skeleton: the
// procedure's two title fragments and the module's identity, its header cells, one row per
// point numbered from 1. The file is opened before anything is sent to the instruments and
// is replaced only when the protocol is complete: a procedure that ends early leaves an
// earlier protocol at that path as it was.
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
    // Drops an unfinished protocol.
    ~VerificationProtocol();
    VerificationProtocol(const VerificationProtocol &) = delete;
    VerificationProtocol &operator=(const VerificationProtocol &) = delete;

    // False when the file cannot be written (for example, its directory does not exist).
    bool open(const QString &path);
    // One point's cells after its number, the verdict last.
    void addRow(const QStringList &cells);
    // Writes the whole protocol and puts it in place; false when that fails.
    bool write(const QString &identity, const QDate &date);

    // The protocol as it goes into the file.
    QByteArray bytes(const QString &identity, const QDate &date) const;

private:
    Layout layout;
    QVector<QStringList> rows;
    QSaveFile file;
};
