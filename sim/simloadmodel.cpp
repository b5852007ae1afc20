#include "simloadmodel.h"

#include "rvka5630model.h"
#include "scpiparser.h"

SimLoadModel::SimLoadModel(Rvka5630Model *module) : module(module) {}

void SimLoadModel::setModule(Rvka5630Model *newModule)
{
    std::lock_guard<std::mutex> locker(lock);
    if (module)
        module->setExternalLoad(ExternalLoad());
    module = newModule;
    if (module)
        module->setExternalLoad(load);
}

QByteArray SimLoadModel::execute(const QByteArray &line)
{
    std::lock_guard<std::mutex> locker(lock);
    bool changed = false;
    for (const ScpiCommand &command : ScpiParser::parse(line)) {
        QByteArray path = command.path.join(':');
        path.replace("SYSTEM", "SYST").replace("INPUT", "INP").replace("VOLTAGE", "VOLT");
        path.replace("CURRENT", "CURR").replace("RESISTANCE", "RES");
        if (command.fault != ScpiCommand::Fault::None || command.query ||
            !apply(path, command.argument.trimmed().toUpper()))
            ++ignored;
        else
            changed = true;
    }
    if (changed && module)
        module->setExternalLoad(load);
    return QByteArray();
}

bool SimLoadModel::apply(const QByteArray &path, const QByteArray &argument)
{
    bool on = false;
    if (path == "SYST:LOCK" && ScpiParser::toBoolean(argument, &on)) {
        locked = on;
        return true;
    }
    if (!locked)
        return false;
    double value = 0.0;
    if (path == "INP" && ScpiParser::toBoolean(argument, &on)) {
        load.inputOn = on;
        return true;
    }
    if (path == "CURR" && (argument == "MAX" || argument == "MAXIMUM")) {
        load.currentLimitA = maxCurrent;
        return true;
    }
    if (!ScpiParser::toNumber(argument, &value) || value < 0.0)
        return false;
    if (path == "CURR" && value <= maxCurrent) {
        load.currentLimitA = value;
        return true;
    }
    if (path == "RES" && value > 0.0) {
        load.resistanceOhm = value;
        return true;
    }
    if (path == "VOLT" && value <= maxVoltage) {
        voltage = value;
        return true;
    }
    return false;
}

bool SimLoadModel::isLocked() const
{
    std::lock_guard<std::mutex> locker(lock);
    return locked;
}

bool SimLoadModel::inputOn() const
{
    std::lock_guard<std::mutex> locker(lock);
    return load.inputOn;
}

double SimLoadModel::resistance() const
{
    std::lock_guard<std::mutex> locker(lock);
    return load.resistanceOhm;
}

double SimLoadModel::currentSetting() const
{
    std::lock_guard<std::mutex> locker(lock);
    return load.currentLimitA;
}

double SimLoadModel::voltageSetting() const
{
    std::lock_guard<std::mutex> locker(lock);
    return voltage;
}

int SimLoadModel::ignoredCount() const
{
    std::lock_guard<std::mutex> locker(lock);
    return ignored;
}
