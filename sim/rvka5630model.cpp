#include "rvka5630model.h"

#include "rvka5630commandtable.h"
#include "rvka5630state.h"

#include <QByteArrayList>

Rvka5630Model::Rvka5630Model() : state(new Rvka5630State) {}

Rvka5630Model::~Rvka5630Model() = default;

ModelReply Rvka5630Model::execute(const QByteArray &message)
{
    std::lock_guard<std::mutex> locker(lock);
    return Rvka5630CommandTable::run(*state, message);
}

void Rvka5630Model::deviceClear()
{
    std::lock_guard<std::mutex> locker(lock);
    ++state->deviceClears;
}

int Rvka5630Model::takeRestartMs()
{
    std::lock_guard<std::mutex> locker(lock);
    const int ms = state->pendingRestartMs;
    state->pendingRestartMs = 0;
    return ms;
}

void Rvka5630Model::setIdentity(const QByteArray &idn)
{
    std::lock_guard<std::mutex> locker(lock);
    state->identity = idn;
}

void Rvka5630Model::setPlacement(const QByteArray &placeIdAddrIdSwitchId)
{
    std::lock_guard<std::mutex> locker(lock);
    const QByteArrayList parts = placeIdAddrIdSwitchId.split(';');
    state->placeId = parts.value(0);
    state->addrId = parts.value(1);
    state->switchId = parts.value(2);
}

void Rvka5630Model::setHardwareVersion(const QByteArray &version)
{
    std::lock_guard<std::mutex> locker(lock);
    state->hardwareVersion = version;
}

void Rvka5630Model::setFirmwareVersion(const QByteArray &version)
{
    std::lock_guard<std::mutex> locker(lock);
    state->firmwareVersion = version;
}

void Rvka5630Model::setSeed(quint32 seed)
{
    std::lock_guard<std::mutex> locker(lock);
    state->noise.reseed(seed);
}

void Rvka5630Model::setImperfections(const OutputImperfections &imperfections)
{
    std::lock_guard<std::mutex> locker(lock);
    state->circuit.imperfections = imperfections;
    state->settle();
}

OutputImperfections Rvka5630Model::imperfections() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->circuit.imperfections;
}

void Rvka5630Model::setPowerTripMargin(double fraction)
{
    std::lock_guard<std::mutex> locker(lock);
    state->powerTripMargin = fraction;
    state->settle();
}

void Rvka5630Model::setSelfTestVerdict(const QByteArray &verdict)
{
    std::lock_guard<std::mutex> locker(lock);
    state->selfTestVerdict = verdict;
}

void Rvka5630Model::setSelfTestDelayMs(int ms)
{
    std::lock_guard<std::mutex> locker(lock);
    state->selfTestDelayMs = qMax(0, ms);
}

void Rvka5630Model::setSelfTestStatus(int status)
{
    std::lock_guard<std::mutex> locker(lock);
    state->selfTestStatus = status;
}

void Rvka5630Model::setSelfTestRecords(const QByteArray &records)
{
    std::lock_guard<std::mutex> locker(lock);
    state->selfTestRecords = records;
}

void Rvka5630Model::injectFault(int stateCode)
{
    std::lock_guard<std::mutex> locker(lock);
    if (stateCode == 0)
        state->fault = 0;
    else
        state->trip(stateCode);
    state->settle();
}

void Rvka5630Model::setRestartMs(int ms)
{
    std::lock_guard<std::mutex> locker(lock);
    state->restartMs = qMax(1, ms);
}

void Rvka5630Model::setRejectErase(bool reject)
{
    std::lock_guard<std::mutex> locker(lock);
    state->rejectErase = reject;
}

void Rvka5630Model::failBlockWrite(int n)
{
    std::lock_guard<std::mutex> locker(lock);
    state->blockWritesUntilFailure = qMax(0, n);
}

void Rvka5630Model::corruptMemRead(int n)
{
    std::lock_guard<std::mutex> locker(lock);
    state->memReadsUntilCorruption = qMax(0, n);
}

void Rvka5630Model::setMemReadSurplus(int bytes)
{
    std::lock_guard<std::mutex> locker(lock);
    state->memReadSurplus = qMax(0, bytes);
}

void Rvka5630Model::setMainFlash(const QByteArray &image)
{
    std::lock_guard<std::mutex> locker(lock);
    state->flash.loadMain(image);
}

void Rvka5630Model::setClock(const std::function<qint64()> &programMs)
{
    std::lock_guard<std::mutex> locker(lock);
    state->clock = programMs;
    state->thermal.reset(programMs());
}

void Rvka5630Model::setAmbientTemperature(double celsius)
{
    std::lock_guard<std::mutex> locker(lock);
    state->thermal.ambientCelsius = celsius;
    state->thermal.reset(state->clock());
}

void Rvka5630Model::setExternalLoad(const ExternalLoad &load)
{
    std::lock_guard<std::mutex> locker(lock);
    state->circuit.load = load;
    state->settle();
}

ExternalLoad Rvka5630Model::externalLoad() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->circuit.load;
}

OperatingPoint Rvka5630Model::outputPoint() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->operatingPoint();
}

int Rvka5630Model::outputStateCode() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->outputStateCode();
}

bool Rvka5630Model::outputOn() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->outputOn;
}

double Rvka5630Model::voltageSetpoint() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->voltageSetpoint;
}

double Rvka5630Model::currentSetpoint() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->currentSetpoint;
}

double Rvka5630Model::protectionLevel() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->protectionLevel;
}

bool Rvka5630Model::overPowerMode() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->overPower;
}

double Rvka5630Model::temperature() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->thermal.temperature();
}

QVector<CalibrationTable::Point> Rvka5630Model::voltageCalibration() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->voltageCalibration.pointList();
}

QVector<CalibrationTable::Point> Rvka5630Model::currentCalibration() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->currentCalibration.pointList();
}

QVector<CalibrationTable::Point> Rvka5630Model::storedVoltageCalibration() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->storedVoltageCalibration.pointList();
}

QVector<CalibrationTable::Point> Rvka5630Model::storedCurrentCalibration() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->storedCurrentCalibration.pointList();
}

QVector<QByteArray> Rvka5630Model::pendingErrors() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->errors.entries();
}

QByteArray Rvka5630Model::mainFlash() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->flash.mainFlash();
}

QByteArray Rvka5630Model::intermediateArea() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->flash.intermediateArea();
}

int Rvka5630Model::deviceClearCount() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->deviceClears;
}

int Rvka5630Model::restartCount() const
{
    std::lock_guard<std::mutex> locker(lock);
    return state->restartCount;
}
