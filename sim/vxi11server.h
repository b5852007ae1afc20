#pragma once

#include <QByteArray>
#include <QString>

#include <netinet/in.h>
#include <rpc/rpc.h>

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class SimModule;
namespace RpcWire {
struct Call;
struct Reply;
}

// A VXI-11 instrument server for one SimModule at one IPv4 or IPv6 address: the core channel, the
// abort channel and a portmapper on port 111 (TCP and UDP: version 2 GETPORT, versions 3 and 4
// GETADDR), so that any VXI-11 client finds and talks to it as to a LAN instrument. Every
// connection has its own thread, so a slow or faulty link never holds up the others.
class Vxi11Server
{
public:
    explicit Vxi11Server(SimModule &module);
    ~Vxi11Server();

    // address: a loopback address such as 127.0.0.2 or ::1, or 0.0.0.0 to serve every IPv4
    // interface (and answer portmapper broadcasts). corePort 0 picks a free port.
    bool start(const QString &address, QString *error = nullptr, unsigned short corePort = 0);
    void stop();
    // Closes every open connection (the instrument went away); listening goes on.
    void dropConnections();
    // Links created and not yet destroyed (each open VISA session holds one).
    int openLinks();

    // Answers a UDP portmapper call that reached this instrument some other way (a broadcast
    // heard by BroadcastPortmapper): from the instrument's own address and port 111.
    void answerMapperDatagram(const QByteArray &request, const sockaddr *from, socklen_t fromLength);

    unsigned short corePort() const { return corePortNumber; }
    unsigned short abortPort() const { return abortPortNumber; }

private:
    struct Connection
    {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    enum class Outcome
    {
        Reply,
        ReplyThenDrop,
        Silent,
        Close
    };

    void listenLoop();
    void startConnection(int fd);
    void serveConnection(Connection *connection);
    void serveDatagram();
    void reapConnections(bool all);
    Outcome dispatch(const QByteArray &request, int fd, RpcWire::Reply &reply, long connectionId);
    Outcome core(const RpcWire::Call &call, XDR &args, RpcWire::Reply &reply, long connectionId);
    QByteArray portmapper(const RpcWire::Call &call, XDR &args, int fd);
    QByteArray universalAddress(unsigned short port, int fd) const;

    SimModule &module;
    QString boundAddress;
    int coreFd = -1;
    int abortFd = -1;
    int mapperTcpFd = -1;
    int mapperUdpFd = -1;
    int stopFd = -1;
    unsigned short corePortNumber = 0;
    unsigned short abortPortNumber = 0;
    std::thread listener;

    std::mutex connectionsLock;
    std::list<std::unique_ptr<Connection>> connections;

    // Link id -> the connection that created it and the message being received on it.
    struct Link
    {
        long connectionId;
        QByteArray partial;
    };
    std::mutex linksLock;
    std::map<long, Link> links;
    long nextLinkId = 1;
    std::atomic<long> nextConnectionId{1};
};
