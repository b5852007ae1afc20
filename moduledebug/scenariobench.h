#pragma once

#include "benchinstruments.h"
#include "scenariofailure.h"

class ModuleSession;
class ScenarioMonitor;

#include <QByteArray>
#include <QString>

#include <optional>

// What one metrology scenario works with: the module on the debug window's session and the
// bench instruments it has found. Every step goes through here and carries its own pause
// (100 ms after a module command, the caller's pause after a load line). The first failure
// is kept and turns every later step into a no-op, so a scenario reads as its list of steps
// and looks at ok() only where it must stop looping.
//
// The bench follows the lines that switch the module output and the load input, so that a
// scenario that ends early never leaves the bench live: release() switches off what is still
// on before it lets the instruments go. Every early end, whatever its reason, goes that way,
// a stop asked for by the operator included: it ends the pause under way and fails the
// scenario as Stopped.
//
// The bench reports to the scenario's monitor, if it has one, and under a rehearsing one it
// touches no instrument at all.
class ScenarioBench
{
public:
    ScenarioBench(ModuleSession &session, ScenarioMonitor *monitor);
    // Releases whatever is still held.
    ~ScenarioBench();
    ScenarioBench(const ScenarioBench &) = delete;
    ScenarioBench &operator=(const ScenarioBench &) = delete;

    // Searches the serial ports for the multimeter (set up with configuration, whose query
    // also becomes the measuring query) and, if useLoad, the load.
    bool openInstruments(const MultimeterConfiguration &configuration, bool useLoad);

    // A module command, then 100 ms. The format ends with "\n" itself: a formatted write is
    // sent to the module at the line end of its format, not at one inside an argument.
    void command(const char *format);
    void command(const char *format, double value);
    // A module query read with "%lf"; 0 once failed.
    double query(const char *text);
    // The module's "*IDN?" reply, one white-space-free token of at most 255 characters.
    QString identity();

    // A load line, then pauseMs.
    void loadCommand(const QByteArray &line, int pauseMs);
    // One multimeter reading with the measuring query; none when the meter did not answer
    // in time or once failed.
    std::optional<double> reading();

    // Point k (from 1) of n is about to be set up.
    void pointStarted(int k, int n);
    void pause(int ms);
    // Time an exchange takes on a working bench, told to the monitor as if it were a pause
    // (so a rehearsal counts it) without waiting for it.
    void account(int ms);
    void fail(ScenarioFailure reason);
    bool ok() const { return failed == ScenarioFailure::None; }
    ScenarioFailure failure() const { return failed; }
    ScenarioMonitor *monitor() const { return observer; }
    bool rehearsing() const { return rehearsal; }

    // Multimeter first, then load. After a failure, the module output and the load input are
    // switched off first where they may still be on: each over its own link while that works.
    void release();

private:
    void sent(const char *line, bool written);
    void loadSent(const QByteArray &line, bool written);
    void switchOff();

    ModuleSession &session;
    ScenarioMonitor *const observer;
    const bool rehearsal;
    BenchInstruments instruments;
    QByteArray measuringQuery;
    ScenarioFailure failed = ScenarioFailure::None;
    // Switched on, and not yet known to be off again.
    bool outputLive = false;
    bool loadInputLive = false;
};
