#pragma once

#include "broadcastportmapper.h"
#include "simdevicemodel.h"
#include "simmodule.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Rvka5630Model;
class SimSerialInstrument;
class SimSerialLoad;
class SimSerialMultimeter;
class Vxi11Server;

// The simulated LAN of a test or of the demo: simulated instruments, each behind its own
// VXI-11 server and portmapper at its own address (answering portmapper broadcasts on its
// interface too), and the bench's multimeter and electronic load on pseudo-terminals, wired
// to a module's output. Needs port 111 on those addresses, so it runs inside a private
// network namespace (scripts/in-netns).
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
    // Benchmarks only: RVKA5630 modules added from now on also answer the bulk query of
    // BenchRvka5630Device.
    void setBenchBlocks(bool on) { benchBlocks = on; }
    // The RVKA5630 model served at address (null if there is none).
    Rvka5630Model *rvka5630(const QString &address) const;
    // VXI-11 links open to the instrument at address: one per open session.
    int openLinks(const QString &address) const;

    // The bench multimeter and electronic load on serial lines, measuring and loading the
    // output of the module served at moduleAddress. Null on failure, with the reason in error.
    SimSerialMultimeter *addMultimeter(const QString &moduleAddress, QString *error = nullptr);
    SimSerialLoad *addLoad(const QString &moduleAddress, QString *error = nullptr);
    // Both of them.
    bool addSerialInstruments(const QString &moduleAddress, QString *error = nullptr);
    // The index-th multimeter or load added (null if there is none).
    SimSerialMultimeter *multimeter(int index = 0) const;
    SimSerialLoad *load(int index = 0) const;
    // The VOLTADESK_SERIAL_PORTS value that describes every serial instrument, in the order
    // they were added.
    QString serialPortList() const;

    // Stops the serial instruments, then the modules.
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
    template <class Instrument> Instrument *addSerial(const QString &moduleAddress, QString *error);
    template <class Instrument> Instrument *serial(int index) const;

    std::vector<Served> served;
    // Declared after the servers it calls, so that it stops first.
    BroadcastPortmapper broadcasts;
    std::vector<std::unique_ptr<SimSerialInstrument>> serialInstruments;
    bool benchBlocks = false;
};
