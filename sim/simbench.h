#pragma once

#include "simdevicemodel.h"
#include "simmodule.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Rvka5630Model;
class Vxi11Server;

// The simulated LAN of a test or of the demo: simulated instruments, each behind its own
// VXI-11 server and portmapper at its own address. Needs port 111 on those addresses, so it
// runs inside a private network namespace (scripts/in-netns).
class SimBench
{
public:
    SimBench();
    ~SimBench();
    SimBench(const SimBench &) = delete;
    SimBench &operator=(const SimBench &) = delete;

    // Serves model at address (e.g. 127.0.0.2). Null on failure, with the reason in error.
    SimModule *addModule(const QString &address, std::unique_ptr<SimDeviceModel> model,
                         QString *error = nullptr);
    SimModule *module(const QString &address) const;

    // A simulated RVKA5630 module at address, with its identity and placement reply.
    SimModule *addRvka5630(const QString &address, QString *error = nullptr,
                           const QByteArray &identity = "Korvalis,RVKA5630,0042,1.3",
                           const QByteArray &placement = "1;7;0");
    // The RVKA5630 model served at address (null if there is none).
    Rvka5630Model *rvka5630(const QString &address) const;
    // VXI-11 links open to the instrument at address: one per open session.
    int openLinks(const QString &address) const;
    void stop();

    static QString resourceName(const QString &address);
    // The VISA resources of every module, ";"-separated (for VDVISA_RESOURCES).
    QString resourceList() const;

private:
    struct Served
    {
        std::unique_ptr<SimModule> module;
        std::unique_ptr<Vxi11Server> server;
    };
    std::vector<Served> served;
};
