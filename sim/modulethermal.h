#pragma once

#include <QtGlobal>

// The module's heat-sink temperature: a first-order lag towards ambient plus the dissipated
// power times the thermal resistance, so that it rises slowly (minutes) under load.
class ModuleThermal
{
public:
    // Brings the temperature up to nowMs with the dissipation that held until now, then keeps
    // dissipatedWatts from here on.
    void advance(qint64 nowMs, double dissipatedWatts);
    void reset(qint64 nowMs);
    double temperature() const { return celsius; }

    double ambientCelsius = 25.0;
    double kelvinPerWatt = 0.3;
    double timeConstantMs = 120000.0;

private:
    double celsius = 25.0;
    double watts = 0.0;
    qint64 lastMs = 0;
    bool started = false;
};
