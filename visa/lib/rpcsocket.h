#pragma once

#include <netinet/in.h>
#include <rpc/rpc.h>

#include <atomic>
#include <string>

namespace vdvisa {

// An ONC RPC client over a TCP connection that we open ourselves, so that connecting is
// bounded by our own time-out and the socket gets TCP_NODELAY (a query is two small calls
// whose latency Nagle's algorithm would multiply).
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
    clnt_stat call(unsigned long procedure, xdrproc_t encodeArgs, void *args, xdrproc_t decodeResult,
                   void *result, long long timeoutMs);
    // Breaks a call in progress on another thread (the socket stops delivering data).
    void interrupt();
    void setNoDelay(bool on);
    void close();
    bool isOpen() const { return client != nullptr; }
    int descriptor() const { return fd; }

    static bool resolve(const std::string &host, unsigned short port, sockaddr_in &out);

private:
    std::atomic<int> fd{-1};
    CLIENT *client = nullptr;
    sockaddr_in peer{};
};

timeval toTimeval(long long ms);

} // namespace vdvisa
