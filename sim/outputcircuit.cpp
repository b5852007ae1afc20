#include "outputcircuit.h"

#include <cmath>

OperatingPoint OutputCircuit::solve(bool converterOn, bool relayClosed, double voltageDrive,
                                    double currentDrive) const
{
    using Regulation = OperatingPoint::Regulation;
    OperatingPoint point;
    if (!converterOn)
        return point;
    if (!relayClosed) {
        point.regulation = Regulation::Disconnected;
        return point;
    }
    const OutputImperfections &e = imperfections;
    const double openVoltage = qMax(0.0, voltageDrive * (1.0 + e.voltageGain) + e.voltageOffset);
    const double limitAtZero = qMax(0.0, currentDrive * (1.0 + e.currentGain) + e.currentOffset);
    auto currentLimitAt = [&](double v) {
        return qMax(0.0, limitAtZero + e.currentDriftPerVolt * v);
    };
    const double r = load.resistanceOhm;
    const bool drawing = load.inputOn && load.currentLimitA > 0.0 && r > 0.0 && std::isfinite(r);

    // Constant voltage: the load takes what it wants at the sagging output voltage.
    double v = openVoltage;
    double i = 0.0;
    bool resistive = true;
    if (drawing) {
        v = openVoltage / (1.0 + e.droopPerAmp / r);
        i = v / r;
        if (i > load.currentLimitA) {
            i = load.currentLimitA;
            v = qMax(0.0, openVoltage - e.droopPerAmp * i);
            resistive = false;
        }
    }
    if (i <= currentLimitAt(v)) {
        point.regulation = Regulation::ConstantVoltage;
        point.voltage = v;
        point.current = i;
        point.voltageRipple = e.voltageRippleBase + e.voltageRipplePerAmp * i;
        if (drawing)
            point.currentRipple = resistive ? point.voltageRipple / r : e.currentRippleBase;
        return point;
    }

    // Constant current: the voltage falls until the load's resistance takes the limit.
    v = r * limitAtZero / (1.0 - e.currentDriftPerVolt * r);
    i = v / r;
    if (i > load.currentLimitA && e.currentDriftPerVolt != 0.0) {
        // The load's cap sits between the limit at full and at reduced voltage: the output
        // settles where the drifting limit meets the cap.
        i = load.currentLimitA;
        v = qBound(0.0, (i - limitAtZero) / e.currentDriftPerVolt, openVoltage);
    }
    point.regulation = Regulation::ConstantCurrent;
    point.voltage = v;
    point.current = i;
    point.currentRipple = e.currentRippleBase + e.currentRipplePerAmp * i;
    point.voltageRipple = point.currentRipple * qMin(r, v / qMax(i, 1e-9));
    return point;
}

double OutputCircuit::rawVoltageReading(double trueVoltage) const
{
    return trueVoltage * (1.0 + imperfections.voltageReadbackGain) +
           imperfections.voltageReadbackOffset;
}

double OutputCircuit::rawCurrentReading(double trueCurrent) const
{
    return trueCurrent * (1.0 + imperfections.currentReadbackGain) +
           imperfections.currentReadbackOffset;
}
