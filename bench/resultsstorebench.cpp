// The results store's costs on both back ends, SQLite in a temporary file and PostgreSQL on a
// server of its own (Debian's postgresql package, started in a temporary folder): recording one
// run as a station records it (open, write lock, one transaction), listing the 10,000 runs of
// one module, and reading the points of one procedure over a module's 100 runs. The store is
// filled in bulk first. Prints each figure with its limit; exits 1 when any is over. Run:
//   scripts/in-netns build/bench/resultsstorebench
#include "postgresserver.h"
#include "resultsstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int listedRuns = 10000;
constexpr int pointRuns = 100;
constexpr int pointsPerRun = 11;
constexpr int recordings = 20;
constexpr qint64 recordLimitMs = 50;
constexpr qint64 listLimitMs = 200;

RunRecord sampleRun(const QString &serial, int i)
{
    RunRecord run;
    run.started = run.ended =
        QStringLiteral("2026-%1-01T10:00:00.000Z").arg(1 + i % 12, 2, 10, QChar('0'));
    run.station = QStringLiteral("station-1");
    run.serial = serial;
    run.procedure = QStringLiteral("vdc");
    run.result = QStringLiteral("pass");
    run.outcome = QStringLiteral("все точки \"норма\"");
    for (int k = 1; k <= pointsPerRun; ++k)
        run.points.append(
            {k, QString::number(k * 7), "10.0012;10.0009", "-1.2;0.3", "0.055", "норма", {}});
    return run;
}

// Bulk rows straight into the tables, in one transaction: the figures are about reading and
// about one more record, not about how the store was filled.
bool fill(const ResultsLocation &location)
{
    {
        ResultsStore store(location);
        if (!store.open())
            return false;
    }
    bool done = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(location.postgres ? "QPSQL" : "QSQLITE", "fill");
        db.setDatabaseName(location.postgres ? location.database : location.file);
        db.setHostName(location.host);
        db.setUserName(location.user);
        done = db.open() && db.transaction();
        QSqlQuery run(db);
        run.prepare("INSERT INTO runs (id, started, ended, station, serial, procedure_key, result, "
                    "failing, outcome, hash) VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, 'x')");
        QSqlQuery point(db);
        point.prepare("INSERT INTO points (run_id, idx, set_value, measured, error, tolerance, "
                      "verdict) VALUES (?, ?, ?, ?, ?, ?, ?)");
        for (int id = 1; done && id <= listedRuns + pointRuns; ++id) {
            const RunRecord sample = sampleRun(id <= listedRuns ? "A-0001" : "B-0002", id);
            for (const QVariant &value :
                 {QVariant(id), QVariant(sample.started), QVariant(sample.ended),
                  QVariant(sample.station), QVariant(sample.serial), QVariant(sample.procedure),
                  QVariant(sample.result), QVariant(sample.outcome)})
                run.addBindValue(value);
            done = run.exec();
            for (const PointRecord &p : sample.points) {
                for (const QVariant &value :
                     {QVariant(id), QVariant(p.index), QVariant(p.setValue), QVariant(p.measured),
                      QVariant(p.error), QVariant(p.tolerance), QVariant(p.verdict)})
                    point.addBindValue(value);
                done = done && point.exec();
            }
        }
        done = done && db.commit();
        run.clear();
        point.clear();
        db.close();
    }
    QSqlDatabase::removeDatabase("fill");
    return done;
}

qint64 median(QVector<qint64> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.at(samples.size() / 2);
}

bool report(const char *what, qint64 ms, qint64 limit)
{
    std::printf("  %-44s %6lld ms  (limit %lld ms)%s\n", what, static_cast<long long>(ms),
                static_cast<long long>(limit), ms < limit ? "" : "  OVER");
    return ms < limit;
}

bool measure(const char *name, const ResultsLocation &location)
{
    std::printf("%s\n", name);
    if (!fill(location)) {
        std::printf("  could not fill the store\n");
        return false;
    }
    QVector<qint64> records;
    qint64 worst = 0;
    for (int i = 0; i < recordings; ++i) {
        QElapsedTimer clock;
        clock.start();
        ResultsStore store(location);
        RunRecord run = sampleRun("C-0003", i);
        if (!store.open() || !store.record(run)) {
            std::printf("  record failed: %s\n", qPrintable(store.error()));
            return false;
        }
        records.append(clock.elapsed());
        worst = std::max(worst, records.last());
    }
    ResultsStore store(location);
    store.open();
    QElapsedTimer clock;
    clock.start();
    const int listed = store.runs({"A-0001", {}, {}}, false).size();
    const qint64 listMs = clock.elapsed();
    clock.restart();
    int points = 0;
    for (const RunRecord &run : store.runs({"B-0002", "vdc", {}}, true))
        points += run.points.size();
    const qint64 pointsMs = clock.elapsed();
    bool ok = listed == listedRuns && points == pointRuns * pointsPerRun;
    ok = report("record one run (median of 20)", median(records), recordLimitMs) && ok;
    ok = report("record one run (slowest of 20)", worst, recordLimitMs) && ok;
    ok = report("list 10,000 runs of one module", listMs, listLimitMs) && ok;
    ok = report("points of one procedure over 100 runs", pointsMs, listLimitMs) && ok;
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    ResultsLocation sqlite;
    sqlite.file = dir.filePath("results.sqlite");
    bool ok = measure("SQLite", sqlite);
    PostgresServer server;
    if (!PostgresServer::available() || !server.start() || !server.createDatabase("results")) {
        std::printf("PostgreSQL: no server (%s)\n", qPrintable(server.problem()));
        return 1;
    }
    ok = measure("PostgreSQL", ResultsLocation::parse(server.url("results"))) && ok;
    return ok ? 0 : 1;
}
