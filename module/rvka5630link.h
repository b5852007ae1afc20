#pragma once

#include "modulesession.h"
#include "triggerconfiguration.h"

#include <optional>

// The module panel's operations on an RVKA5630 module. Each runs its commands as one chain on
// the session, in the module's order, and stops at the first call that does not succeed
// (warnings included). Read-backs hand over what they read before a failure: the panel shows
// it and then asks to be closed.
class Rvka5630Link
{
public:
    struct Range
    {
        double minimum = 0;
        double maximum = 0;
    };
    // Each range is present only when both of its queries succeeded.
    struct Limits
    {
        std::optional<Range> voltage, current, protection;
    };
    struct Measurements
    {
        std::optional<double> voltage, current;
        std::optional<int> stateCode;
        std::optional<double> temperature;
    };
    struct Settings
    {
        std::optional<double> voltage, current, protection;
        std::optional<int> outputCode;
        std::optional<TriggerConfiguration> triggerSource; // role and line
        std::optional<int> abortLine;
        std::optional<int> overPower;
    };

    explicit Rvka5630Link(ModuleSession &session) : session(session) {}

    bool readLimits(Limits &limits) const;
    bool readMeasurements(Measurements &measurements) const;
    bool readSettings(Settings &settings) const;

    bool setOutput(bool on) const;
    bool clearFaults() const;
    // Protection level first, so that the module never holds a voltage above the old level.
    bool setParameters(double protection, double voltage, double current) const;
    // The configuration must be acceptable(); a trigger line of 0 sets the immediate source.
    bool configureTriggers(const TriggerConfiguration &configuration) const;
    bool setPowerMode(int mode) const;
    bool reset() const;

private:
    ModuleSession &session;
};
