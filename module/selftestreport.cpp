#include "selftestreport.h"

#include "commandchain.h"
#include "modulesession.h"
#include "storedresultblock.h"

namespace {
// The report is a metrology document: its texts stay Russian whatever the operator's language.
const char *const headerCells[] = {
    "<td>#</td>",
    "<td>Допустимый<br>диапазон<br>напряжения<br>(B)</td>",
    "<td>Измеренное<br>напряжение<br>(B)</td>",
    "<td>Допустимый<br>диапазон<br>тока<br>(A)</td>",
    "<td>Измеренный<br>ток<br>(A)</td>",
    "<td>Допустимый<br>диапазон<br>кода<br>(Vdrop)</td>",
    "<td>Измеренное<br>значение<br>кода<br>(Vdrop)</td>",
    "<td>Измеренное<br>состояние<br>выхода<br>(Требуемое:<br>CV)</td>",
    "<td>Результат<br>измерения<br>точки</td>",
};
} // namespace

bool SelfTestReport::save(ModuleSession &session, const QString &path, const QDate &date)
{
    QByteArray records;
    if (!StoredResultBlock::read(session, records))
        return false;
    char identity[256];
    if (!CommandChain(session).queryToken("*IDN?", identity).ok())
        return false;
    return report(QString::fromUtf8(identity), QString::fromUtf8(records)).save(path, date);
}

ReportSkeleton SelfTestReport::report(const QString &identity, const QString &records)
{
    QStringList header;
    for (const char *cell : headerCells)
        header << QString::fromUtf8(cell);
    ReportSkeleton report(
        QString::fromUtf8("<thead>Результат самотестирования источника питания <b>") +
            ReportSkeleton::escaped(identity) + QStringLiteral("</b></thead>"),
        header);
    for (const QStringList &row : rows(records))
        report.addRow(row);
    return report;
}

QVector<QStringList> SelfTestReport::rows(const QString &records)
{
    QStringList pieces =
        QString(records).replace(QLatin1Char('#'), QChar(0x00B1)).split(QLatin1Char(';'));
    pieces.removeLast();
    QVector<QStringList> result;
    for (int i = 0; i < pieces.size(); ++i)
        result.append(QStringList{QString::number(i + 1)} + pieces.at(i).split(QLatin1Char(',')));
    return result;
}
