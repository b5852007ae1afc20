#pragma once

#include <QString>
#include <QTemporaryDir>

// A PostgreSQL server of Debian's postgresql package for one test: its cluster in a temporary
// folder, listening on a Unix socket there and on no TCP port, run as an ordinary user (the
// server refuses root; the tests are root of their user namespace, so the server gets a user
// namespace of its own where it is user 1000). Trust authentication, one database.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();

    // initdb (first time only), start and wait until it takes connections; false with the
    // tools' output in problem() when it did not come up.
    bool start();
    // Fast shutdown, waiting for the server to exit.
    void stop();
    // Fast shutdown without waiting, from inside a running procedure.
    void signalStop();
    bool createDatabase(const QString &name);

    // The store address for VOLTADESK_RESULTS.
    QString url(const QString &database) const;
    QString problem() const { return why; }
    static bool available();

private:
    bool tool(const QString &name, const QStringList &arguments);

    QTemporaryDir folder;
    QString why;
    bool running = false;
};
