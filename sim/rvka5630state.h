#pragma once

#include "calibrationtable.h"
#include "flashmemory.h"
#include "modulethermal.h"
#include "outputcircuit.h"
#include "scpierrorqueue.h"
#include "simnoise.h"

#include <QByteArray>

#include <functional>

// Everything an RVKA5630 module remembers, and the behaviour that follows from it: the
// set-points and switches, the protections, the calibration (working and stored), the debug
// pins and codes, the self-test results, the flash and the error queue. A plain record with
// the module's rules as member functions; Rvka5630Model serialises all access to it.
class Rvka5630State
{
public:
    enum class TriggerRole
    {
        Immediate,
        Master,
        Slave
    };

    static constexpr double maxVoltage = 80.0;    // V, "VOLT? MAX"
    static constexpr double maxCurrent = 12.5;    // A, "CURR? MAX"
    static constexpr double minProtection = 1.0;  // V, "VOLT:PROT? MIN"
    static constexpr double maxProtection = 88.0; // V, "VOLT:PROT? MAX" and the reset level
    static constexpr double resetCurrent = 1.0;   // A, current limit after *RST
    static constexpr double normalPowerLimit = 360.0;
    static constexpr double overPowerLimit = 500.0;
    static constexpr int maxTriggerLine = 12;
    static constexpr int powerOnImageSize = 128 * 1024;

    // Output state codes as the module reports them ("OUTP? STATE").
    enum StateCode
    {
        StateOff = 0,
        StateCV = 1,
        StateCC = 2,
        StateOV = 5,
        StateOC = 6,
        StateCPPlus = 8,
        StateUnregulated = 12,
    };

    Rvka5630State();

    double voltageDrive() const { return voltageCalibration.driveFor(voltageSetpoint); }
    double currentDrive() const { return currentCalibration.driveFor(currentSetpoint); }
    OperatingPoint operatingPoint() const;
    int outputStateCode() const;
    double powerLimit() const { return overPower ? overPowerLimit : normalPowerLimit; }
    bool outputLocked() const { return selfTestStatus != 0 && !ignoreMark; }

    // After every change: trips the protections the new operating point violates and lets the
    // heat sink follow the new dissipation.
    void settle();
    void trip(int faultCode);
    void reset();   // *RST
    void restart(); // the firmware's restart after a flash rewrite: power-on defaults

    // The module's own measurements, with its read-back errors, noise and calibration.
    double measuredVoltage();
    double measuredCurrent();
    double measuredTemperature();
    quint32 rawCode(const QByteArray &name);

    // Identity and placement.
    QByteArray identity = "Korvalis,RVKA5630,0042,1.3";
    QByteArray placeId = "1";
    QByteArray addrId = "7";
    QByteArray switchId = "0";
    QByteArray hardwareVersion = "2.1";
    QByteArray firmwareVersion = "1.3";

    // Working settings.
    double voltageSetpoint = 0.0;
    double currentSetpoint = resetCurrent;
    double protectionLevel = maxProtection;
    bool outputOn = false;
    int fault = 0; // 0 or the latched fault's state code
    bool overPower = false;
    TriggerRole triggerRole = TriggerRole::Immediate;
    int triggerLine = 0;
    int abortLine = 0;
    bool pinOutRelay = false;
    bool pinAdgCtr = false;
    bool pinUlpiStp = false;
    quint16 ibalDac = 2048;
    quint16 pwmValue = 60000;
    quint16 pwmP = 1500;
    quint16 pwmI = 20;
    quint16 pwmD = 0;
    bool ignoreMark = false;

    // Self-test.
    int selfTestStatus = 0;
    QByteArray selfTestVerdict = "0";
    int selfTestDelayMs = 8000;
    QByteArray selfTestRecords;

    // Calibration and the physics it corrects.
    CalibrationTable voltageCalibration;
    CalibrationTable currentCalibration;
    CalibrationTable storedVoltageCalibration;
    CalibrationTable storedCurrentCalibration;
    OutputCircuit circuit;
    double powerTripMargin = 0.02;
    ModuleThermal thermal;
    std::function<qint64()> clock;
    SimNoise noise;

    ScpiErrorQueue errors;

    // Flash and restart, with the faults tests can arm.
    FlashMemory flash;
    int restartMs = 8000;
    int pendingRestartMs = 0;
    int restartCount = 0;
    bool rejectErase = false;
    int blockWritesUntilFailure = 0; // counts down; the write that reaches 0 fails
    int memReadsUntilCorruption = 0; // counts down; the read that reaches 0 is corrupted
    int memReadSurplus = 0;

    int deviceClears = 0;

private:
    double dissipatedWatts(const OperatingPoint &point) const;
    void resetCodes();
};
