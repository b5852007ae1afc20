#include "simmultimetermodel.h"

#include "rvka5630model.h"
#include "scpiparser.h"

#include <cmath>

namespace {

// The command path in short forms, e.g. "MEAS:VOLT:DC" for "MEASure:VOLTage:DC".
QByteArray shortPath(const QByteArrayList &path)
{
    static const QList<QPair<QByteArray, QByteArray>> longForms = {
        {"MEASURE", "MEAS"}, {"CONFIGURE", "CONF"}, {"VOLTAGE", "VOLT"}, {"CURRENT", "CURR"},
        {"SYSTEM", "SYST"},  {"REMOTE", "REM"},     {"LOCAL", "LOC"},    {"ERROR", "ERR"},
    };
    QByteArrayList nodes;
    for (QByteArray node : path) {
        for (const auto &form : longForms)
            if (node == form.first)
                node = form.second;
        nodes.append(node);
    }
    return nodes.join(':');
}

// The function a "CONF:..." or "MEAS:..." path selects ("VOLT:DC" for "MEAS:VOLT"), or empty.
QByteArray measuringFunction(const QByteArray &path, const QByteArray &prefix)
{
    if (!path.startsWith(prefix))
        return QByteArray();
    const QByteArray function = path.mid(prefix.size());
    if (function == "VOLT" || function == "VOLT:DC")
        return "VOLT:DC";
    if (function == "CURR" || function == "CURR:DC")
        return "CURR:DC";
    if (function == "VOLT:AC" || function == "CURR:AC")
        return function;
    return QByteArray();
}

QByteArray formatReading(double value)
{
    const QByteArray text = QByteArray::number(value, 'E', 6);
    return (value < 0 ? text : '+' + text) + '\n';
}

} // namespace

SimMultimeterModel::SimMultimeterModel(Rvka5630Model *module) : module(module), noise(7) {}

void SimMultimeterModel::setModule(Rvka5630Model *newModule)
{
    std::lock_guard<std::mutex> locker(lock);
    module = newModule;
}

QByteArray SimMultimeterModel::execute(const QByteArray &line)
{
    std::lock_guard<std::mutex> locker(lock);
    QByteArray reply;
    for (const ScpiCommand &command : ScpiParser::parse(line)) {
        const QByteArray path = shortPath(command.path);
        const QByteArray argument = command.argument.trimmed().toUpper();
        if (command.fault != ScpiCommand::Fault::None) {
            errors.push(ScpiErrorQueue::SyntaxError);
        } else if (!command.query && path == "SYST:REM") {
            remote = true;
        } else if (!command.query && path == "SYST:LOC") {
            remote = false;
        } else if (!command.query && path == "CONF:AUTO" && (argument == "ON" || argument == "1")) {
            autoRanging = true;
        } else if (!command.query && path == "CONF:AUTO" &&
                   (argument == "OFF" || argument == "0")) {
            autoRanging = false;
        } else if (!command.query && !measuringFunction(path, "CONF:").isEmpty()) {
            configured = measuringFunction(path, "CONF:");
        } else if (command.query && !measuringFunction(path, "MEAS:").isEmpty()) {
            configured = measuringFunction(path, "MEAS:");
            reply += reading(configured);
        } else if (command.query && (path == "READ" || path == "VAL1")) {
            reply += reading(configured);
        } else if (command.query && path == "*IDN") {
            reply += identity + '\n';
        } else if (command.query && path == "SYST:ERR") {
            reply += errors.pop() + '\n';
        } else if (!command.query && path == "*RST") {
            configured = "VOLT:DC";
            autoRanging = true;
        } else if (!command.query && path == "*CLS") {
            errors.clear();
        } else {
            errors.push(ScpiErrorQueue::UndefinedHeader);
        }
    }
    return reply;
}

QByteArray SimMultimeterModel::reading(const QByteArray &function)
{
    ++readings;
    const OperatingPoint point = module ? module->outputPoint() : OperatingPoint();
    const Noise &n = noiseLevels;
    double value = 0.0;
    if (function == "VOLT:DC") {
        value = point.voltage +
                noise.gaussian(n.voltageFloor + n.voltageRelative * qAbs(point.voltage));
    } else if (function == "CURR:DC") {
        value = point.current +
                noise.gaussian(n.currentFloor + n.currentRelative * qAbs(point.current));
    } else if (function == "VOLT:AC") {
        value = std::hypot(point.voltageRipple, n.acVoltageFloor) +
                noise.gaussian(n.acVoltageFloor / 4);
    } else {
        value = std::hypot(point.currentRipple, n.acCurrentFloor) +
                noise.gaussian(n.acCurrentFloor / 4);
    }
    if (function.endsWith("AC"))
        value = qAbs(value);
    return formatReading(value);
}

void SimMultimeterModel::setSeed(quint32 seed)
{
    std::lock_guard<std::mutex> locker(lock);
    noise.reseed(seed);
}

void SimMultimeterModel::setNoise(const Noise &levels)
{
    std::lock_guard<std::mutex> locker(lock);
    noiseLevels = levels;
}

void SimMultimeterModel::setIdentity(const QByteArray &idn)
{
    std::lock_guard<std::mutex> locker(lock);
    identity = idn;
}

bool SimMultimeterModel::isRemote() const
{
    std::lock_guard<std::mutex> locker(lock);
    return remote;
}

bool SimMultimeterModel::autoRange() const
{
    std::lock_guard<std::mutex> locker(lock);
    return autoRanging;
}

QByteArray SimMultimeterModel::function() const
{
    std::lock_guard<std::mutex> locker(lock);
    return configured;
}

int SimMultimeterModel::readingCount() const
{
    std::lock_guard<std::mutex> locker(lock);
    return readings;
}
