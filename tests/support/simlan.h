#pragma once

#include "scriptedmodel.h"
#include "simbench.h"
#include "simserialload.h"
#include "simserialmultimeter.h"

#include <QString>

#include <memory>

// The simulated LAN of one test: SimBench plus the library configuration that makes the
// program's resource search find the simulated instruments.
class SimLan
{
public:
    SimLan() = default;
    ~SimLan();

    // A plain scripted instrument at address; null (and a test failure message) if it
    // cannot listen there.
    SimModule *addScripted(const QString &address, ScriptedModel **model = nullptr,
                           const QByteArray &identity = "Korvalis,RVKA5630,0042,1.3");
    SimModule *add(const QString &address, std::unique_ptr<SimDeviceModel> model);
    // A simulated RVKA5630 module; its model is bench().rvka5630(address).
    SimModule *addRvka5630(const QString &address,
                           const QByteArray &identity = "Korvalis,RVKA5630,0042,1.3",
                           const QByteArray &placement = "1;7;0");
    Rvka5630Model *rvka5630(const QString &address) const { return simBench.rvka5630(address); }
    // Lists these resources (and only these) for viFindRsrc; an address that nothing
    // serves may be listed too.
    void publish(const QStringList &extraAddresses = QStringList());

    // The bench multimeter and electronic load on serial lines, wired to the module at
    // moduleAddress; null (and a warning) on failure.
    SimSerialMultimeter *addMultimeter(const QString &moduleAddress);
    SimSerialLoad *addLoad(const QString &moduleAddress);
    // A module with the bench multimeter and electronic load wired to it, published: where a
    // procedure test starts. Null (and a warning) if any of them fails to start; the
    // instruments are then bench().multimeter() and bench().load().
    SimModule *addBenchModule(const QString &address);
    // Describes the serial instruments (with their USB strings as they are now) in
    // VOLTADESK_SERIAL_PORTS, so that the program's port search sees them and only them.
    void publishSerialPorts();
    SimBench &bench() { return simBench; }

private:
    SimBench simBench;
    QStringList addresses;
};
