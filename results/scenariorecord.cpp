#include "scenariorecord.h"

#include "recordhash.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace {

// Where a procedure's protocol row holds each field of a point (0 is the point's number); -1
// where it has none. Errors and measured values may span several cells.
struct Columns
{
    Scenario scenario;
    const char *key;
    bool useLoad;
    int setValue;
    QVector<int> measured;
    QVector<int> error;
    int tolerance;
    int verdict;
    int stored;
};

const Columns columns[] = {
    {Scenario::AutoCalibration, "autocal", false, 1, {2}, {}, -1, -1, 3},
    {Scenario::Vdc, "vdc", false, 1, {2, 3}, {4, 5}, 6, 7, -1},
    {Scenario::VdcCurr, "vdcn", true, 1, {5}, {5}, 6, 7, -1},
    {Scenario::VacCurr, "vac", true, 1, {4}, {4}, 5, 6, -1},
    {Scenario::Idc, "idc", true, 1, {2, 3}, {4, 5}, 6, 7, -1},
    {Scenario::IdcN, "idcn", true, 1, {2, 3}, {4}, 5, 6, -1},
    {Scenario::Iac, "iac", true, 1, {2}, {2}, 3, 4, -1},
};

const Columns &columnsOf(Scenario scenario)
{
    return columns[int(scenario)];
}

QString cell(const QStringList &row, int at)
{
    return at < 0 ? QString() : row.value(at);
}

QString cells(const QStringList &row, const QVector<int> &at)
{
    QStringList texts;
    for (int i : at)
        texts.append(row.value(i));
    return texts.join(QLatin1Char(';'));
}

QString result(const ScenarioOutcome &outcome)
{
    if (outcome.failure == ScenarioFailure::Stopped)
        return QStringLiteral("stopped");
    if (outcome.failure != ScenarioFailure::None)
        return QStringLiteral("error");
    if (outcome.fName.isEmpty())
        return QStringLiteral("done");
    return outcome.failing == 0 ? QStringLiteral("pass") : QStringLiteral("fail");
}

QString loginName()
{
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"})
        if (qEnvironmentVariableIsSet(variable))
            return qEnvironmentVariable(variable);
    return QString();
}

QString utc(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

QString ScenarioRecord::key(Scenario scenario)
{
    return QLatin1String(columnsOf(scenario).key);
}

bool ScenarioRecord::usesLoad(Scenario scenario)
{
    return columnsOf(scenario).useLoad;
}

QString ScenarioRecord::serialOf(const QString &identity)
{
    return identity.section(QLatin1Char(','), 2, 2).trimmed();
}

RunRecord ScenarioRecord::of(const ScenarioOutcome &outcome, const QString &resource,
                             const QString &identity, const ReferenceRegister &references)
{
    RunRecord run;
    run.started = utc(outcome.started);
    run.ended = utc(outcome.ended);
    run.station = QSysInfo::machineHostName();
    run.operatorName = loginName();
    run.programVersion = QStringLiteral(VOLTADESK_VERSION);
    run.resource = resource;
    run.identity = outcome.identity.isEmpty() ? identity : outcome.identity;
    run.serial = serialOf(run.identity);
    run.procedure = key(outcome.scenario);
    run.result = result(outcome);
    run.failing = outcome.failing;
    run.outcome = ScenarioRunner::outcomeText(outcome);
    if (outcome.protocolWritten()) {
        // Absolute, so that the protocol is found again from wherever the store is read.
        run.protocol = QFileInfo(outcome.fName).absoluteFilePath();
        QFile protocol(outcome.fName);
        if (protocol.open(QIODevice::ReadOnly))
            run.protocolSha256 = RecordHash::ofBytes(protocol.readAll());
    }
    const QDate day = outcome.started.toUTC().date();
    if (!outcome.multimeter.location.isEmpty())
        run.references.append(
            references.check(QStringLiteral("multimeter"), outcome.multimeter, day));
    if (!outcome.load.location.isEmpty())
        run.references.append(references.check(QStringLiteral("load"), outcome.load, day));
    const Columns &at = columnsOf(outcome.scenario);
    for (const QStringList &row : outcome.rows) {
        QString tolerance = cell(row, at.tolerance);
        if (tolerance.startsWith(QStringLiteral("±")))
            tolerance.remove(0, 1);
        run.points.append({row.value(0).toInt(), cell(row, at.setValue), cells(row, at.measured),
                           cells(row, at.error), tolerance, cell(row, at.verdict),
                           cell(row, at.stored)});
    }
    return run;
}
