#pragma once

#include "scenariobench.h"
#include "serialline.h"
#include "verificationprotocol.h"

// What every verification procedure does around its own measurements: it opens its protocol
// file before touching any instrument, finds the multimeter (and the load where it is used),
// and at the end queries the module's identity for the title, writes the protocol and
// releases the instruments, multimeter first. The procedure itself runs between begin() and
// finish() on bench() and fills protocol() with its rows.
class VerificationFrame
{
public:
    struct Procedure
    {
        VerificationProtocol::Layout layout;
        MultimeterConfiguration multimeter;
        bool useLoad;
    };

    VerificationFrame(ModuleSession &session, const Procedure &procedure, ScenarioMonitor *monitor);

    // The protocol file, then the instruments; false (and nothing sent) on failure.
    bool begin(const QString &fName);
    ScenarioBench &bench() { return scenarioBench; }
    VerificationProtocol &protocol() { return verificationProtocol; }
    // Writes the protocol if nothing has failed, releases the instruments (switching off what
    // an early end left on), leaves the protocol file empty after an early end and tells how
    // the procedure ended.
    ScenarioFailure finish();

    // The load's current setting: a setting of 0 or less stands for the load's maximum.
    static QByteArray loadCurrent(double amps);

    // The verdict word of a point: "норма" when it passes, "не норма" when not.
    static QString verdict(bool passes);

private:
    Procedure procedure;
    ScenarioBench scenarioBench;
    VerificationProtocol verificationProtocol;
};
