#pragma once

#include "benchports.h"

#include <QStringList>
#include <QVector>

// Who follows a running scenario: the bench reports every point it starts and every pause it
// is asked for, a verification reports the verdicts of its finished protocol, and the bench
// asks before each pause whether the operator wants the scenario stopped. A scenario is handed
// its monitor; with none, it runs unobserved.
//
// A rehearsing monitor runs a scenario without instruments: nothing is sent, no protocol is
// opened, pauses are only counted and every reading comes back present. It tells how much
// pausing a full run of the scenario prescribes, and where each point begins.
class ScenarioMonitor
{
public:
    ScenarioMonitor() = default;
    virtual ~ScenarioMonitor() = default;
    ScenarioMonitor(const ScenarioMonitor &) = delete;
    ScenarioMonitor &operator=(const ScenarioMonitor &) = delete;

    // Point k (from 1) of n is about to be set up.
    virtual void pointStarted(int k, int n) = 0;
    // The bench is about to pause ms (a module command's 100 ms included), or an exchange with
    // the bench instruments is about to take that long on a working bench (a reading's quiet
    // second, the instruments' opening sequences).
    virtual void pausing(int ms) = 0;
    // A verification has written its protocol with failing of its points "не норма".
    virtual void protocolWritten(int points, int failing) = 0;
    // The bench has opened its instruments on these ports (load empty where not used).
    virtual void instrumentsFound(const BenchPort &multimeter, const BenchPort &load)
    {
        (void)multimeter;
        (void)load;
    }
    // The points measured when a scenario ends, however it ended, as the protocol's rows
    // (number first); the calibration's: number, set value, readings, the value stored.
    // identity is the module's "*IDN?" reply where the scenario read it.
    virtual void pointsMeasured(const QVector<QStringList> &rows, const QString &identity)
    {
        (void)rows;
        (void)identity;
    }
    virtual bool stopRequested() const { return false; }
    virtual bool rehearsing() const { return false; }
};
