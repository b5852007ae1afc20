#pragma once

#include <QtGlobal>

#include <limits>

// How one module departs from an ideal converter. The defaults are those of a plausible
// uncalibrated module: its output voltage is off by enough to fail the upper voltage
// verification points until it is calibrated, while its current, stability and ripple stay
// within their limits.
struct OutputImperfections
{
    double voltageGain = 0.002;            // output voltage relative error: +0.2 %
    double voltageOffset = 0.005;          // V
    double voltageReadbackGain = -0.0008;  // the module's own voltage measurement
    double voltageReadbackOffset = -0.002; // V
    double voltageReadbackNoise = 0.0003;  // V, one reading's standard deviation
    double currentGain = 0.001;            // current limit relative error: +0.1 %
    double currentOffset = 0.004;          // A
    double currentReadbackGain = -0.001;   // the module's own current measurement
    double currentReadbackOffset = -0.003; // A
    double currentReadbackNoise = 0.0005;  // A
    double droopPerAmp = 0.0005;           // V/A: the constant voltage sags with load current
    double currentDriftPerVolt = -0.00002; // A/V: the constant current changes with voltage
    double voltageRippleBase = 0.002;      // V rms at no load
    double voltageRipplePerAmp = 0.0003;   // V rms per A of output current
    double currentRippleBase = 0.002;      // A rms in constant current
    double currentRipplePerAmp = 0.001;    // A rms per A of output current
};

// What the bench's electronic load does to the output: in resistance mode with a current cap it
// draws min(V / R, cap) while its input is on; nothing while it is off or not set.
struct ExternalLoad
{
    bool inputOn = false;
    double resistanceOhm = std::numeric_limits<double>::infinity();
    double currentLimitA = 0.0;
};

// The true state of the output terminals (what a multimeter sees).
struct OperatingPoint
{
    enum class Regulation
    {
        Off,
        ConstantVoltage,
        ConstantCurrent,
        Disconnected
    };

    Regulation regulation = Regulation::Off;
    double voltage = 0.0;       // V
    double current = 0.0;       // A
    double voltageRipple = 0.0; // V rms
    double currentRipple = 0.0; // A rms
};

// The module's output stage and the load on its terminals: finds the operating point for the
// converter's drive values (the set-points after calibration) and derives the module's own
// uncorrected read-backs. Pure arithmetic; the caller holds any lock.
class OutputCircuit
{
public:
    OperatingPoint solve(bool converterOn, bool relayClosed, double voltageDrive,
                         double currentDrive) const;
    double rawVoltageReading(double trueVoltage) const;
    double rawCurrentReading(double trueCurrent) const;

    OutputImperfections imperfections;
    ExternalLoad load;
};
