#pragma once

#include "deadline.h"
#include "rpcrecord.h"

#include <rpc/rpc.h>
#include <sys/socket.h>

#include <atomic>
#include <map>
#include <set>
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
    // has come back (the server answers the calls of one connection in order).
    clnt_stat send(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                   const Deadline &deadline, u_int32_t &xid);
    clnt_stat receive(u_int32_t xid, xdrproc_t decodeResult, void *result,
                      const Deadline &deadline);
    // Breaks a call in progress on another thread (the socket stops delivering data).
    void interrupt();
    void setNoDelay(bool on);
    void close();
    bool isOpen() const { return fd.load() >= 0; }

    // The largest reply record accepted; a peer announcing more breaks the connection.
    static constexpr size_t maxRecordSize = 64u << 20;

private:
    bool sendRecord(const std::string &body, const Deadline &deadline);
    // The next whole record from the stream; false on time-out (failure RPC_TIMEDOUT) or a
    // broken stream.
    bool receiveRecord(std::string &record, const Deadline &deadline, clnt_stat &failure);

    std::atomic<int> fd{-1};
    unsigned long program = 0;
    unsigned long version = 0;
    u_int32_t nextXid = 0;
    RecordAssembler assembler{maxRecordSize};
    std::set<u_int32_t> outstanding;               // calls sent whose reply is still wanted
    std::map<u_int32_t, std::string> earlyReplies; // replies that came before their turn
};

} // namespace vdvisa
