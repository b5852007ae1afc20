#include "simlan.h"

#include <QtTest>

SimLan::~SimLan()
{
    simBench.stop();
}

SimModule *SimLan::add(const QString &address, std::unique_ptr<SimDeviceModel> model)
{
    QString error;
    SimModule *module = simBench.addModule(address, std::move(model), &error);
    if (!module)
        qWarning("simulated instrument at %s: %s", qPrintable(address), qPrintable(error));
    else
        addresses << address;
    return module;
}

SimModule *SimLan::addRvka5630(const QString &address, const QByteArray &identity,
                               const QByteArray &placement)
{
    QString error;
    SimModule *module = simBench.addRvka5630(address, &error, identity, placement);
    if (!module)
        qWarning("simulated module at %s: %s", qPrintable(address), qPrintable(error));
    else
        addresses << address;
    return module;
}

SimModule *SimLan::addScripted(const QString &address, ScriptedModel **model,
                               const QByteArray &identity)
{
    auto scripted = std::make_unique<ScriptedModel>(identity);
    if (model)
        *model = scripted.get();
    return add(address, std::move(scripted));
}

void SimLan::publish(const QStringList &extraAddresses)
{
    QStringList names;
    for (const QString &address : addresses + extraAddresses)
        names << SimBench::resourceName(address);
    qputenv("VDVISA_RESOURCES", names.join(QLatin1Char(';')).toLatin1());
    qputenv("VDVISA_BROADCAST", "0");
}

SimSerialMultimeter *SimLan::addMultimeter(const QString &moduleAddress)
{
    QString error;
    SimSerialMultimeter *meter = simBench.addMultimeter(moduleAddress, &error);
    if (!meter)
        qWarning("simulated multimeter: %s", qPrintable(error));
    return meter;
}

SimSerialLoad *SimLan::addLoad(const QString &moduleAddress)
{
    QString error;
    SimSerialLoad *load = simBench.addLoad(moduleAddress, &error);
    if (!load)
        qWarning("simulated electronic load: %s", qPrintable(error));
    return load;
}

SimModule *SimLan::addBenchModule(const QString &address)
{
    SimModule *module = addRvka5630(address);
    if (!module || !addMultimeter(address) || !addLoad(address))
        return nullptr;
    publish();
    return module;
}

void SimLan::publishSerialPorts()
{
    qputenv("VOLTADESK_SERIAL_PORTS", simBench.serialPortList().toUtf8());
}
