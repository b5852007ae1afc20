#pragma once

#include "referenceregister.h"
#include "runrecord.h"
#include "scenariorunner.h"

// A scenario's outcome as a run record: the run's fields, its points picked from the
// protocol's own cells (so that record and protocol cannot disagree) and its instruments
// checked against the register.
class ScenarioRecord
{
public:
    // The runner's key of a scenario: autocal, vdc, vdcn, vac, idc, idcn, iac.
    static QString key(Scenario scenario);
    static bool usesLoad(Scenario scenario);
    // The module's serial number, the third field of its identity.
    static QString serialOf(const QString &identity);

    static RunRecord of(const ScenarioOutcome &outcome, const QString &resource,
                        const QString &identity, const ReferenceRegister &references);
};
