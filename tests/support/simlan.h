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
    // Lists these resources (and only these) for viFindRsrc; an address that nothing
    // serves may be listed too.
    void publish(const QStringList &extraAddresses = QStringList());
    SimBench &bench() { return simBench; }

private:
    SimBench simBench;
    QStringList addresses;
};
