#include "pingpongserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

PingPongServer::PingPongServer() : reply(maxReplyBytes, 'x') {}

PingPongServer::~PingPongServer()
{
    stop();
}

bool PingPongServer::start(const QString &address, QString *error)
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    if (inet_pton(AF_INET, address.toLatin1().constData(), &at.sin_addr) != 1 || listenFd < 0 ||
        ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(listenFd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0 ||
        ::listen(listenFd, 8) != 0) {
        if (error)
            *error = QStringLiteral("ping-pong server on %1:%2: %3")
                         .arg(address)
                         .arg(port)
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    stopFd = ::eventfd(0, EFD_CLOEXEC);
    listener = std::thread([this] { acceptLoop(); });
    return true;
}

void PingPongServer::stop()
{
    if (listener.joinable()) {
        const uint64_t one = 1;
        if (::write(stopFd, &one, sizeof one) < 0) {
            // The eventfd cannot be full.
        }
        listener.join();
    }
    std::list<Connection> ended;
    {
        std::lock_guard<std::mutex> guard(lock);
        ended.swap(connections);
    }
    for (Connection &connection : ended) {
        ::shutdown(connection.fd, SHUT_RDWR);
        connection.thread.join();
        ::close(connection.fd);
    }
    for (int *fd : {&listenFd, &stopFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PingPongServer::acceptLoop()
{
    for (;;) {
        pollfd watched[2] = {{stopFd, POLLIN, 0}, {listenFd, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR)
            return;
        if (watched[0].revents & POLLIN)
            return;
        if (!(watched[1].revents & POLLIN))
            continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::lock_guard<std::mutex> guard(lock);
        connections.push_back({fd, std::thread([this, fd] { serve(fd); })});
    }
}

void PingPongServer::serve(int fd) const
{
    for (;;) {
        uint32_t count = 0;
        size_t received = 0;
        while (received < sizeof count) {
            const ssize_t n = ::recv(fd, reinterpret_cast<char *>(&count) + received,
                                     sizeof count - received, 0);
            if (n <= 0)
                return;
            received += size_t(n);
        }
        const size_t bytes = std::min<size_t>(ntohl(count), size_t(reply.size()));
        size_t sent = 0;
        while (sent < bytes) {
            const ssize_t n = ::send(fd, reply.constData() + sent, bytes - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += size_t(n);
        }
    }
}
