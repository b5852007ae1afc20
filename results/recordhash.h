#pragma once

#include "runrecord.h"

#include <QByteArray>
#include <QString>

// The tamper evidence of the store: each run's hash is the SHA-256 (hex) over the previous
// run's hash and the run's canonical content, so changing any stored run, point or reference,
// or removing a run, breaks the chain from there on.
class RecordHash
{
public:
    // One "name=value" line per field in a fixed order, then one line per reference (by role)
    // and per point (by index); the id and the hashes themselves are not part of it.
    static QByteArray canonical(const RunRecord &run);
    static QString of(const RunRecord &run);
    static QString ofBytes(const QByteArray &bytes);
};
