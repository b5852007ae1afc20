#pragma once

#include <netinet/in.h>
#include <rpc/rpc.h>

#include <atomic>
#include <map>
#include <set>
#include <string>

namespace vdvisa {

// An ONC RPC client over a TCP connection that we open ourselves: connecting is bounded by
// our own time-out, the socket gets TCP_NODELAY (a query is two small calls whose latency
// Nagle's algorithm would multiply), and a call that times out leaves the stream in step,
// so the late reply of one call is recognised by its transaction id and dropped instead of
// being taken for the answer to the next call.
class RpcSocket
{
public:
    RpcSocket() = default;
    ~RpcSocket();
    RpcSocket(const RpcSocket &) = delete;
    RpcSocket &operator=(const RpcSocket &) = delete;

    // False when the host does not accept the connection within timeoutMs.
    bool connect(const sockaddr_in &address, unsigned long program, unsigned long version,
                 long long timeoutMs, bool noDelay = true);
    clnt_stat call(unsigned long procedure, xdrproc_t encodeArgs, void *args,
                   xdrproc_t decodeResult, void *result, long long timeoutMs);
    // The two halves of a call, so that a second call can be sent before the first reply
    // has come back (the server answers the calls of one connection in order).
    clnt_stat send(unsigned long procedure, xdrproc_t encodeArgs, void *args, long long timeoutMs,
                   u_int32_t &xid);
    clnt_stat receive(u_int32_t xid, xdrproc_t decodeResult, void *result, long long timeoutMs);
    // Breaks a call in progress on another thread (the socket stops delivering data).
    void interrupt();
    void setNoDelay(bool on);
    void close();
    bool isOpen() const { return fd.load() >= 0; }

    static bool resolve(const std::string &host, unsigned short port, sockaddr_in &out);

private:
    bool sendRecord(const std::string &body, long long timeoutMs);
    // The next whole record from the stream; false on time-out (re_status set) or failure.
    bool receiveRecord(std::string &record, long long timeoutMs, clnt_stat &failure);

    std::atomic<int> fd{-1};
    unsigned long program = 0;
    unsigned long version = 0;
    u_int32_t nextXid = 0;
    std::string received;                          // bytes of records not yet consumed
    std::set<u_int32_t> outstanding;               // calls sent whose reply is still wanted
    std::map<u_int32_t, std::string> earlyReplies; // replies that came before their turn
};

timeval toTimeval(long long ms);

} // namespace vdvisa
