#pragma once

#include "scenariofailure.h"

#include <QString>

class ModuleSession;
class ScenarioMonitor;

// The four verifications of how steady the output is, all with the electronic load on the
// output: voltage instability when the load current changes (check_vdcCurr), voltage ripple at
// constant current (check_vacCurr), current instability when the output voltage changes
// (check_idcN) and current ripple (check_iac). Each point is judged right after it has been
// measured; the protocol is written to fName at the end.
class StabilityVerification
{
public:
    static ScenarioFailure checkVdcCurr(ModuleSession &session, const QString &fName,
                                        ScenarioMonitor *monitor = nullptr);
    static ScenarioFailure checkVacCurr(ModuleSession &session, const QString &fName,
                                        ScenarioMonitor *monitor = nullptr);
    static ScenarioFailure checkIdcN(ModuleSession &session, const QString &fName,
                                     ScenarioMonitor *monitor = nullptr);
    static ScenarioFailure checkIac(ModuleSession &session, const QString &fName,
                                    ScenarioMonitor *monitor = nullptr);
};
