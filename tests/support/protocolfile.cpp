#include "protocolfile.h"

#include <QFile>
#include <QRegularExpression>

QByteArray ProtocolFile::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QVector<QStringList> ProtocolFile::rows(const QByteArray &protocol)
{
    QVector<QStringList> result;
    QRegularExpressionMatchIterator row =
        QRegularExpression("<tr>(.*?)</tr>").globalMatch(QString::fromUtf8(protocol));
    if (row.hasNext())
        row.next();
    while (row.hasNext()) {
        QStringList cells;
        QRegularExpressionMatchIterator cell =
            QRegularExpression("<td>(.*?)</td>").globalMatch(row.next().captured(1));
        while (cell.hasNext())
            cells << cell.next().captured(1);
        result << cells;
    }
    return result;
}

QString ProtocolFile::row(const QStringList &cells)
{
    return "<tr><td>" + cells.join("</td><td>") + "</td></tr>";
}

QByteArray ProtocolFile::expected(const QString &titleFragments, const QString &identity,
                                  const QString &headerCells, const QStringList &rows)
{
    const QString text =
        QStringLiteral("<style>TABLE{border-collapse: collapse;}TD, TH{padding: 3px; padding-top: "
                       "5px; padding-bottom: 5px; border: 1px solid black;}</style><table>") +
        titleFragments + identity + QStringLiteral("</b></font></thead><tr>") + headerCells +
        "</tr>" + rows.join(QString()) +
        QStringLiteral("</table><br><br><div align=\"right\">06.12.2026\t\t</div><br><br><div "
                       "align=\"center\">Проверил:<br></div><hr align=\"right\" width=\"350\"/>");
    return "\xEF\xBB\xBF" + text.toUtf8();
}
