#include "modulethermal.h"

#include <cmath>

void ModuleThermal::advance(qint64 nowMs, double dissipatedWatts)
{
    if (!started) {
        reset(nowMs);
    } else if (nowMs > lastMs) {
        const double target = ambientCelsius + kelvinPerWatt * watts;
        const double decay = std::exp(-double(nowMs - lastMs) / qMax(1.0, timeConstantMs));
        celsius = target + (celsius - target) * decay;
        lastMs = nowMs;
    }
    watts = dissipatedWatts;
}

void ModuleThermal::reset(qint64 nowMs)
{
    celsius = ambientCelsius;
    lastMs = nowMs;
    started = true;
}
