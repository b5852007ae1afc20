#pragma once

#include <QString>
#include <QVector>

// One point of a run as its protocol prints it: the texts, never numbers recomputed from them.
struct PointRecord
{
    int index = 0;
    QString setValue;
    QString measured;  // one or more values, ";" between them
    QString error;     // one or more errors, ";" between them
    QString tolerance; // the limit, without its "±"
    QString verdict;
    QString stored; // the calibration value handed to the module
};

// A reference instrument as the run saw it, and what the register says of it.
struct ReferenceRecord
{
    QString role; // "multimeter" or "load"
    QString port;
    QString serialNumber;
    QString model;       // from the register; empty when not registered
    QString certificate; // from the register
    QString dueDate;     // ISO 8601, from the register
    QString status;      // "valid", "expired" or "unregistered"
};

// One procedure's run as the store keeps it. Times are UTC in ISO 8601.
struct RunRecord
{
    qint64 id = 0;
    QString started;
    QString ended;
    QString station;
    QString operatorName;
    QString programVersion;
    QString resource;
    QString identity;
    QString serial;
    QString procedure; // the runner's key: autocal, vdc, vdcn, vac, idc, idcn, iac
    QString result;    // pass, fail, done, stopped, error
    int failing = 0;
    QString outcome; // the operator's words for how it ended
    QString protocol;
    QString protocolSha256;
    QVector<ReferenceRecord> references;
    QVector<PointRecord> points;
    QString previousHash;
    QString hash;
};
