#include "rpcsocket.h"

#include "rpcreply.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace vdvisa {

namespace {
// poll() takes an int; a very long deadline is waited out in slices.
int pollMs(const Deadline &deadline)
{
    return int(std::min<long long>(deadline.remainingMs() + 1, INT_MAX));
}
} // namespace

void PeerAddress::setPort(unsigned short port)
{
    if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6 *>(&storage)->sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in *>(&storage)->sin_port = htons(port);
}

std::string PeerAddress::text() const
{
    char buffer[INET6_ADDRSTRLEN] = {};
    if (family() == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_addr, buffer,
                  sizeof buffer);
    else if (family() == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(&storage)->sin_addr, buffer,
                  sizeof buffer);
    return buffer;
}

bool PeerAddress::fromLiteral(const std::string &host, PeerAddress &out)
{
    out = PeerAddress();
    if (host.find(':') == std::string::npos) {
        auto *v4 = reinterpret_cast<sockaddr_in *>(&out.storage);
        if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) != 1)
            return false;
        v4->sin_family = AF_INET;
        out.length = sizeof *v4;
        return true;
    }
    // IPv6, possibly with a zone ("fe80::1%eth0"); numeric only, the name service is never asked.
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    std::memcpy(&out.storage, found->ai_addr, found->ai_addrlen);
    out.length = found->ai_addrlen;
    freeaddrinfo(found);
    return true;
}

RpcSocket::~RpcSocket()
{
    close();
}

bool RpcSocket::connect(const PeerAddress &address, unsigned long rpcProgram,
                        unsigned long rpcVersion, const Deadline &deadline, bool noDelay)
{
    close();
    int s = ::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0)
        return false;
    int rc = ::connect(s, reinterpret_cast<const sockaddr *>(&address.storage), address.length);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{s, POLLOUT, 0};
        do
            rc = ::poll(&p, 1, pollMs(deadline));
        while (rc < 0 && errno == EINTR && !deadline.expired());
        int error = 0;
        socklen_t length = sizeof error;
        rc = (rc == 1 && getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
                 ? 0
                 : -1;
    }
    if (rc != 0) {
        ::close(s);
        return false;
    }
    int flag = noDelay ? 1 : 0;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
    program = rpcProgram;
    version = rpcVersion;
    nextXid = u_int32_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
              u_int32_t(::getpid() << 16);
    assembler.reset();
    fd = s;
    return true;
}

bool RpcSocket::sendRecord(const std::string &body, const Deadline &deadline)
{
    std::string wire(4, '\0');
    const u_int32_t mark = htonl(0x80000000u | u_int32_t(body.size()));
    std::memcpy(&wire[0], &mark, 4);
    wire += body;
    size_t sent = 0;
    while (sent < wire.size()) {
        ssize_t n = ::send(fd, wire.data() + sent, wire.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !deadline.expired()) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, pollMs(deadline)) >= 0)
                continue;
        }
        return false;
    }
    return true;
}

bool RpcSocket::receiveRecord(std::string &record, const Deadline &deadline, clnt_stat &failure)
{
    for (;;) {
        if (assembler.next(record))
            return true;
        if (assembler.broken()) {
            failure = RPC_CANTDECODERES;
            return false;
        }
        if (deadline.expired()) {
            failure = RPC_TIMEDOUT;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, pollMs(deadline));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0) {
            failure = RPC_CANTRECV;
            return false;
        }
        if (rc == 0)
            continue;
        char buffer[65536];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            failure = RPC_CANTRECV;
            return false;
        }
        assembler.feed(buffer, size_t(n));
    }
}

clnt_stat RpcSocket::send(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                          const Deadline &deadline, u_int32_t &xid)
{
    if (fd.load() < 0)
        return RPC_CANTSEND;
    if (deadline.expired())
        return RPC_TIMEDOUT;
    xid = nextXid++;
    rpc_msg request{};
    request.rm_xid = xid;
    request.rm_direction = CALL;
    request.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    request.rm_call.cb_prog = program;
    request.rm_call.cb_vers = version;
    request.rm_call.cb_proc = procedure;
    request.rm_call.cb_cred = _null_auth;
    request.rm_call.cb_verf = _null_auth;
    std::string body(size_t(xdr_sizeof(encodeArgs, args)) + 64, '\0');
    XDR encoder;
    xdrmem_create(&encoder, &body[0], u_int(body.size()), XDR_ENCODE);
    const bool encoded = xdr_callmsg(&encoder, &request) && encodeArgs(&encoder, args);
    body.resize(xdr_getpos(&encoder));
    xdr_destroy(&encoder);
    if (!encoded)
        return RPC_CANTENCODEARGS;
    if (!sendRecord(body, deadline))
        return RPC_CANTSEND;
    outstanding.insert(xid);
    return RPC_SUCCESS;
}

clnt_stat RpcSocket::receive(u_int32_t xid, xdrproc_t decodeResult, void *result,
                             const Deadline &deadline)
{
    std::string record;
    auto early = earlyReplies.find(xid);
    if (early != earlyReplies.end()) {
        record.swap(early->second);
        earlyReplies.erase(early);
    } else {
        for (;;) {
            clnt_stat failure = RPC_SUCCESS;
            if (!receiveRecord(record, deadline, failure)) {
                // Given up: a late reply to this call will be recognised and dropped.
                outstanding.erase(xid);
                return failure;
            }
            u_int32_t replyXid = 0;
            const bool header = vdvisa::replyXid(record, replyXid);
            if (header && replyXid == xid)
                break;
            if (header && outstanding.count(replyXid))
                earlyReplies[replyXid].swap(record);
        }
    }
    outstanding.erase(xid);
    return decodeReply(record, decodeResult, result);
}

clnt_stat RpcSocket::call(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                          xdrproc_t decodeResult, void *result, const Deadline &deadline)
{
    u_int32_t xid = 0;
    clnt_stat status = send(procedure, encodeArgs, args, deadline, xid);
    if (status != RPC_SUCCESS)
        return status;
    return receive(xid, decodeResult, result, deadline);
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
    int current = fd.exchange(-1);
    if (current >= 0)
        ::close(current);
    assembler.reset();
    outstanding.clear();
    earlyReplies.clear();
}

} // namespace vdvisa
