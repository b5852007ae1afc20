#pragma once

#include <QStringList>

class QTextStream;

// voltadesk-run results: the store read from the command line.
//
//     voltadesk-run results [--serial S] [--procedure P] [--since DATE] [--points] [--csv|--json]
//         the runs that match, oldest first, one line each; with --points one line per point
//     voltadesk-run results --verify
//         walks the hash chain and re-hashes each protocol still on disk (the newest record
//         of each path: a later run may write over an earlier one's protocol)
//
// Exit status: 0 when listed or all intact, 1 when --verify found a change, 2 when the store
// cannot be read or the arguments make no sense.
class ResultsCommand
{
public:
    static const QString name;
    static int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
};
