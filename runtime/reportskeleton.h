#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

// The HTML report skeleton shared by the self-test report and the verification protocols:
// style block, table with title part, header row and data rows, date line and signature
// block, written as UTF-8 with a byte-order mark and no line breaks between the pieces.
class ReportSkeleton
{
public:
    // titlePart starts with "<thead>" and ends with "</thead>"; headerCells are complete cells
    // ("<td>...</td>"); every row cell is text and is HTML-escaped here, so a reply of an
    // instrument cannot bring markup into the file.
    ReportSkeleton(const QString &titlePart, const QStringList &headerCells);

    void addRow(const QStringList &cells);
    int rowCount() const { return rows.size(); }

    // The whole report as it goes into the file (byte-order mark included).
    QByteArray bytes(const QDate &date) const;
    // Writes the report to path the way saveFile() does: whole or not at all. False on failure.
    bool save(const QString &path, const QDate &date) const;

    // Text that comes from an instrument, made safe for the title part.
    static QString escaped(const QString &text);

private:
    QString title;
    QStringList header;
    QVector<QStringList> rows;
};
