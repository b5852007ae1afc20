#pragma once

#include <QString>

// Where the results go. By default an SQLite file in the program's data folder; a PostgreSQL
// store shared by the stations of a line when configured, as
//     postgresql://user@host:port/database
// (host may be a socket folder, "%2F" for each "/"; port and user may be left out). The
// password never appears here: libpq takes it from ~/.pgpass, PGPASSFILE or PGPASSWORD. A
// plain path names an SQLite file elsewhere.
//
// The setting comes from the environment variable VOLTADESK_RESULTS, else from the value
// "results/location" of the user's voltaDesk settings.
struct ResultsLocation
{
    bool postgres = false;
    QString file; // SQLite
    QString user; // PostgreSQL, from here on
    QString host;
    int port = -1;
    QString database;
    QString problem; // why the text does not name a store; empty when it does

    static ResultsLocation parse(const QString &text);
    static ResultsLocation configured();
    static QString defaultFile();

    // For messages and listings; never carries a password.
    QString display() const;
};
