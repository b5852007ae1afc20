#include "reportskeleton.h"

#include "filesave.h"

#include <QLocale>
#include <QTextCodec>
#include <QTextStream>

ReportSkeleton::ReportSkeleton(const QString &titlePart, const QStringList &headerCells)
    : title(titlePart), header(headerCells)
{
}

void ReportSkeleton::addRow(const QStringList &cells)
{
    rows.append(cells);
}

QString ReportSkeleton::escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QByteArray ReportSkeleton::bytes(const QDate &date) const
{
    QByteArray data;
    QTextStream out(&data);
    out.setCodec(QTextCodec::codecForName("UTF-8"));
    out.setGenerateByteOrderMark(true);
    out << "<style>"
        << "TABLE{border-collapse: collapse;}"
        << "TD, TH{padding: 3px; padding-top: 5px; padding-bottom: 5px; border: 1px solid black;}"
        << "</style>"
        << "<table>" << title << "<tr>";
    for (const QString &cell : header)
        out << cell;
    out << "</tr>";
    for (const QStringList &row : rows) {
        out << "<tr>";
        for (const QString &cell : row)
            out << "<td>" << escaped(cell) << "</td>";
        out << "</tr>";
    }
    out << "</table>"
        << "<br><br>"
        // Western digits whatever the workstation's language: the date is read like the values.
        << "<div align=\"right\">" << QLocale::c().toString(date, QStringLiteral("dd.MM.yyyy"))
        << "\t\t"
        << "</div>"
        << "<br><br>"
        << "<div align=\"center\">" << QStringLiteral("Проверил:<br>") << "</div>"
        << "<hr align=\"right\" width=\"350\"/>";
    out.flush();
    return data;
}

bool ReportSkeleton::save(const QString &path, const QDate &date) const
{
    return saveFile(path, bytes(date));
}
