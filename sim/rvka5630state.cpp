#include "rvka5630state.h"

#include "simfirmwareimage.h"
#include "timefacility.h"

#include <cmath>

namespace {

// Plausible stored self-test records: voltage range, measured voltage, current range,
// measured current, Vdrop code range, measured code, output state, verdict; "#" stands for "±".
const char defaultSelfTestRecords[] = "5.00#0.05,4.998,0.50#0.02,0.501,3641#60,3639,CV,OK;"
                                      "20.00#0.05,20.004,0.50#0.02,0.499,14563#60,14566,CV,OK;"
                                      "40.00#0.06,39.995,0.50#0.02,0.502,29127#60,29121,CV,OK;"
                                      "60.00#0.07,60.006,0.50#0.02,0.500,43690#60,43694,CV,OK;"
                                      "80.00#0.08,79.992,0.50#0.02,0.498,58253#60,58247,CV,OK;";

// Full scales of the module's converters behind the raw codes of the debug commands.
constexpr double voltageAdcFullScale = 90.0;  // V at code 65535
constexpr double currentAdcFullScale = 13.75; // A at code 65535
constexpr double feedbackFullScale = 90.0;    // V at code 4095
constexpr double busFullScale = 120.0;        // V at code 4095
constexpr double busHeadroom = 6.0;           // V the unstabilised bus stays above the output

quint32 toCode(double value, double fullScale, int maxCode)
{
    return quint32(qBound(0.0, std::round(value / fullScale * maxCode), double(maxCode)));
}

} // namespace

Rvka5630State::Rvka5630State()
    : selfTestRecords(defaultSelfTestRecords),
      clock([] { return TimeFacility::instance().elapsedMs(); })
{
    flash.loadMain(SimFirmwareImage::generate(powerOnImageSize, 1));
    thermal.reset(clock());
}

OperatingPoint Rvka5630State::operatingPoint() const
{
    return circuit.solve(outputOn && fault == 0, pinOutRelay, voltageDrive(), currentDrive());
}

int Rvka5630State::outputStateCode() const
{
    if (fault != 0)
        return fault;
    if (!outputOn)
        return StateOff;
    switch (operatingPoint().regulation) {
    case OperatingPoint::Regulation::ConstantVoltage:
        return StateCV;
    case OperatingPoint::Regulation::ConstantCurrent:
        return StateCC;
    case OperatingPoint::Regulation::Disconnected:
        return StateUnregulated;
    case OperatingPoint::Regulation::Off:
        break;
    }
    return StateOff;
}

void Rvka5630State::settle()
{
    OperatingPoint point = operatingPoint();
    if (outputOn && fault == 0) {
        if (point.voltage > protectionLevel)
            trip(StateOV);
        else if (point.voltage * point.current > powerLimit() * (1.0 + powerTripMargin))
            trip(StateCPPlus);
        point = operatingPoint();
    }
    thermal.advance(clock(), dissipatedWatts(point));
}

void Rvka5630State::trip(int faultCode)
{
    fault = faultCode;
    outputOn = false;
    pinOutRelay = false;
}

void Rvka5630State::reset()
{
    voltageSetpoint = 0.0;
    currentSetpoint = resetCurrent;
    protectionLevel = maxProtection;
    outputOn = false;
    fault = 0;
    overPower = false;
    triggerRole = TriggerRole::Immediate;
    triggerLine = 0;
    abortLine = 0;
    pinOutRelay = false;
    pinAdgCtr = false;
    pinUlpiStp = false;
    settle();
}

void Rvka5630State::restart()
{
    reset();
    resetCodes();
    ignoreMark = false;
    voltageCalibration = storedVoltageCalibration;
    currentCalibration = storedCurrentCalibration;
    errors.clear();
    pendingRestartMs = restartMs;
    ++restartCount;
    settle();
}

void Rvka5630State::resetCodes()
{
    ibalDac = 2048;
    pwmValue = 60000;
    pwmP = 1500;
    pwmI = 20;
    pwmD = 0;
}

double Rvka5630State::measuredVoltage()
{
    const double raw = circuit.rawVoltageReading(operatingPoint().voltage) +
                       noise.gaussian(circuit.imperfections.voltageReadbackNoise);
    return voltageCalibration.correctedReading(raw);
}

double Rvka5630State::measuredCurrent()
{
    const double raw = circuit.rawCurrentReading(operatingPoint().current) +
                       noise.gaussian(circuit.imperfections.currentReadbackNoise);
    return currentCalibration.correctedReading(raw);
}

double Rvka5630State::measuredTemperature()
{
    thermal.advance(clock(), dissipatedWatts(operatingPoint()));
    return thermal.temperature() + noise.gaussian(0.03);
}

quint32 Rvka5630State::rawCode(const QByteArray &name)
{
    const OperatingPoint point = operatingPoint();
    const OutputImperfections &e = circuit.imperfections;
    if (name == "VDROP")
        return toCode(circuit.rawVoltageReading(point.voltage) +
                          noise.gaussian(e.voltageReadbackNoise),
                      voltageAdcFullScale, 65535);
    if (name == "IBAL")
        return toCode(circuit.rawCurrentReading(point.current) +
                          noise.gaussian(e.currentReadbackNoise),
                      currentAdcFullScale, 65535);
    if (name == "FBVDROP")
        return toCode(point.voltage, feedbackFullScale, 4095);
    if (name == "FBVNS")
        return outputOn ? toCode(point.voltage + busHeadroom, busFullScale, 4095) : 0;
    return 0;
}

double Rvka5630State::dissipatedWatts(const OperatingPoint &point) const
{
    // Standby supply, conversion losses and the output stage's resistive losses.
    if (point.regulation == OperatingPoint::Regulation::Off)
        return 1.5;
    return 4.0 + 0.06 * point.voltage * point.current + 0.02 * point.current * point.current;
}
