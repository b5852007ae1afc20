#include "rpcsocket.h"

#include "netsocket.h"
#include "rpcreply.h"

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
    // Winsock answers even numeric conversions only once started.
    if (!net::startup())
        return false;
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
    int s = net::openSocket(address.family(), SOCK_STREAM, true);
    if (s < 0)
        return false;
    int rc = ::connect(s, reinterpret_cast<const sockaddr *>(&address.storage), address.length);
    if (rc != 0 && net::connectPending()) {
        do
            rc = net::waitFor(s, true, pollMs(deadline));
        while (rc < 0 && net::interrupted() && !deadline.expired());
        int error = 0;
        socklen_t length = sizeof error;
        rc = (rc == 1 &&
              getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) == 0 &&
              error == 0)
                 ? 0
                 : -1;
    }
    if (rc != 0) {
        net::closeSocket(s);
        return false;
    }
    int flag = noDelay ? 1 : 0;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&flag), sizeof flag);
    program = rpcProgram;
    version = rpcVersion;
    nextXid = u_int32_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
              u_int32_t(net::processId() << 16);
    replies.reset();
    fd = s;
    return true;
}

bool RpcSocket::sendQueued(const Deadline &deadline)
{
    const char *wire = sendBuffer.get();
    const size_t size = queued;
    queued = 0;
    size_t sent = 0;
    while (sent < size) {
        const auto n = ::send(fd, wire + sent, int(std::min<size_t>(size - sent, INT_MAX)),
                              net::sendFlags);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && net::interrupted())
            continue;
        if (n < 0 && net::wouldBlock() && !deadline.expired()) {
            if (net::waitFor(fd, true, pollMs(deadline)) >= 0)
                continue;
        }
        return false;
    }
    return true;
}

RpcSocket::Source::Result RpcSocket::Source::receive(char *into, size_t size,
                                                     const Deadline &deadline, size_t &received)
{
    received = 0;
    for (;;) {
        // A reply is awaited with poll; the rest of a long one is usually there already.
        if (!maybeMore) {
            if (deadline.expired())
                return Result::TimedOut;
            const int rc = net::waitFor(fd.load(), false, pollMs(deadline));
            if (rc < 0 && !net::interrupted())
                return Result::Closed;
            if (rc <= 0)
                continue;
        }
        const auto n = ::recv(fd.load(), into, int(std::min<size_t>(size, INT_MAX)), 0);
        if (n > 0) {
            received = size_t(n);
            maybeMore = received == size;
            return Result::Data;
        }
        maybeMore = false;
        if (n < 0 && (net::interrupted() || net::wouldBlock()))
            continue;
        return Result::Closed;
    }
}

clnt_stat RpcSocket::send(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                          const Deadline &deadline, u_int32_t &xid, bool more)
{
    if (fd.load() < 0)
        return RPC_CANTSEND;
    if (deadline.expired()) {
        queued = 0;
        return RPC_TIMEDOUT;
    }
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
    // The call header with null credentials takes 40 bytes; room for it and the arguments,
    // behind the calls already queued.
    const size_t callBytes = size_t(xdr_sizeof(encodeArgs, args)) + 64;
    // A record mark holds 31 bits of length.
    if (callBytes > 0x7fffffffu) {
        queued = 0;
        return RPC_CANTENCODEARGS;
    }
    const size_t needed = queued + 4 + callBytes;
    if (needed > sendCapacity) {
        std::unique_ptr<char[]> larger(new char[needed]);
        if (queued > 0)
            std::memcpy(larger.get(), sendBuffer.get(), queued);
        sendBuffer.swap(larger);
        sendCapacity = needed;
    }
    char *record = sendBuffer.get() + queued;
    XDR encoder;
    xdrmem_create(&encoder, record + 4, u_int(callBytes), XDR_ENCODE);
    const bool encoded = xdr_callmsg(&encoder, &request) && encodeArgs(&encoder, args);
    const u_int32_t size = xdr_getpos(&encoder);
    xdr_destroy(&encoder);
    if (!encoded) {
        queued = 0;
        return RPC_CANTENCODEARGS;
    }
    const u_int32_t mark = htonl(0x80000000u | size);
    std::memcpy(record, &mark, 4);
    queued += 4 + size;
    replies.expect(xid);
    if (more)
        return RPC_SUCCESS;
    return sendQueued(deadline) ? RPC_SUCCESS : RPC_CANTSEND;
}

clnt_stat RpcSocket::receive(u_int32_t xid, xdrproc_t decodeResult, void *result,
                             const Deadline &deadline)
{
    return replies.receive(source, xid, decodeResult, result, deadline);
}

clnt_stat RpcSocket::receiveRead(u_int32_t xid, ReadReply &reply, char *into, size_t capacity,
                                 const Deadline &deadline)
{
    return replies.receiveRead(source, xid, reply, into, capacity, deadline);
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
        net::shutdownBoth(current);
}

void RpcSocket::setNoDelay(bool on)
{
    int flag = on ? 1 : 0;
    int current = fd.load();
    if (current >= 0)
        ::setsockopt(current, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&flag),
                     sizeof flag);
}

void RpcSocket::close()
{
    int current = fd.exchange(-1);
    if (current >= 0)
        net::closeSocket(current);
    replies.reset();
    queued = 0;
}

} // namespace vdvisa
