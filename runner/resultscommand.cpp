#include "resultscommand.h"

#include "recordhash.h"
#include "resultsstore.h"

#include <QCommandLineParser>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

const QString ResultsCommand::name = QStringLiteral("results");

namespace {

enum Status
{
    Intact = 0,
    Changed = 1,
    Unusable = 2,
};

int fail(QTextStream &err, const QString &message)
{
    err << "voltadesk-run results: " << message << '\n';
    err.flush();
    return Unusable;
}

const char *const runFields[] = {"id",      "started", "ended",    "serial",  "procedure", "result",
                                 "failing", "outcome", "protocol", "station", "operator"};
const char *const pointFields[] = {"id",       "serial", "procedure", "started", "index", "set",
                                   "measured", "error",  "tolerance", "verdict", "stored"};

QStringList runValues(const RunRecord &run)
{
    return {QString::number(run.id),
            run.started,
            run.ended,
            run.serial,
            run.procedure,
            run.result,
            QString::number(run.failing),
            run.outcome,
            run.protocol,
            run.station,
            run.operatorName};
}

QStringList pointValues(const RunRecord &run, const PointRecord &point)
{
    return {QString::number(run.id),
            run.serial,
            run.procedure,
            run.started,
            QString::number(point.index),
            point.setValue,
            point.measured,
            point.error,
            point.tolerance,
            point.verdict,
            point.stored};
}

QString csvLine(const QStringList &values)
{
    QStringList quoted;
    for (QString value : values) {
        if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
            value.contains(QLatin1Char('\n'))) {
            value.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            value = QLatin1Char('"') + value + QLatin1Char('"');
        }
        quoted.append(value);
    }
    return quoted.join(QLatin1Char(','));
}

template <std::size_t N> QStringList names(const char *const (&fields)[N])
{
    QStringList list;
    for (const char *field : fields)
        list.append(QLatin1String(field));
    return list;
}

template <std::size_t N>
QJsonObject object(const char *const (&fields)[N], const QStringList &values)
{
    QJsonObject line;
    for (std::size_t i = 0; i < N; ++i)
        line.insert(QLatin1String(fields[i]), values.value(int(i)));
    line.insert(QStringLiteral("id"), values.value(0).toLongLong());
    return line;
}

void list(const QVector<RunRecord> &runs, bool points, bool csv, bool json, QTextStream &out)
{
    if (csv)
        out << csvLine(points ? names(pointFields) : names(runFields)) << '\n';
    for (const RunRecord &run : runs) {
        if (!points) {
            const QStringList values = runValues(run);
            if (json)
                out << QJsonDocument(object(runFields, values)).toJson(QJsonDocument::Compact)
                    << '\n';
            else
                out << (csv ? csvLine(values) : values.join(QLatin1Char('\t'))) << '\n';
            continue;
        }
        for (const PointRecord &point : run.points) {
            const QStringList values = pointValues(run, point);
            if (json)
                out << QJsonDocument(object(pointFields, values)).toJson(QJsonDocument::Compact)
                    << '\n';
            else
                out << (csv ? csvLine(values) : values.join(QLatin1Char('\t'))) << '\n';
        }
    }
    out.flush();
}

// The chain first, then the protocols; every change is named, the first one first.
int verify(const QVector<RunRecord> &runs, QTextStream &out, QTextStream &err)
{
    QStringList changes;
    QString previous;
    for (const RunRecord &run : runs) {
        if (run.previousHash != previous || RecordHash::of(run) != run.hash)
            changes.append(QStringLiteral("запись %1 изменена или предыдущая удалена").arg(run.id));
        previous = run.hash;
    }
    QHash<QString, const RunRecord *> newest;
    for (const RunRecord &run : runs)
        if (!run.protocol.isEmpty())
            newest.insert(run.protocol, &run);
    for (const RunRecord &run : runs) {
        if (run.protocol.isEmpty() || newest.value(run.protocol) != &run)
            continue;
        QFile protocol(run.protocol);
        if (!protocol.open(QIODevice::ReadOnly))
            continue;
        if (RecordHash::ofBytes(protocol.readAll()) != run.protocolSha256)
            changes.append(
                QStringLiteral("протокол %1 (запись %2) изменён").arg(run.protocol).arg(run.id));
    }
    for (const QString &change : changes)
        err << "voltadesk-run results: " << change << '\n';
    err.flush();
    if (!changes.isEmpty())
        return Changed;
    out << QStringLiteral("записей: %1, цепочка и протоколы не изменены").arg(runs.size()) << '\n';
    out.flush();
    return Intact;
}

} // namespace

int ResultsCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption({QStringLiteral("serial"), QStringLiteral("the module's serial number"),
                      QStringLiteral("S")});
    parser.addOption({QStringLiteral("procedure"),
                      QStringLiteral("autocal, vdc, vdcn, vac, idc, idcn or iac"),
                      QStringLiteral("P")});
    parser.addOption({QStringLiteral("since"), QStringLiteral("runs started on or after DATE"),
                      QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("points"), QStringLiteral("every point of the runs")});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("comma-separated, with a header")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("one JSON object a line")});
    parser.addOption({QStringLiteral("verify"),
                      QStringLiteral("check the hash chain and the protocols on disk")});
    if (!parser.parse(QStringList{QStringLiteral("voltadesk-run results")} + arguments))
        return fail(err, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(err,
                    QStringLiteral("лишний аргумент: ") + parser.positionalArguments().first());
    const bool csv = parser.isSet(QStringLiteral("csv"));
    const bool json = parser.isSet(QStringLiteral("json"));
    if (csv && json)
        return fail(err, QStringLiteral("--csv и --json вместе не указываются"));

    ResultsStore store(ResultsLocation::configured());
    if (!store.open())
        return fail(err, store.error());
    const bool verifying = parser.isSet(QStringLiteral("verify"));
    const RunFilter filter = verifying ? RunFilter()
                                       : RunFilter{parser.value(QStringLiteral("serial")),
                                                   parser.value(QStringLiteral("procedure")),
                                                   parser.value(QStringLiteral("since"))};
    const QVector<RunRecord> runs =
        store.runs(filter, verifying || parser.isSet(QStringLiteral("points")));
    if (!store.ok())
        return fail(err, store.error());
    if (verifying)
        return verify(runs, out, err);
    list(runs, parser.isSet(QStringLiteral("points")), csv, json, out);
    return Intact;
}
