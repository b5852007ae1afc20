#pragma once

#include "calibrationtable.h"
#include "modelreply.h"
#include "outputcircuit.h"

#include <QByteArray>
#include <QVector>

#include <functional>
#include <memory>
#include <mutex>

class Rvka5630State;

// One simulated RVKA5630 power module: its command set, its output circuit with the bench's
// electronic load on it, its calibration, self-test and flash. Every member is thread-safe:
// the VXI-11 link threads, the serial instruments of the bench and the test thread may call
// it at the same time.
//
// Behaviour worth knowing when writing tests:
// - Output: constant voltage at the (calibrated) voltage set-point unless the load wants more
//   than the current limit, then constant current; "OUTP? STATE" reports 0 off, 1 CV, 2 CC,
//   12 UNREG (output on but the output relay opened with "PIN:OUTRELE 0"), or a latched fault.
// - Protections latch a fault and switch the output off: 5 OV when the true output voltage
//   exceeds the "VOLT:PROT" level (1..88 V, 88 V after *RST), 8 CP PLUS when the output power
//   exceeds the power limit (360 W, or 500 W after "OVPOWER 1") by more than the trip margin.
//   "OUTP:PROT:CLE" clears the fault; "OUTP 1" is refused (-221) while a fault is latched and
//   while the self-test status is non-zero and "OUTP:PROT:IGNORE" has not been sent.
// - Limits: voltage 0..80 V, current 0..12.5 A (1 A after *RST), OVP 1..88 V.
// - Physics with the default imperfections: the output voltage is 0.2 % + 5 mV high and sags
//   0.5 mV/A, the current limit is 0.1 % + 4 mA high and falls 0.02 mA per volt of output, the
//   read-backs have their own errors and noise, ripple is 2 mV + 0.3 mV/A (CV) and 2 mA +
//   1 mA/A (CC). Uncalibrated, the voltage verification points from 10 V up fail their limits;
//   after the automatic calibration all pass; current, stability and ripple pass either way.
// - Calibration: "CAL:VOLT m" / "CAL:CURR m" (output on) record the drive applied now and the
//   module's raw read-back against the measured true value m; the working calibration acts at
//   once, "CAL:SAVE" stores it, *RST keeps it, a restart reloads the stored one.
// - *RST: output off, 0 V, 1 A, OVP 88 V, 360 W, trigger IMM, abort line 0, pins 0, faults
//   cleared; calibration, debug codes and the self-test ignore mark are kept. A restart (after
//   "FLASH:TEMP:FIRMWARE" or "FLASH:REWRITE2") also resets the codes, the ignore mark, the
//   error queue and the working calibration.
// - Debug codes: "CODE:VDROP?" and "CODE:IBAL?" are the 16-bit read-back ADC codes (90 V and
//   13.75 A full scale), "CODE:FBVDROP?" the 12-bit voltage feedback (90 V), "CODE:FBVNS?" the
//   12-bit unstabilised bus (output + 6 V, 120 V full scale; 0 with the output off). Status
//   pins: OVVOUT (fault OV), CVCTR (CV), CCCTR (CC), TTFOVC (fault CP PLUS), OCP (fault OC).
// - Flash: "FLASH:TEMP:ERASE n" (whole 128 KiB sectors of the intermediate area),
//   "FLASH:TEMP:WRITE2 0x<offset>,<len>,#<block>" (strict; any malformed header or byte
//   count writes nothing and queues -161), "MEMREAD? 0x<a>,0x<len>"
//   (a definite-length block, no line feed; out of range: -222 and no reply),
//   "FLASH:TEMP:FIRMWARE n" and "FLASH:REWRITE2 0x08000000,<len>,#<block>" (then restart).
// - Errors go to a 16-entry queue read by "*ERR?" ("0,No error" when empty).
class Rvka5630Model
{
public:
    Rvka5630Model();
    ~Rvka5630Model();
    Rvka5630Model(const Rvka5630Model &) = delete;
    Rvka5630Model &operator=(const Rvka5630Model &) = delete;

    // --- the transport's interface ----------------------------------------------------------
    // One complete program message exactly as it arrived (ended by END; it may or may not end
    // with "\n"; it may hold several commands joined by ";" and, for block commands, binary
    // data).
    ModelReply execute(const QByteArray &message);
    // VXI-11 device clear. The model receives whole messages only, so it holds no partial
    // message state; settings and the error queue are kept, as IEEE 488.2 requires.
    void deviceClear();
    // > 0 exactly once after a command that restarted the instrument: the program-time ms
    // during which the restarting instrument does not answer.
    int takeRestartMs();
    void setIdentity(const QByteArray &idn);                    // "*IDN?" reply, no line end
    void setPlacement(const QByteArray &placeIdAddrIdSwitchId); // e.g. "1;7;0"

    // --- knobs for tests --------------------------------------------------------------------
    void setHardwareVersion(const QByteArray &version); // "CONF:HWV?", default "2.1"
    void setFirmwareVersion(const QByteArray &version); // "CONF:FWV?", default "1.3"
    // Seeds the module's read-back and temperature noise (default seed 1).
    void setSeed(quint32 seed);
    // Output, read-back, droop, drift and ripple errors (defaults in OutputImperfections).
    void setImperfections(const OutputImperfections &imperfections);
    OutputImperfections imperfections() const;
    // Fraction above the power limit at which the power protection trips (default 0.02).
    void setPowerTripMargin(double fraction);
    // "*TST?" answers verdict (default "0") after delayMs (default 8000 ms of program time);
    // the self-test status ("OUTP:PROT?") then becomes 0 for the verdict "0", else 1.
    void setSelfTestVerdict(const QByteArray &verdict);
    void setSelfTestDelayMs(int ms);
    // The current self-test status ("OUTP:PROT?", default 0); non-zero locks the output.
    void setSelfTestStatus(int status);
    // Text of the "MEAS:SELFTEST?" block: records ended by ";", fields by ",", "#" for "±".
    void setSelfTestRecords(const QByteArray &records);
    // Latches a fault state code (3..11, 13 and above) as if a protection had tripped; 0 clears.
    void injectFault(int stateCode);
    // The restart time after a firmware rewrite (default 8000 ms of program time).
    void setRestartMs(int ms);
    // Flash faults: reject every "FLASH:TEMP:ERASE" (an error is queued, nothing is erased).
    void setRejectErase(bool reject);
    // The n-th "FLASH:TEMP:WRITE2" from now on fails (-311 queued, nothing written); 0 disarms.
    void failBlockWrite(int n);
    // The n-th "MEMREAD?" reply from now on has one data byte changed; 0 disarms.
    void corruptMemRead(int n);
    // "MEMREAD?" announces and sends this many bytes more than asked (default 0).
    void setMemReadSurplus(int bytes);
    // Replaces the running firmware (the main flash from 0x08000000).
    void setMainFlash(const QByteArray &image);
    // Program-time clock for the temperature (default: TimeFacility::elapsedMs()).
    void setClock(const std::function<qint64()> &programMs);
    void setAmbientTemperature(double celsius);

    // --- the output circuit shared with the bench's instruments ----------------------------
    void setExternalLoad(const ExternalLoad &load);
    ExternalLoad externalLoad() const;
    // The true state of the output terminals, noise-free.
    OperatingPoint outputPoint() const;

    // --- inspection for tests ---------------------------------------------------------------
    int outputStateCode() const;
    bool outputOn() const;
    double voltageSetpoint() const;
    double currentSetpoint() const;
    double protectionLevel() const;
    bool overPowerMode() const;
    double temperature() const;
    QVector<CalibrationTable::Point> voltageCalibration() const; // working calibration
    QVector<CalibrationTable::Point> currentCalibration() const;
    QVector<CalibrationTable::Point> storedVoltageCalibration() const;
    QVector<CalibrationTable::Point> storedCurrentCalibration() const;
    QVector<QByteArray> pendingErrors() const; // the error queue, oldest first, not consumed
    QByteArray mainFlash() const;              // 640 KiB from 0x08000000
    QByteArray intermediateArea() const;       // 384 KiB from 0x080A0000
    int deviceClearCount() const;
    int restartCount() const;

private:
    mutable std::mutex lock;
    std::unique_ptr<Rvka5630State> state;
};
