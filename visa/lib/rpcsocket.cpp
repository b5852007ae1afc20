#include "rpcsocket.h"

#include "deadline.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace vdvisa {

namespace {
// Replies larger than this are not VXI-11 replies we asked for.
constexpr u_int32_t maxRecordSize = 64u << 20;
} // namespace

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

bool RpcSocket::connect(const sockaddr_in &address, unsigned long rpcProgram,
                        unsigned long rpcVersion, long long timeoutMs, bool noDelay)
{
    close();
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0)
        return false;
    int rc = ::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd p{s, POLLOUT, 0};
        rc = ::poll(&p, 1, int(timeoutMs));
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
    received.clear();
    fd = s;
    return true;
}

bool RpcSocket::sendRecord(const std::string &body, long long timeoutMs)
{
    std::string wire(4, '\0');
    const u_int32_t mark = htonl(0x80000000u | u_int32_t(body.size()));
    std::memcpy(&wire[0], &mark, 4);
    wire += body;
    Deadline deadline(timeoutMs);
    size_t sent = 0;
    while (sent < wire.size()) {
        ssize_t n = ::send(fd, wire.data() + sent, wire.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, int(deadline.remainingMs())) > 0)
                continue;
        }
        return false;
    }
    return true;
}

bool RpcSocket::receiveRecord(std::string &record, long long timeoutMs, clnt_stat &failure)
{
    Deadline deadline(timeoutMs);
    for (;;) {
        // Whole record in what has arrived so far?
        size_t position = 0;
        std::string assembled;
        bool complete = false;
        while (position + 4 <= received.size()) {
            u_int32_t mark;
            std::memcpy(&mark, received.data() + position, 4);
            mark = ntohl(mark);
            const u_int32_t length = mark & 0x7fffffffu;
            if (assembled.size() + length > maxRecordSize) {
                failure = RPC_CANTDECODERES;
                return false;
            }
            if (position + 4 + length > received.size())
                break;
            assembled.append(received, position + 4, length);
            position += 4 + length;
            if (mark & 0x80000000u) {
                complete = true;
                break;
            }
        }
        if (complete) {
            received.erase(0, position);
            record.swap(assembled);
            return true;
        }
        const long long left = deadline.remainingMs();
        if (left <= 0) {
            failure = RPC_TIMEDOUT;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, int(left));
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
        received.append(buffer, size_t(n));
    }
}

clnt_stat RpcSocket::send(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                          long long timeoutMs, u_int32_t &xid)
{
    if (fd.load() < 0)
        return RPC_CANTSEND;
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
    if (!sendRecord(body, timeoutMs))
        return RPC_CANTSEND;
    outstanding.insert(xid);
    return RPC_SUCCESS;
}

clnt_stat RpcSocket::receive(u_int32_t xid, xdrproc_t decodeResult, void *result,
                             long long timeoutMs)
{
    Deadline deadline(timeoutMs);
    std::string record;
    auto early = earlyReplies.find(xid);
    if (early != earlyReplies.end()) {
        record.swap(early->second);
        earlyReplies.erase(early);
    } else {
        for (;;) {
            clnt_stat failure = RPC_SUCCESS;
            if (!receiveRecord(record, deadline.remainingMs(), failure)) {
                // Given up: a late reply to this call will be recognised and dropped.
                outstanding.erase(xid);
                return failure;
            }
            u_int32_t replyXid = 0;
            XDR peek;
            xdrmem_create(&peek, &record[0], u_int(record.size()), XDR_DECODE);
            const bool header = xdr_u_int32_t(&peek, &replyXid);
            xdr_destroy(&peek);
            if (header && replyXid == xid)
                break;
            if (header && outstanding.count(replyXid))
                earlyReplies[replyXid].swap(record);
        }
    }
    outstanding.erase(xid);

    rpc_msg reply{};
    reply.acpted_rply.ar_verf = _null_auth;
    reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(result);
    reply.acpted_rply.ar_results.proc = decodeResult;
    XDR decoder;
    xdrmem_create(&decoder, &record[0], u_int(record.size()), XDR_DECODE);
    const bool decoded = xdr_replymsg(&decoder, &reply);
    xdr_destroy(&decoder);
    if (!decoded)
        return RPC_CANTDECODERES;
    if (reply.rm_reply.rp_stat != MSG_ACCEPTED)
        return RPC_AUTHERROR;
    switch (reply.acpted_rply.ar_stat) {
    case SUCCESS:
        return RPC_SUCCESS;
    case PROG_UNAVAIL:
        return RPC_PROGUNAVAIL;
    case PROG_MISMATCH:
        return RPC_PROGVERSMISMATCH;
    case PROC_UNAVAIL:
        return RPC_PROCUNAVAIL;
    case GARBAGE_ARGS:
        return RPC_CANTDECODEARGS;
    default:
        return RPC_SYSTEMERROR;
    }
}

clnt_stat RpcSocket::call(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                          xdrproc_t decodeResult, void *result, long long timeoutMs)
{
    Deadline deadline(timeoutMs);
    u_int32_t xid = 0;
    clnt_stat status = send(procedure, encodeArgs, args, timeoutMs, xid);
    if (status != RPC_SUCCESS)
        return status;
    return receive(xid, decodeResult, result, deadline.remainingMs());
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
    received.clear();
    outstanding.clear();
    earlyReplies.clear();
}

} // namespace vdvisa
