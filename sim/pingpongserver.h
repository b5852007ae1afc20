#pragma once

#include <QByteArray>
#include <QString>

#include <list>
#include <mutex>
#include <thread>

// For benchmarks only: the transport limit that reads from a simulated module are measured
// against. A plain TCP server: each request is a 4-byte big-endian byte count, answered with
// that many bytes (at most maxReplyBytes) sent straight from one buffer, with no framing and no
// copy of its own. Runs beside the simulated modules, in the same process, so that it shares
// their CPU placement.
class PingPongServer
{
public:
    static constexpr unsigned short port = 5099;
    static constexpr int maxReplyBytes = (16 << 20) + 64;

    PingPongServer();
    ~PingPongServer();
    PingPongServer(const PingPongServer &) = delete;
    PingPongServer &operator=(const PingPongServer &) = delete;

    bool start(const QString &address, QString *error = nullptr);
    void stop();

private:
    struct Connection
    {
        int fd;
        std::thread thread;
    };

    void acceptLoop();
    void serve(int fd) const;

    QByteArray reply;
    int listenFd = -1;
    int stopFd = -1;
    std::thread listener;
    std::mutex lock;
    std::list<Connection> connections;
};
