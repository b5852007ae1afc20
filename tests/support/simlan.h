#pragma once

#include "scriptedmodel.h"
#include "simbench.h"

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
    SimBench &bench() { return simBench; }

private:
    SimBench simBench;
    QStringList addresses;
};
