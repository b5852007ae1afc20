#include "rpcsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace vdvisa {

timeval toTimeval(long long ms)
{
    if (ms < 0)
        ms = 0;
    timeval tv;
    tv.tv_sec = time_t(ms / 1000);
    tv.tv_usec = suseconds_t((ms % 1000) * 1000);
    return tv;
}

RpcSocket::~RpcSocket()
{
    close();
}

bool RpcSocket::resolve(const std::string &host, unsigned short port, sockaddr_in &out)
{
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    out.sin_addr = reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

bool RpcSocket::connect(const sockaddr_in &address, unsigned long program, unsigned long version,
                        long long timeoutMs, bool noDelay)
{
    close();
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    int rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        rc = ::poll(&p, 1, int(timeoutMs));
        int error = 0;
        socklen_t length = sizeof error;
        if (rc == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            rc = 0;
        else
            rc = -1;
    }
    if (rc != 0) {
        close();
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    int flag = noDelay ? 1 : 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
    peer = address;
    netbuf remote{sizeof peer, sizeof peer, &peer};
    client = clnt_vc_create(fd, &remote, program, version, 0, 0);
    if (!client) {
        close();
        return false;
    }
    return true;
}

clnt_stat RpcSocket::call(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                          xdrproc_t decodeResult, void *result, long long timeoutMs)
{
    if (!client)
        return RPC_CANTSEND;
    return clnt_call(client, procedure, encodeArgs, reinterpret_cast<char *>(args), decodeResult,
                     reinterpret_cast<char *>(result), toTimeval(timeoutMs));
}

void RpcSocket::interrupt()
{
    int current = fd.load();
    if (current >= 0)
        ::shutdown(current, SHUT_RDWR);
}

void RpcSocket::setNoDelay(bool on)
{
    int flag = on ? 1 : 0;
    int current = fd.load();
    if (current >= 0)
        ::setsockopt(current, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
}

void RpcSocket::close()
{
    if (client) {
        clnt_destroy(client);
        client = nullptr;
    }
    int current = fd.exchange(-1);
    if (current >= 0)
        ::close(current);
}

} // namespace vdvisa
