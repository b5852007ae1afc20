#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// A VXI-11 server that misbehaves on purpose, for tests of the VISA library's deadlines and
// parsing: a portmapper and a core channel on one loopback address. create_link is answered
// properly (unless the behaviour is about opening); after that every call meets the behaviour.
// Everything it does is bounded in time, and it stops with the test.
class HostileServer
{
public:
    enum class Behaviour
    {
        Silent,          // accepts calls, answers none
        WrongXid,        // answers every call, again and again, with someone else's xid
        GiantRecord,     // announces a record of 2 GiB and sends a little of it
        TruncatedRecord, // sends part of the reply record, then nothing
        DripFeed,        // sends the proper reply one byte every 100 ms
        EmptyFragments,  // sends empty non-final fragments every 20 ms, never a record
        OneByteWrites,   // acknowledges one byte of each call after 30 ms
        EndlessPieces,   // answers each device_read at once with one byte and no END
        LatePieces,      // answers each device_read after 400 ms with one byte and no END
        OversizedRead,   // answers device_read with more data than was asked for
        HugeOpaque,      // answers device_read announcing far more data than the record holds
        FragmentedBulk,  // answers device_read in full (bulkData) in fragments of 1000, 0 and
                         // 40000 bytes, sent in pieces of 1499 bytes
        OutOfTurn,       // answers a query's device_read (bulkData) before its device_write
        SilentLink,      // the portmapper answers, create_link does not
        SilentPortmapper // accepts portmapper connections and answers nothing
    };

    explicit HostileServer(Behaviour behaviour);
    ~HostileServer();
    // Listens at address (port 111 and a free core port); false (with a test warning) if not.
    bool start(const QString &address);
    void setBehaviour(Behaviour behaviour) { mode = behaviour; }
    // What FragmentedBulk and OutOfTurn send for a read of size bytes (up to 1 MiB): printable
    // bytes that do not repeat in any short period.
    static QByteArray bulkData(int size);

private:
    void acceptLoop();
    void serve(int fd, bool portmapper);
    // held: a reply kept back to be sent after the next one (OutOfTurn).
    void answerCore(int fd, const QByteArray &request, QByteArray &held);
    void misbehave(int fd, u_int32_t xid, const QByteArray &properReply);
    bool sendRaw(int fd, const QByteArray &bytes);
    bool pause(int ms);

    std::atomic<Behaviour> mode;
    std::atomic<bool> stopping{false};
    int mapperFd = -1;
    int coreFd = -1;
    unsigned short corePort = 0;
    std::thread listener;
    std::mutex lock;
    std::list<std::thread> workers;
    std::list<int> clients;
};

// A name service that never answers: a UDP socket on 127.0.0.1:53 that reads every query and
// drops it, made the process's only name server by a private mount of /etc/resolv.conf. Name
// look-ups made afterwards by new threads of the calling thread hang until the resolver's own
// time-out (several seconds). False (with a warning) where the namespace does not allow it.
class SilentNameServer
{
public:
    SilentNameServer() = default;
    ~SilentNameServer();
    bool start();

private:
    int fd = -1;
};
