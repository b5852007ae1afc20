#pragma once

#include "scenariofailure.h"

class ModuleSession;
class ScenarioMonitor;

// The automatic voltage calibration: the module's voltage calibration is cleared and stored
// empty, the output is stepped through eleven voltages, each is measured with the multimeter
// and handed back to the module as a calibration point, and the new calibration is stored.
class AutoCalibration
{
public:
    static ScenarioFailure run(ModuleSession &session, ScenarioMonitor *monitor = nullptr);
};
