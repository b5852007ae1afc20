#include "simbench.h"

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
