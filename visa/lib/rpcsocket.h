#pragma once

#include "deadline.h"
#include "netsocket.h"
#include "rpcrecord.h"
#include "rpcreply.h"

#include <rpc/rpc.h>

#include <atomic>
#include <memory>
#include <string>

namespace vdvisa {

// An IPv4 or IPv6 socket address.
struct PeerAddress
{
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    void setPort(unsigned short port);
    // The numeric address, without port or brackets.
    std::string text() const;
    // A numeric address (IPv4 dotted quad, IPv6 literal): never asks a name service.
    static bool fromLiteral(const std::string &host, PeerAddress &out);
};

// An ONC RPC client over a TCP connection that we open ourselves: connecting is bounded by
// our own deadline, the socket gets TCP_NODELAY (a query is two small calls whose latency
// Nagle's algorithm would multiply), and a call that times out leaves the stream in step,
// so the late reply of one call is recognised by its transaction id and dropped instead of
// being taken for the answer to the next call. Every wait ends at the caller's deadline,
// whatever the peer sends: replies to other calls, a record in pieces, or nothing.
class RpcSocket
{
public:
    RpcSocket() = default;
    ~RpcSocket();
    RpcSocket(const RpcSocket &) = delete;
    RpcSocket &operator=(const RpcSocket &) = delete;

    // False when the host does not accept the connection before the deadline.
    bool connect(const PeerAddress &address, unsigned long program, unsigned long version,
                 const Deadline &deadline, bool noDelay = true);
    clnt_stat call(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                   xdrproc_t decodeResult, void *result, const Deadline &deadline);
    // The two halves of a call, so that a second call can be sent before the first reply
    // has come back (the server answers the calls of one connection in order). With more
    // set, the call waits for the next one and both go out in one piece.
    clnt_stat send(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                   const Deadline &deadline, u_int32_t &xid, bool more = false);
    clnt_stat receive(u_int32_t xid, xdrproc_t decodeResult, void *result,
                      const Deadline &deadline);
    // The reply to a device_read: its data land in `into` (room for capacity bytes) straight
    // from the socket; see ReplyReader::receiveRead.
    clnt_stat receiveRead(u_int32_t xid, ReadReply &reply, char *into, size_t capacity,
                          const Deadline &deadline);
    // Breaks a call in progress on another thread (the socket stops delivering data).
    void interrupt();
    void setNoDelay(bool on);
    void close();
    bool isOpen() const { return fd.load() >= 0; }

    // The largest reply record accepted; a peer announcing more breaks the connection.
    static constexpr size_t maxRecordSize = 64u << 20;

private:
    // The connected socket as the replies' byte source: every wait ends at the deadline.
    class Source : public ByteSource
    {
    public:
        explicit Source(const std::atomic<int> &socket) : fd(socket) {}
        Result receive(char *into, size_t size, const Deadline &deadline,
                       size_t &received) override;

    private:
        const std::atomic<int> &fd;
        bool maybeMore = false; // the last receive filled all the room it had
    };

    bool sendQueued(const Deadline &deadline);

    std::atomic<int> fd{-1};
    unsigned long program = 0;
    unsigned long version = 0;
    u_int32_t nextXid = 0;
    Source source{fd};
    ReplyReader replies{maxRecordSize};
    // The calls being sent, each behind its record mark; the memory is kept for later calls.
    std::unique_ptr<char[]> sendBuffer;
    size_t sendCapacity = 0;
    size_t queued = 0;
};

} // namespace vdvisa
