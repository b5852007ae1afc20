#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// One in-process run of voltadesk-run: its exit status and what it wrote to standard output
// and standard error.
struct RunnerInvocation
{
    int status = -1;
    QString out;
    QString err;

    QStringList outLines() const;
    // The JSON object of a result line (with --json).
    QJsonObject json(int line = 0) const;
    // The "result" field of each result line.
    QStringList results() const;
};

RunnerInvocation invokeRunner(const QStringList &arguments);
