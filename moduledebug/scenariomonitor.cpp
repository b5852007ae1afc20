#include "scenariomonitor.h"

namespace {
// Scenarios run on the GUI thread only.
ScenarioMonitor *current = nullptr;
} // namespace

ScenarioMonitor::ScenarioMonitor() : outer(current)
{
    current = this;
}

ScenarioMonitor::~ScenarioMonitor()
{
    current = outer;
}

ScenarioMonitor *ScenarioMonitor::active()
{
    return current;
}
