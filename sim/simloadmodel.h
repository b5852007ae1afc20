#pragma once

#include "outputcircuit.h"

#include <QByteArray>

#include <mutex>

class Rvka5630Model;

// An EA Elektro-Automatik EL 9000-style electronic load on the module's output, used in
// resistance mode with a current cap: while its input is on it draws min(V / R, cap), which
// changes the module's operating point, its CV/CC state, its read-backs and what the bench
// multimeter reads. Handles one command line at a time and never answers (execute() always
// returns an empty reply). Commands: "SYST:LOCK ON|OFF", "INP 1|0|ON|OFF", "VOLT <v>",
// "RES <ohm>", "CURR <amp>", "CURR MAX" (the load's maximum, 60 A). Like the real load it takes
// settings only under remote control: until "SYST:LOCK ON" every setting is ignored. Resistance
// and current start "not set" (the load draws nothing); the voltage setting is stored but takes
// no part in resistance mode. Thread-safe.
class SimLoadModel
{
public:
    static constexpr double maxCurrent = 60.0; // A
    static constexpr double maxVoltage = 80.0; // V

    explicit SimLoadModel(Rvka5630Model *module = nullptr);

    // Binds the load to a module (the previous one is left unloaded).
    void setModule(Rvka5630Model *module);
    QByteArray execute(const QByteArray &line);

    // Inspection.
    bool isLocked() const;
    bool inputOn() const;
    double resistance() const;     // ohm; infinity while not set
    double currentSetting() const; // A; 0 while not set
    double voltageSetting() const; // V
    int ignoredCount() const;      // lines ignored: unknown, malformed or not under remote control

private:
    bool apply(const QByteArray &path, const QByteArray &argument);

    mutable std::mutex lock;
    Rvka5630Model *module;
    ExternalLoad load;
    double voltage = 0.0;
    bool locked = false;
    int ignored = 0;
};
