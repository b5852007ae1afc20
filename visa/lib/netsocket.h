#pragma once

// The few socket calls that differ between BSD sockets and Winsock, so that the library's
// sources read the same on both: a socket is an int here (Winsock's handles fit one on
// 32-bit Windows), -1 when there is none.

#ifdef _WIN32
// Winsock without the rest of the Windows API's macros (min, max, interface).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <process.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vdvisa::net {

#ifdef _WIN32
// Winsock is started once per process, before the first socket or name look-up, and stays.
inline bool startup()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

inline int openSocket(int family, int type, bool nonBlocking)
{
    if (!startup())
        return -1;
    const SOCKET s = ::socket(family, type, 0);
    if (s == INVALID_SOCKET)
        return -1;
    u_long on = nonBlocking ? 1 : 0;
    ::ioctlsocket(s, FIONBIO, &on);
    return int(s);
}

inline void closeSocket(int s)
{
    ::closesocket(SOCKET(s));
}

inline void shutdownBoth(int s)
{
    ::shutdown(SOCKET(s), SD_BOTH);
}

// Winsock sends no SIGPIPE: nothing to suppress.
constexpr int sendFlags = 0;

inline bool interrupted()
{
    return WSAGetLastError() == WSAEINTR;
}
inline bool wouldBlock()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
inline bool connectPending()
{
    const int e = WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}

// Waits until the socket can be read (or written) or has failed, at most ms milliseconds:
// 1 ready, 0 not yet, -1 error. select, not WSAPoll: older WSAPoll does not report a
// refused connection.
inline int waitFor(int s, bool forWrite, int ms)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(SOCKET(s), &ready);
    FD_SET(SOCKET(s), &failed);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    const int rc = ::select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr,
                            &failed, &limit);
    return rc == SOCKET_ERROR ? -1 : rc > 0 ? 1 : 0;
}

inline long processId()
{
    return long(::_getpid());
}
#else
inline bool startup()
{
    return true;
}

inline int openSocket(int family, int type, bool nonBlocking)
{
    return ::socket(family, type | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
}

inline void closeSocket(int s)
{
    ::close(s);
}

inline void shutdownBoth(int s)
{
    ::shutdown(s, SHUT_RDWR);
}

constexpr int sendFlags = MSG_NOSIGNAL;

inline bool interrupted()
{
    return errno == EINTR;
}
inline bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}
inline bool connectPending()
{
    return errno == EINPROGRESS;
}

inline int waitFor(int s, bool forWrite, int ms)
{
    pollfd p{s, short(forWrite ? POLLOUT : POLLIN), 0};
    const int rc = ::poll(&p, 1, ms);
    return rc < 0 ? -1 : rc > 0 ? 1 : 0;
}

inline long processId()
{
    return long(::getpid());
}
#endif

} // namespace vdvisa::net
