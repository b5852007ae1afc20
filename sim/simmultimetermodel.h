#pragma once

#include "scpierrorqueue.h"
#include "simnoise.h"

#include <QByteArray>

#include <mutex>

class Rvka5630Model;

// A GW Instek GDM-style bench multimeter wired to the module's output: in parallel for voltage,
// in series for current. Handles one command line at a time and returns the reply bytes
// (empty for commands); the serial line itself belongs to the transport. Readings are the
// module's true output plus the meter's own noise: DC values as they are, AC values as the rms
// of the output's ripple over the meter's noise floor, all formatted like "+1.234567E+01\n".
// Commands: "SYST:REM", "SYST:LOC", "CONF:AUTO ON|OFF", "CONF:VOLT:DC|AC", "CONF:CURR:DC|AC
// MAX,DEF", "MEAS:VOLT:DC?", "MEAS:VOLT:AC? 100e-3,DEF", "MEAS:CURR:DC? MAX,DEF", "MEAS:CURR:AC?
// MAX,DEF", "READ?" (the configured function), "*IDN?", "*RST", "*CLS", "SYST:ERR?". Anything
// else queues "-113,Undefined header" for "SYST:ERR?" and answers nothing. Thread-safe.
class SimMultimeterModel
{
public:
    // Standard deviations of one reading.
    struct Noise
    {
        double voltageFloor = 20e-6;    // V
        double voltageRelative = 5e-6;  // of the reading
        double currentFloor = 5e-6;     // A
        double currentRelative = 20e-6; // of the reading
        double acVoltageFloor = 30e-6;  // V rms the meter reads with no ripple at all
        double acCurrentFloor = 10e-6;  // A rms
    };

    explicit SimMultimeterModel(Rvka5630Model *module = nullptr);

    void setModule(Rvka5630Model *module);
    QByteArray execute(const QByteArray &line);

    // Knobs.
    void setSeed(quint32 seed); // default seed 7
    void setNoise(const Noise &noise);
    void setIdentity(const QByteArray &idn); // default "GW.Instek,GDM8341,GEW000001,1.00"

    // Inspection.
    bool isRemote() const;
    bool autoRange() const;
    QByteArray function() const; // "VOLT:DC", "VOLT:AC", "CURR:DC" or "CURR:AC"
    int readingCount() const;

private:
    QByteArray reading(const QByteArray &function);

    mutable std::mutex lock;
    Rvka5630Model *module;
    SimNoise noise;
    Noise noiseLevels;
    ScpiErrorQueue errors;
    QByteArray identity = "GW.Instek,GDM8341,GEW000001,1.00";
    QByteArray configured = "VOLT:DC";
    bool remote = false;
    bool autoRanging = true;
    int readings = 0;
};
