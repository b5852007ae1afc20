#include "vxi11server.h"

#include "rpcwire.h"
#include "simmodule.h"
#include "vxi11.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

namespace {
// VXI-11 error codes and flags.
constexpr long errorNone = 0;
constexpr long errorNotAccessible = 3;
constexpr long errorInvalidLink = 4;
constexpr long errorNotSupported = 8;
constexpr long errorOutOfResources = 9;
constexpr long errorTimeout = 15;
constexpr long flagEnd = 0x08;
constexpr long flagTermCharSet = 0x80;
constexpr long reasonRequestCount = 1;
constexpr long reasonTermChar = 2;
constexpr long reasonEnd = 4;
// The largest write chunk we invite clients to send in one call, and the most a message may
// hold before its END arrives: a client that keeps writing without END gets an error, not all
// of our memory.
constexpr unsigned long maxReceiveSize = 1u << 20;
// How long the listener stops accepting when the process is out of file descriptors (or
// memory): the waiting connections stay queued instead of the accept loop spinning.
constexpr int acceptBackOffMs = 100;

// An IPv4 or IPv6 listening address with a port.
struct ListenAddress
{
    sockaddr_storage storage{};
    socklen_t length = 0;

    bool parse(const QString &text)
    {
        const QByteArray host = text.toLatin1();
        auto *v4 = reinterpret_cast<sockaddr_in *>(&storage);
        auto *v6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        if (inet_pton(AF_INET, host.constData(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            length = sizeof *v4;
            return true;
        }
        if (inet_pton(AF_INET6, host.constData(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            length = sizeof *v6;
            return true;
        }
        return false;
    }
    int family() const { return storage.ss_family; }
    void setPort(unsigned short port)
    {
        if (family() == AF_INET6)
            reinterpret_cast<sockaddr_in6 *>(&storage)->sin6_port = htons(port);
        else
            reinterpret_cast<sockaddr_in *>(&storage)->sin_port = htons(port);
    }
    unsigned short port() const
    {
        return ntohs(family() == AF_INET6
                         ? reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_port
                         : reinterpret_cast<const sockaddr_in *>(&storage)->sin_port);
    }
    QByteArray host() const
    {
        char text[INET6_ADDRSTRLEN] = {};
        if (family() == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_addr,
                      text, sizeof text);
        else
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(&storage)->sin_addr, text,
                      sizeof text);
        return text;
    }
};

int listenOn(const ListenAddress &address, int type, unsigned short *port, QString *error)
{
    int fd = ::socket(address.family(), type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (address.family() == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (type == SOCK_DGRAM)
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address.storage), address.length) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 64) != 0)) {
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(QString::fromLatin1(address.host()))
                         .arg(address.port())
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return -1;
    }
    ListenAddress bound;
    bound.length = sizeof bound.storage;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound.storage), &bound.length);
    if (port)
        *port = bound.port();
    return fd;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A device_read reply up to its data's length word; the data follow it on the wire.
bool_t xdrReadRespHead(XDR *xdrs, Device_ReadResp *result)
{
    return xdr_Device_ErrorCode(xdrs, &result->error) && xdr_long(xdrs, &result->reason) &&
           xdr_u_int(xdrs, &result->data.data_len);
}

template <typename T> bool decodeArgs(XDR &args, xdrproc_t decode, T &value)
{
    std::memset(&value, 0, sizeof value);
    return decode(&args, &value);
}
} // namespace

Vxi11Server::Vxi11Server(SimModule &simModule) : module(simModule) {}

Vxi11Server::~Vxi11Server()
{
    stop();
}

bool Vxi11Server::start(const QString &address, QString *error, unsigned short corePort)
{
    ListenAddress at;
    if (!at.parse(address)) {
        if (error)
            *error = QStringLiteral("not an IPv4 or IPv6 address: %1").arg(address);
        return false;
    }
    boundAddress = address;
    at.setPort(corePort);
    coreFd = listenOn(at, SOCK_STREAM, &corePortNumber, error);
    at.setPort(0);
    abortFd = coreFd < 0 ? -1 : listenOn(at, SOCK_STREAM, &abortPortNumber, error);
    at.setPort(PMAPPORT);
    mapperTcpFd = abortFd < 0 ? -1 : listenOn(at, SOCK_STREAM, nullptr, error);
    mapperUdpFd = mapperTcpFd < 0 ? -1 : listenOn(at, SOCK_DGRAM, nullptr, error);
    stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (mapperUdpFd < 0 || stopFd < 0) {
        closeFd(coreFd);
        closeFd(abortFd);
        closeFd(mapperTcpFd);
        closeFd(mapperUdpFd);
        closeFd(stopFd);
        return false;
    }
    module.setDropLinksHandler([this] { dropConnections(); });
    listener = std::thread([this] { listenLoop(); });
    return true;
}

void Vxi11Server::stop()
{
    if (stopFd < 0)
        return;
    module.setDropLinksHandler(nullptr);
    const uint64_t one = 1;
    if (::write(stopFd, &one, sizeof one) < 0) {
        // The eventfd cannot be full; nothing else to do.
    }
    if (listener.joinable())
        listener.join();
    dropConnections();
    reapConnections(true);
    closeFd(coreFd);
    closeFd(abortFd);
    closeFd(mapperTcpFd);
    closeFd(mapperUdpFd);
    closeFd(stopFd);
}

void Vxi11Server::dropConnections()
{
    std::lock_guard<std::mutex> guard(connectionsLock);
    for (auto &connection : connections)
        if (!connection->done)
            ::shutdown(connection->fd, SHUT_RDWR);
}

void Vxi11Server::reapConnections(bool all)
{
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> guard(connectionsLock);
        for (auto it = connections.begin(); it != connections.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto &connection : finished) {
        if (connection->thread.joinable())
            connection->thread.join();
        ::close(connection->fd);
    }
}

void Vxi11Server::listenLoop()
{
    int backOffMs = 0;
    for (;;) {
        // While backing off, the listening sockets are left out of the poll.
        const bool accepting = backOffMs == 0;
        pollfd p[5] = {{stopFd, POLLIN, 0},
                       {accepting ? coreFd : -1, POLLIN, 0},
                       {accepting ? abortFd : -1, POLLIN, 0},
                       {accepting ? mapperTcpFd : -1, POLLIN, 0},
                       {mapperUdpFd, POLLIN, 0}};
        int rc = ::poll(p, 5, accepting ? 1000 : backOffMs);
        reapConnections(false);
        if (rc < 0 && errno != EINTR)
            return;
        if (p[0].revents & POLLIN)
            return;
        backOffMs = 0;
        for (int i = 1; i <= 3; ++i) {
            if (!(p[i].revents & POLLIN))
                continue;
            int fd = ::accept4(p[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                    backOffMs = acceptBackOffMs;
                continue;
            }
            startConnection(fd);
        }
        if (p[4].revents & POLLIN)
            serveDatagram();
    }
}

void Vxi11Server::startConnection(int fd)
{
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    Connection *raw = connection.get();
    std::lock_guard<std::mutex> guard(connectionsLock);
    try {
        raw->thread = std::thread([this, raw] { serveConnection(raw); });
    } catch (const std::system_error &) {
        // No thread for this client: refuse it; the ones already served go on.
        ::close(fd);
        return;
    }
    connections.push_back(std::move(connection));
}

void Vxi11Server::serveConnection(Connection *connection)
{
    const long connectionId = nextConnectionId++;
    QByteArray request;
    RpcWire::RecordReader reader(connection->fd);
    while (reader.next(request)) {
        RpcWire::Reply reply;
        Outcome outcome = dispatch(request, connection->fd, reply, connectionId);
        if (outcome == Outcome::Close)
            break;
        if (outcome == Outcome::Silent)
            continue;
        if (!RpcWire::writeRecord(connection->fd, reply))
            break;
        if (outcome == Outcome::ReplyThenDrop) {
            dropConnections();
            break;
        }
    }
    ::shutdown(connection->fd, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> guard(linksLock);
        for (auto it = links.begin(); it != links.end();)
            it = it->second.connectionId == connectionId ? links.erase(it) : std::next(it);
    }
    connection->done = true;
}

int Vxi11Server::openLinks()
{
    std::lock_guard<std::mutex> guard(linksLock);
    return int(links.size());
}

void Vxi11Server::serveDatagram()
{
    char buffer[1500];
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(mapperUdpFd, buffer, sizeof buffer, 0,
                           reinterpret_cast<sockaddr *>(&from), &length);
    if (n <= 0)
        return;
    answerMapperDatagram(QByteArray(buffer, int(n)), reinterpret_cast<const sockaddr *>(&from),
                         length);
}

void Vxi11Server::answerMapperDatagram(const QByteArray &request, const sockaddr *from,
                                       socklen_t fromLength)
{
    XDR args;
    RpcWire::Call call;
    if (!RpcWire::decodeCall(request, args, call)) {
        xdr_destroy(&args);
        return;
    }
    QByteArray reply = call.program == PMAPPROG ? portmapper(call, args, -1)
                                                : RpcWire::errorReply(call.xid, PROG_UNAVAIL);
    xdr_destroy(&args);
    if (!reply.isEmpty())
        ::sendto(mapperUdpFd, reply.constData(), size_t(reply.size()), 0, from, fromLength);
}

Vxi11Server::Outcome Vxi11Server::dispatch(const QByteArray &request, int fd, RpcWire::Reply &reply,
                                           long connectionId)
{
    XDR args;
    RpcWire::Call call;
    if (!RpcWire::decodeCall(request, args, call)) {
        xdr_destroy(&args);
        return Outcome::Close;
    }
    Outcome outcome = Outcome::Reply;
    if (call.program == PMAPPROG) {
        reply.encoded = portmapper(call, args, fd);
    } else if (call.program == DEVICE_CORE) {
        outcome = call.version == DEVICE_CORE_VERSION
                      ? core(call, args, reply, connectionId)
                      : (reply.encoded = RpcWire::errorReply(call.xid, PROG_MISMATCH, 1, 1),
                         Outcome::Reply);
    } else if (call.program == DEVICE_ASYNC && call.procedure == 1) {
        Device_Link lid = 0;
        Device_Error result{errorNone};
        reply.encoded = xdr_Device_Link(&args, &lid)
                            ? RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_Error), &result)
                            : RpcWire::errorReply(call.xid, GARBAGE_ARGS);
    } else if (call.program == DEVICE_ASYNC && call.procedure == 0) {
        reply.encoded = RpcWire::acceptedReply(call.xid, RpcWire::voidProc(), nullptr);
    } else {
        reply.encoded = RpcWire::errorReply(call.xid, PROG_UNAVAIL);
    }
    xdr_destroy(&args);
    return outcome;
}

QByteArray Vxi11Server::universalAddress(unsigned short port, int fd) const
{
    QByteArray host = boundAddress.toLatin1();
    if (host == "0.0.0.0" && fd >= 0) {
        ListenAddress local;
        local.length = sizeof local.storage;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local.storage), &local.length) == 0)
            host = local.host();
    }
    return host + '.' + QByteArray::number(port >> 8) + '.' + QByteArray::number(port & 0xff);
}

QByteArray Vxi11Server::portmapper(const RpcWire::Call &call, XDR &args, int fd)
{
    auto portFor = [this](rpcprog_t program, rpcvers_t version) -> unsigned short {
        if (program == DEVICE_CORE && version == DEVICE_CORE_VERSION)
            return corePortNumber;
        if (program == DEVICE_ASYNC && version == DEVICE_ASYNC_VERSION)
            return abortPortNumber;
        return 0;
    };
    if (call.version < PMAPVERS || call.version > RPCBVERS4)
        return RpcWire::errorReply(call.xid, PROG_MISMATCH, PMAPVERS, RPCBVERS4);
    if (call.procedure == 0)
        return RpcWire::acceptedReply(call.xid, RpcWire::voidProc(), nullptr);
    if (call.version == PMAPVERS && call.procedure == PMAPPROC_GETPORT) {
        pmap query;
        if (!decodeArgs(args, xdrproc_t(xdr_pmap), query))
            return RpcWire::errorReply(call.xid, GARBAGE_ARGS);
        u_long port = query.pm_prot == IPPROTO_TCP ? portFor(query.pm_prog, query.pm_vers) : 0;
        return RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_u_long), &port);
    }
    // rpcbind GETADDR (versions 3 and 4) and GETVERSADDR (version 4).
    if (call.version >= RPCBVERS && (call.procedure == RPCBPROC_GETADDR ||
                                     (call.version == RPCBVERS4 && call.procedure == 9))) {
        rpcb query;
        if (!decodeArgs(args, xdrproc_t(xdr_rpcb), query))
            return RpcWire::errorReply(call.xid, GARBAGE_ARGS);
        const bool tcp = query.r_netid && std::strcmp(query.r_netid, "tcp") == 0;
        const unsigned short port = tcp ? portFor(query.r_prog, query.r_vers) : 0;
        xdr_free(xdrproc_t(xdr_rpcb), reinterpret_cast<char *>(&query));
        QByteArray address = port ? universalAddress(port, fd) : QByteArray();
        char *text = address.data();
        return RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_wrapstring), &text);
    }
    return RpcWire::errorReply(call.xid, PROC_UNAVAIL);
}

Vxi11Server::Outcome Vxi11Server::core(const RpcWire::Call &call, XDR &args, RpcWire::Reply &reply,
                                       long connectionId)
{
    // A link serves only the connection that created it (VXI-11: a link id is valid on its
    // own channel); another client naming it gets "invalid link identifier".
    auto knownLink = [this, connectionId](long lid) {
        std::lock_guard<std::mutex> guard(linksLock);
        auto link = links.find(lid);
        return link != links.end() && link->second.connectionId == connectionId;
    };
    auto simple = [&](long error) {
        Device_Error result{error};
        reply.encoded = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_Error), &result);
        return Outcome::Reply;
    };
    auto generic = [&](Device_GenericParms &parms) {
        return decodeArgs(args, xdrproc_t(xdr_Device_GenericParms), parms);
    };

    switch (call.procedure) {
    case create_link: {
        Create_LinkParms parms;
        if (!decodeArgs(args, xdrproc_t(xdr_Create_LinkParms), parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        xdr_free(xdrproc_t(xdr_Create_LinkParms), reinterpret_cast<char *>(&parms));
        Create_LinkResp result{};
        if (!module.acceptLink()) {
            result.error = errorNotAccessible;
        } else {
            std::lock_guard<std::mutex> guard(linksLock);
            result.lid = nextLinkId++;
            links[result.lid] = Link{connectionId, QByteArray()};
            result.abortPort = abortPortNumber;
            result.maxRecvSize = maxReceiveSize;
        }
        reply.encoded = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Create_LinkResp), &result);
        return Outcome::Reply;
    }
    case device_write: {
        Device_WriteParms parms;
        if (!decodeArgs(args, xdrproc_t(xdr_Device_WriteParms), parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        Device_WriteResp result{};
        QByteArray message;
        bool complete = false;
        {
            std::lock_guard<std::mutex> guard(linksLock);
            auto link = links.find(parms.lid);
            if (link == links.end() || link->second.connectionId != connectionId) {
                result.error = errorInvalidLink;
            } else if (quint64(link->second.partial.size()) + parms.data.data_len >
                       maxReceiveSize) {
                // More than we announced we would take for one message: the message is lost.
                link->second.partial.clear();
                result.error = errorOutOfResources;
            } else {
                link->second.partial.append(parms.data.data_val, int(parms.data.data_len));
                result.size = parms.data.data_len;
                if (parms.flags & flagEnd) {
                    message.swap(link->second.partial);
                    complete = true;
                }
            }
        }
        xdr_free(xdrproc_t(xdr_Device_WriteParms), reinterpret_cast<char *>(&parms));
        Outcome outcome = Outcome::Reply;
        if (complete) {
            switch (module.deliver(message)) {
            case SimModule::Delivery::Break:
                return Outcome::Close;
            case SimModule::Delivery::Ignore:
                return Outcome::Silent;
            case SimModule::Delivery::AnswerThenDropLinks:
                outcome = Outcome::ReplyThenDrop;
                break;
            case SimModule::Delivery::Answer:
                break;
            }
        }
        reply.encoded = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_WriteResp), &result);
        return outcome;
    }
    case device_read: {
        Device_ReadParms parms;
        if (!decodeArgs(args, xdrproc_t(xdr_Device_ReadParms), parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        Device_ReadResp result{};
        if (!knownLink(parms.lid)) {
            result.error = errorInvalidLink;
        } else {
            const int request = int(std::min<unsigned long>(parms.requestSize, 64u << 20));
            const int timeout = int(std::min<unsigned long>(parms.io_timeout, 3600u * 1000));
            SimModule::ReadResult read =
                module.read(request, timeout, parms.flags & flagTermCharSet, parms.termChar);
            if (read.timedOut) {
                result.error = errorTimeout;
            } else {
                result.reason = (read.end ? reasonEnd : 0) | (read.termChar ? reasonTermChar : 0) |
                                (read.size == request ? reasonRequestCount : 0);
                // The data go out from the response itself, behind the encoded head.
                result.data.data_len = u_int(read.size);
                reply.data = read.message;
                reply.dataFrom = read.from;
                reply.dataSize = read.size;
            }
        }
        reply.encoded = RpcWire::acceptedReply(call.xid, xdrproc_t(xdrReadRespHead), &result);
        return Outcome::Reply;
    }
    case device_readstb: {
        Device_GenericParms parms;
        if (!generic(parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        Device_ReadStbResp result{};
        result.error = knownLink(parms.lid) ? errorNone : errorInvalidLink;
        reply.encoded =
            RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_ReadStbResp), &result);
        return Outcome::Reply;
    }
    case device_clear: {
        Device_GenericParms parms;
        if (!generic(parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        {
            std::lock_guard<std::mutex> guard(linksLock);
            auto link = links.find(parms.lid);
            if (link == links.end() || link->second.connectionId != connectionId)
                return simple(errorInvalidLink);
            link->second.partial.clear();
        }
        module.clear();
        return simple(errorNone);
    }
    case device_trigger:
    case device_remote:
    case device_local: {
        Device_GenericParms parms;
        if (!generic(parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        return simple(knownLink(parms.lid) ? errorNone : errorInvalidLink);
    }
    case device_lock: {
        Device_LockParms parms;
        if (!decodeArgs(args, xdrproc_t(xdr_Device_LockParms), parms)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        return simple(knownLink(parms.lid) ? errorNone : errorInvalidLink);
    }
    case device_unlock: {
        Device_Link lid = 0;
        if (!xdr_Device_Link(&args, &lid)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        return simple(knownLink(lid) ? errorNone : errorInvalidLink);
    }
    case destroy_link: {
        Device_Link lid = 0;
        if (!xdr_Device_Link(&args, &lid)) {
            reply.encoded = RpcWire::errorReply(call.xid, GARBAGE_ARGS);
            return Outcome::Reply;
        }
        std::lock_guard<std::mutex> guard(linksLock);
        auto link = links.find(lid);
        const bool erased = link != links.end() && link->second.connectionId == connectionId;
        if (erased)
            links.erase(link);
        Device_Error result{erased ? errorNone : errorInvalidLink};
        reply.encoded = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_Error), &result);
        return Outcome::Reply;
    }
    case device_enable_srq:
    case create_intr_chan:
    case destroy_intr_chan:
        return simple(errorNotSupported);
    case device_docmd: {
        Device_DocmdResp result{};
        result.error = errorNotSupported;
        reply.encoded = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_DocmdResp), &result);
        return Outcome::Reply;
    }
    default:
        reply.encoded = RpcWire::errorReply(call.xid, PROC_UNAVAIL);
        return Outcome::Reply;
    }
}
