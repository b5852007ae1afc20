#pragma once

#include "resultslocation.h"
#include "runrecord.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <QVector>

// What a listing asks for; empty fields do not narrow it.
struct RunFilter
{
    QString serial;
    QString procedure;
    QString since; // ISO 8601 date or time, compared with the start (UTC)
};

// One connection to the results store, SQLite or PostgreSQL, with the same schema, migrations
// and queries on both. Opening creates the store on first use and brings its schema up to the
// current version. A record is written in one transaction with the store's write lock held, so
// that two stations recording at once both succeed and the hash chain stays a chain; a record
// that cannot be written leaves nothing behind. Nothing here ever deletes, truncates or
// re-creates a store file: a file that is not a store is reported, not repaired.
class ResultsStore
{
public:
    static constexpr int schemaVersion = 2;

    explicit ResultsStore(const ResultsLocation &location);
    ~ResultsStore();
    ResultsStore(const ResultsStore &) = delete;
    ResultsStore &operator=(const ResultsStore &) = delete;

    bool open();
    // Why the last call failed, in the operator's words with the driver's own.
    QString error() const { return problem; }

    // Assigns the run its id and its place in the chain (previous hash and hash) and writes it
    // with its points and references; false, and nothing written, on failure.
    bool record(RunRecord &run);

    // The runs that match, oldest first, with their points and references when asked.
    QVector<RunRecord> runs(const RunFilter &filter, bool withPoints);
    bool ok() const { return problem.isEmpty(); }

private:
    bool exec(const QString &statement);
    bool useWriteAheadLog();
    bool begin();
    bool commit();
    void rollback();
    bool current();
    bool migrate();
    bool insertRun(const RunRecord &run);
    bool insertPoints(const RunRecord &run);
    bool insertReferences(const RunRecord &run);
    void attachDetails(QVector<RunRecord> &found, const QString &where, const QVariantList &values);
    bool failed(const QString &what, const QString &detail);

    ResultsLocation location;
    QString connection;
    QString problem;
};
