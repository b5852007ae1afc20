#include "simbench.h"

#include "rvka5630device.h"
#include "vxi11server.h"

SimBench::SimBench() = default;

SimBench::~SimBench()
{
    stop();
}

SimModule *SimBench::addModule(const QString &address, std::unique_ptr<SimDeviceModel> model,
                               QString *error)
{
    Served entry;
    entry.module = std::make_unique<SimModule>(address, std::move(model));
    entry.server = std::make_unique<Vxi11Server>(*entry.module);
    if (!entry.server->start(address, error))
        return nullptr;
    served.push_back(std::move(entry));
    return served.back().module.get();
}

SimModule *SimBench::module(const QString &address) const
{
    for (const Served &entry : served)
        if (entry.module->address() == address)
            return entry.module.get();
    return nullptr;
}

int SimBench::openLinks(const QString &address) const
{
    for (const Served &entry : served)
        if (entry.module->address() == address)
            return entry.server->openLinks();
    return 0;
}

SimModule *SimBench::addRvka5630(const QString &address, QString *error, const QByteArray &identity,
                                 const QByteArray &placement)
{
    auto device = std::make_unique<Rvka5630Device>();
    device->model().setIdentity(identity);
    device->model().setPlacement(placement);
    return addModule(address, std::move(device), error);
}

Rvka5630Model *SimBench::rvka5630(const QString &address) const
{
    SimModule *served = module(address);
    auto *device = served ? dynamic_cast<Rvka5630Device *>(&served->model()) : nullptr;
    return device ? &device->model() : nullptr;
}

void SimBench::stop()
{
    for (Served &entry : served)
        entry.server->stop();
    served.clear();
}

QString SimBench::resourceName(const QString &address)
{
    return QStringLiteral("TCPIP0::%1::inst0::INSTR").arg(address);
}

QString SimBench::resourceList() const
{
    QStringList names;
    for (const Served &entry : served)
        names << resourceName(entry.module->address());
    return names.join(QLatin1Char(';'));
}
