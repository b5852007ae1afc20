#pragma once

#include <QString>

#include <netinet/in.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class Vxi11Server;

// The ear of the simulated instruments for portmapper broadcasts. A server bound to its own
// address never sees a datagram sent to the subnet's broadcast address, so this listens on
// port 111 of the broadcast addresses themselves (the subnet's and 255.255.255.255) and hands
// each call to every instrument on the interface it came in on; each one answers from its own
// address, as instruments on a real LAN do. Unicast calls never reach it: they go to the
// instrument's own socket as before.
class BroadcastPortmapper
{
public:
    BroadcastPortmapper() = default;
    ~BroadcastPortmapper();
    BroadcastPortmapper(const BroadcastPortmapper &) = delete;
    BroadcastPortmapper &operator=(const BroadcastPortmapper &) = delete;

    // Lets server answer the broadcasts on the interface that carries address. An address on
    // no interface that can broadcast (loopback, 0.0.0.0, whose server hears broadcasts
    // itself) needs nothing. False, with the reason in error, when a socket cannot listen.
    bool serve(const QString &address, Vxi11Server *server, QString *error = nullptr);
    // Stops listening; no server is called after it returns.
    void stop();

private:
    struct Member
    {
        Vxi11Server *server;
        unsigned interfaceIndex;
        in_addr_t broadcast;
    };
    struct Ear
    {
        int fd;
        in_addr_t address;
    };

    bool listenOn(in_addr_t broadcast, QString *error);
    void listenLoop();
    void answer(int fd);

    std::mutex lock;
    std::vector<Member> members;
    std::vector<Ear> ears;
    int wakeFd = -1;
    std::atomic<bool> stopping{false};
    std::thread listener;
};
