#pragma once

#include <QStringList>

class QTextStream;

// voltadesk-run's work, apart from its process: the arguments (without the program's name)
// in, the exit status out. Results go to out, progress and every message to err.
//
//     voltadesk-run list [--json]
//         the modules that discovery finds: resource, identity and placement, one per line
//     voltadesk-run RESOURCE [--autocal] [--vdc FILE] [--vdcn FILE] [--vac FILE] [--idc FILE]
//                   [--idcn FILE] [--iac FILE] [--multimeter PORT] [--load PORT] [--json]
//                   [--overwrite] [--require-record] [--require-references]
//         the chosen scenarios on the module in their fixed order, one result line each, each
//         recorded in the results store (runrecording.h)
//     voltadesk-run results ...
//         the results store read (resultscommand.h)
//
// Exit status: 0 when every point of every scenario is "норма" (and the calibration done),
// 1 when any point is "не норма", 2 when a scenario could not run (a set-up fault among them)
// or was stopped, and for arguments that do not make a run, an instrument that is not an
// RVKA5630 or does not answer, and a protocol that would be replaced without --overwrite;
// 3 when list finds no module. SIGINT and SIGTERM stop the running scenario safely.
class CommandLineRun
{
public:
    enum Status
    {
        AllPass = 0,
        PointsFail = 1,
        NotRun = 2,
        NothingFound = 3,
    };

    static int run(const QStringList &arguments, QTextStream &out, QTextStream &err,
                   bool terminal = false);
};
