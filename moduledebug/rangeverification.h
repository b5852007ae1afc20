#pragma once

#include "scenariofailure.h"

#include <QString>

class ModuleSession;
class ScenarioMonitor;

// The two range-and-error verifications: the output voltage against the multimeter alone
// (check_vdc) and the output current with the electronic load on the output (check_idc). Every
// point is measured first, then all are judged against the procedure's tolerance bands and the
// protocol is written to fName.
class RangeVerification
{
public:
    static ScenarioFailure checkVdc(ModuleSession &session, const QString &fName,
                                    ScenarioMonitor *monitor = nullptr);
    static ScenarioFailure checkIdc(ModuleSession &session, const QString &fName,
                                    ScenarioMonitor *monitor = nullptr);
};
