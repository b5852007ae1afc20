#include "resultsstore.h"

#include "recordhash.h"

#include <QAtomicInt>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QVariant>

namespace {

// Long enough for another station's record, which takes milliseconds, to finish first.
constexpr int busyTimeoutMs = 10000;
constexpr int journalRetryMs = 10;
constexpr int connectTimeoutSeconds = 5;

QAtomicInt connections;

// Each step of the schema, in order; a store at version v has had steps 1..v applied.
const char *const migrations[][4] = {
    {"CREATE TABLE runs (id BIGINT PRIMARY KEY, started TEXT NOT NULL, ended TEXT NOT NULL, "
     "station TEXT, operator_name TEXT, program_version TEXT, resource TEXT, identity TEXT, "
     "serial TEXT, procedure_key TEXT NOT NULL, result TEXT NOT NULL, failing INTEGER, "
     "outcome TEXT, protocol TEXT, protocol_sha256 TEXT, previous_hash TEXT, hash TEXT NOT NULL)",
     "CREATE TABLE points (run_id BIGINT NOT NULL REFERENCES runs(id), idx INTEGER NOT NULL, "
     "set_value TEXT, measured TEXT, error TEXT, tolerance TEXT, verdict TEXT, "
     "PRIMARY KEY (run_id, idx))",
     "CREATE INDEX runs_by_serial ON runs (serial, procedure_key, id)", nullptr},
    {"ALTER TABLE points ADD COLUMN stored TEXT",
     "CREATE TABLE run_references (run_id BIGINT NOT NULL REFERENCES runs(id), "
     "role TEXT NOT NULL, port TEXT, serial_number TEXT, model TEXT, certificate TEXT, "
     "due_date TEXT, status TEXT, PRIMARY KEY (run_id, role))",
     nullptr, nullptr},
};

const char *const runColumns =
    "id, started, ended, station, operator_name, program_version, resource, identity, serial, "
    "procedure_key, result, failing, outcome, protocol, protocol_sha256, previous_hash, hash";

} // namespace

ResultsStore::ResultsStore(const ResultsLocation &where)
    : location(where),
      connection(QStringLiteral("voltadesk-results-%1").arg(connections.fetchAndAddRelaxed(1)))
{
}

ResultsStore::~ResultsStore()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
}

bool ResultsStore::failed(const QString &what, const QString &detail)
{
    problem =
        what + (detail.trimmed().isEmpty() ? QString() : QStringLiteral(": ") + detail.trimmed());
    return false;
}

bool ResultsStore::open()
{
    problem.clear();
    if (!location.problem.isEmpty())
        return failed(location.problem, QString());
    QSqlDatabase db = QSqlDatabase::addDatabase(
        location.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connection);
    if (!db.isValid())
        return failed(QStringLiteral("нет драйвера базы данных"), db.lastError().text());
    if (location.postgres) {
        db.setHostName(location.host);
        if (location.port >= 0)
            db.setPort(location.port);
        db.setUserName(location.user);
        db.setDatabaseName(location.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(connectTimeoutSeconds));
    } else {
        // The folder is made on first use; the file itself only by SQLite, never over one.
        QDir().mkpath(QFileInfo(location.file).absolutePath());
        db.setDatabaseName(location.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    }
    if (!db.open())
        return failed(QStringLiteral("не удалось открыть хранилище ") + location.display(),
                      db.lastError().text());
    // The server's notices (a table that already exists) are not the operator's business.
    if (location.postgres && !exec(QStringLiteral("SET client_min_messages TO warning")))
        return false;
    // Readers never block the writer and a second writer waits its turn.
    if (!location.postgres &&
        (!useWriteAheadLog() || !exec(QStringLiteral("PRAGMA foreign_keys=ON"))))
        return false;
    return migrate();
}

// Switching the journal takes the whole file for a moment, and SQLite does not wait for that
// with the busy time-out: a second program opening a new store at the same instant is told
// "locked" at once. It tries again for as long as the busy time-out would have waited.
bool ResultsStore::useWriteAheadLog()
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QSqlQuery query(QSqlDatabase::database(connection, false));
        if (query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return true;
        const QString code = query.lastError().nativeErrorCode();
        const bool busy = code == QLatin1String("5") || code == QLatin1String("6");
        if (!busy || waited.elapsed() >= busyTimeoutMs)
            return failed(QStringLiteral("ошибка хранилища ") + location.display(),
                          query.lastError().text());
        QThread::msleep(journalRetryMs);
    }
}

bool ResultsStore::exec(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.exec(statement))
        return true;
    return failed(QStringLiteral("ошибка хранилища ") + location.display(),
                  query.lastError().text());
}

// The write lock: SQLite's reserved lock, PostgreSQL's lock on the version table. Every
// writer takes the same one, so records and migrations follow one another.
bool ResultsStore::begin()
{
    if (!location.postgres)
        return exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (!exec(QStringLiteral("BEGIN")))
        return false;
    if (exec(QStringLiteral("LOCK TABLE schema_version IN EXCLUSIVE MODE")))
        return true;
    rollback();
    return false;
}

bool ResultsStore::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void ResultsStore::rollback()
{
    QSqlQuery(QSqlDatabase::database(connection, false)).exec(QStringLiteral("ROLLBACK"));
}

// A store already at this version is only read: a listing works on a store it may not write.
bool ResultsStore::current()
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return query.exec(QStringLiteral("SELECT version FROM schema_version")) && query.next() &&
           query.value(0).toInt() == schemaVersion;
}

bool ResultsStore::migrate()
{
    if (current())
        return true;
    // Two PostgreSQL sessions creating the table at the same moment may collide in the
    // catalogue; the one that lost finds the table there when it tries again.
    const QString versionTable =
        QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    // PostgreSQL's write lock is on the version table, which must exist before it can be
    // taken. SQLite's is taken first: a statement that read the schema before another process
    // wrote it would fail at once, without waiting its turn.
    if (location.postgres && !exec(versionTable) && !exec(versionTable))
        return false;
    problem.clear();
    if (!begin())
        return false;
    if (!location.postgres && !exec(versionTable)) {
        const QString why = problem;
        rollback();
        problem = why;
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(QStringLiteral("SELECT version FROM schema_version"))) {
        rollback();
        return failed(QStringLiteral("ошибка хранилища ") + location.display(),
                      query.lastError().text());
    }
    const bool versioned = query.next();
    const int version = versioned ? query.value(0).toInt() : 0;
    query.finish();
    if (version > schemaVersion) {
        rollback();
        return failed(QStringLiteral("хранилище %1 новее программы (схема %2, программа знает %3)")
                          .arg(location.display())
                          .arg(version)
                          .arg(schemaVersion),
                      QString());
    }
    bool done = versioned || exec(QStringLiteral("INSERT INTO schema_version VALUES (0)"));
    for (int step = version; done && step < schemaVersion; ++step)
        for (const char *statement : migrations[step])
            if (done && statement)
                done = exec(QString::fromLatin1(statement));
    if (done && version < schemaVersion)
        done = exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(schemaVersion));
    if (!done) {
        const QString why = problem;
        rollback();
        problem = why;
        return false;
    }
    return commit();
}

bool ResultsStore::record(RunRecord &run)
{
    problem.clear();
    if (!QSqlDatabase::database(connection, false).isOpen() && !open())
        return false;
    if (!begin())
        return false;
    QSqlQuery last(QSqlDatabase::database(connection, false));
    bool done = last.exec(QStringLiteral("SELECT id, hash FROM runs ORDER BY id DESC LIMIT 1"));
    if (!done)
        failed(QStringLiteral("ошибка хранилища ") + location.display(), last.lastError().text());
    run.id = done && last.next() ? last.value(0).toLongLong() + 1 : 1;
    run.previousHash = run.id > 1 ? last.value(1).toString() : QString();
    last.finish();
    run.hash = RecordHash::of(run);
    done = done && insertRun(run) && insertPoints(run) && insertReferences(run);
    if (!done) {
        const QString why = problem;
        rollback();
        problem = why;
        run.id = 0;
        return false;
    }
    if (!commit()) {
        run.id = 0;
        return false;
    }
    return true;
}

bool ResultsStore::insertRun(const RunRecord &run)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT INTO runs (%1) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                      .arg(QLatin1String(runColumns)));
    for (const QVariant &value :
         {QVariant(run.id), QVariant(run.started), QVariant(run.ended), QVariant(run.station),
          QVariant(run.operatorName), QVariant(run.programVersion), QVariant(run.resource),
          QVariant(run.identity), QVariant(run.serial), QVariant(run.procedure),
          QVariant(run.result), QVariant(run.failing), QVariant(run.outcome),
          QVariant(run.protocol), QVariant(run.protocolSha256), QVariant(run.previousHash),
          QVariant(run.hash)})
        query.addBindValue(value);
    if (query.exec())
        return true;
    return failed(QStringLiteral("ошибка записи в хранилище ") + location.display(),
                  query.lastError().text());
}

bool ResultsStore::insertPoints(const RunRecord &run)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT INTO points (run_id, idx, set_value, measured, error, "
                                 "tolerance, verdict, stored) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const PointRecord &point : run.points) {
        for (const QVariant &value :
             {QVariant(run.id), QVariant(point.index), QVariant(point.setValue),
              QVariant(point.measured), QVariant(point.error), QVariant(point.tolerance),
              QVariant(point.verdict), QVariant(point.stored)})
            query.addBindValue(value);
        if (!query.exec())
            return failed(QStringLiteral("ошибка записи в хранилище ") + location.display(),
                          query.lastError().text());
    }
    return true;
}

bool ResultsStore::insertReferences(const RunRecord &run)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT INTO run_references (run_id, role, port, serial_number, "
                                 "model, certificate, due_date, status) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const ReferenceRecord &reference : run.references) {
        for (const QVariant &value : {QVariant(run.id), QVariant(reference.role),
                                      QVariant(reference.port), QVariant(reference.serialNumber),
                                      QVariant(reference.model), QVariant(reference.certificate),
                                      QVariant(reference.dueDate), QVariant(reference.status)})
            query.addBindValue(value);
        if (!query.exec())
            return failed(QStringLiteral("ошибка записи в хранилище ") + location.display(),
                          query.lastError().text());
    }
    return true;
}

QVector<RunRecord> ResultsStore::runs(const RunFilter &filter, bool withPoints)
{
    problem.clear();
    QVector<RunRecord> found;
    if (!QSqlDatabase::database(connection, false).isOpen() && !open())
        return found;
    QStringList conditions;
    QVariantList values;
    const std::pair<const QString *, const char *> narrowing[] = {
        {&filter.serial, "serial = ?"},
        {&filter.procedure, "procedure_key = ?"},
        {&filter.since, "started >= ?"},
    };
    for (const auto &[value, condition] : narrowing)
        if (!value->isEmpty()) {
            conditions.append(QLatin1String(condition));
            values.append(*value);
        }
    const QString where =
        conditions.isEmpty() ? QString()
                             : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT %1 FROM runs%2 ORDER BY id").arg(QLatin1String(runColumns), where));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        failed(QStringLiteral("ошибка чтения хранилища ") + location.display(),
               query.lastError().text());
        return found;
    }
    while (query.next()) {
        RunRecord run;
        run.id = query.value(0).toLongLong();
        QString *texts[] = {&run.started,        &run.ended,    &run.station,  &run.operatorName,
                            &run.programVersion, &run.resource, &run.identity, &run.serial,
                            &run.procedure,      &run.result};
        for (int i = 0; i < int(std::size(texts)); ++i)
            *texts[i] = query.value(1 + i).toString();
        run.failing = query.value(11).toInt();
        run.outcome = query.value(12).toString();
        run.protocol = query.value(13).toString();
        run.protocolSha256 = query.value(14).toString();
        run.previousHash = query.value(15).toString();
        run.hash = query.value(16).toString();
        found.append(run);
    }
    if (withPoints && !found.isEmpty())
        attachDetails(found, where, values);
    return found;
}

// Points and references of the runs found, in two queries over the same condition.
void ResultsStore::attachDetails(QVector<RunRecord> &found, const QString &where,
                                 const QVariantList &values)
{
    QHash<qint64, int> byId;
    for (int i = 0; i < found.size(); ++i)
        byId.insert(found.at(i).id, i);
    const QString runIds = QStringLiteral("SELECT id FROM runs") + where;
    QSqlQuery points(QSqlDatabase::database(connection, false));
    points.setForwardOnly(true);
    points.prepare(QStringLiteral("SELECT run_id, idx, set_value, measured, error, tolerance, "
                                  "verdict, stored FROM points WHERE run_id IN (%1) "
                                  "ORDER BY run_id, idx")
                       .arg(runIds));
    for (const QVariant &value : values)
        points.addBindValue(value);
    if (!points.exec()) {
        failed(QStringLiteral("ошибка чтения хранилища ") + location.display(),
               points.lastError().text());
        return;
    }
    while (points.next()) {
        const int at = byId.value(points.value(0).toLongLong(), -1);
        if (at < 0)
            continue;
        found[at].points.append({points.value(1).toInt(), points.value(2).toString(),
                                 points.value(3).toString(), points.value(4).toString(),
                                 points.value(5).toString(), points.value(6).toString(),
                                 points.value(7).toString()});
    }
    QSqlQuery references(QSqlDatabase::database(connection, false));
    references.setForwardOnly(true);
    references.prepare(QStringLiteral("SELECT run_id, role, port, serial_number, model, "
                                      "certificate, due_date, status FROM run_references "
                                      "WHERE run_id IN (%1) ORDER BY run_id, role")
                           .arg(runIds));
    for (const QVariant &value : values)
        references.addBindValue(value);
    if (!references.exec()) {
        failed(QStringLiteral("ошибка чтения хранилища ") + location.display(),
               references.lastError().text());
        return;
    }
    while (references.next()) {
        const int at = byId.value(references.value(0).toLongLong(), -1);
        if (at >= 0)
            found[at].references.append(
                {references.value(1).toString(), references.value(2).toString(),
                 references.value(3).toString(), references.value(4).toString(),
                 references.value(5).toString(), references.value(6).toString(),
                 references.value(7).toString()});
    }
}
