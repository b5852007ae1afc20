#include "simbench.h"

#include "benchrvka5630device.h"
#include "simserialload.h"
#include "simserialmultimeter.h"
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
    if (!entry.server->start(address, error) ||
        !broadcasts.serve(address, entry.server.get(), error))
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
    std::unique_ptr<Rvka5630Device> device = benchBlocks
                                                 ? std::make_unique<BenchRvka5630Device>()
                                                 : std::make_unique<Rvka5630Device>();
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

template <class Instrument>
Instrument *SimBench::addSerial(const QString &moduleAddress, QString *error)
{
    Rvka5630Model *model = rvka5630(moduleAddress);
    if (!model) {
        if (error)
            *error = QStringLiteral("no RVKA5630 module at %1").arg(moduleAddress);
        return nullptr;
    }
    auto instrument = std::make_unique<Instrument>(model);
    if (!instrument->start(error))
        return nullptr;
    serialInstruments.push_back(std::move(instrument));
    return static_cast<Instrument *>(serialInstruments.back().get());
}

template <class Instrument> Instrument *SimBench::serial(int index) const
{
    for (const auto &instrument : serialInstruments)
        if (auto *wanted = dynamic_cast<Instrument *>(instrument.get()))
            if (index-- == 0)
                return wanted;
    return nullptr;
}

SimSerialMultimeter *SimBench::addMultimeter(const QString &moduleAddress, QString *error)
{
    return addSerial<SimSerialMultimeter>(moduleAddress, error);
}

SimSerialLoad *SimBench::addLoad(const QString &moduleAddress, QString *error)
{
    return addSerial<SimSerialLoad>(moduleAddress, error);
}

bool SimBench::addSerialInstruments(const QString &moduleAddress, QString *error)
{
    return addMultimeter(moduleAddress, error) && addLoad(moduleAddress, error);
}

SimSerialMultimeter *SimBench::multimeter(int index) const
{
    return serial<SimSerialMultimeter>(index);
}

SimSerialLoad *SimBench::load(int index) const
{
    return serial<SimSerialLoad>(index);
}

QString SimBench::serialPortList() const
{
    QStringList entries;
    for (const auto &instrument : serialInstruments)
        entries << instrument->portEntry();
    return entries.join(QLatin1Char(';'));
}

void SimBench::stop()
{
    // The load holds a pointer to its module's model.
    serialInstruments.clear();
    broadcasts.stop();
    for (Served &entry : served)
        entry.server->stop();
    served.clear();
}

QString SimBench::resourceName(const QString &address)
{
    // An IPv6 address goes in brackets, or its colons would read as separators.
    const QString host = address.contains(QLatin1Char(':')) ? QLatin1Char('[') + address + QLatin1Char(']') : address;
    return QStringLiteral("TCPIP0::%1::inst0::INSTR").arg(host);
}

QString SimBench::resourceList() const
{
    QStringList names;
    for (const Served &entry : served)
        names << resourceName(entry.module->address());
    return names.join(QLatin1Char(';'));
}
