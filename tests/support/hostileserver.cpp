#include "hostileserver.h"

#include "rpcwire.h"
#include "vxi11.h"

#include <QtGlobal>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <rpc/pmap_prot.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {
// No misbehaviour goes on longer than this, whatever the client does.
constexpr int longestMisbehaviourMs = 15000;

int listenAt(const QString &address, unsigned short port, int type, unsigned short *bound)
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (inet_pton(AF_INET, address.toLatin1().constData(), &at.sin_addr) != 1)
        return -1;
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 16) != 0)) {
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof at;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&at), &length);
    if (bound)
        *bound = ntohs(at.sin_port);
    return fd;
}

QByteArray withMark(const QByteArray &body, bool last = true, quint32 announced = 0)
{
    const quint32 mark = htonl((last ? 0x80000000u : 0) | (announced ? announced : quint32(body.size())));
    return QByteArray(reinterpret_cast<const char *>(&mark), 4) + body;
}

// The record in fragments of 1000, 0 and 40000 bytes, over and over.
QByteArray fragmented(const QByteArray &body)
{
    static const int sizes[] = {1000, 0, 40000};
    QByteArray wire;
    int at = 0;
    for (int i = 0; at < body.size(); ++i) {
        const int size = sizes[i % 3];
        wire += withMark(body.mid(at, size), at + size >= body.size());
        at += size;
    }
    return wire;
}
} // namespace

QByteArray HostileServer::bulkData(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(32 + (i * 7 + i / 251) % 95);
    return data;
}

HostileServer::HostileServer(Behaviour behaviour) : mode(behaviour) {}

HostileServer::~HostileServer()
{
    stopping = true;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (int fd : clients)
            ::shutdown(fd, SHUT_RDWR);
    }
    if (mapperFd >= 0)
        ::shutdown(mapperFd, SHUT_RDWR);
    if (coreFd >= 0)
        ::shutdown(coreFd, SHUT_RDWR);
    if (listener.joinable())
        listener.join();
    for (std::thread &worker : workers)
        worker.join();
    for (int fd : clients)
        ::close(fd);
    if (mapperFd >= 0)
        ::close(mapperFd);
    if (coreFd >= 0)
        ::close(coreFd);
}

bool HostileServer::start(const QString &address)
{
    coreFd = listenAt(address, 0, SOCK_STREAM, &corePort);
    mapperFd = listenAt(address, PMAPPORT, SOCK_STREAM, nullptr);
    if (coreFd < 0 || mapperFd < 0) {
        qWarning("hostile server: cannot listen at %s: %s", qPrintable(address),
                 std::strerror(errno));
        return false;
    }
    listener = std::thread([this] { acceptLoop(); });
    return true;
}

void HostileServer::acceptLoop()
{
    while (!stopping) {
        pollfd p[2] = {{mapperFd, POLLIN, 0}, {coreFd, POLLIN, 0}};
        if (::poll(p, 2, 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & POLLIN))
                continue;
            int fd = ::accept4(p[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            std::lock_guard<std::mutex> guard(lock);
            clients.push_back(fd);
            const bool portmapper = i == 0;
            workers.emplace_back([this, fd, portmapper] { serve(fd, portmapper); });
        }
    }
}

bool HostileServer::pause(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
    return !stopping;
}

bool HostileServer::sendRaw(int fd, const QByteArray &bytes)
{
    return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

void HostileServer::serve(int fd, bool portmapper)
{
    RpcWire::RecordReader reader(fd);
    QByteArray request;
    QByteArray held;
    while (!stopping && reader.next(request)) {
        if (!portmapper) {
            answerCore(fd, request, held);
            continue;
        }
        if (mode == Behaviour::SilentPortmapper)
            continue;
        XDR args;
        RpcWire::Call call;
        const bool ok = RpcWire::decodeCall(request, args, call);
        xdr_destroy(&args);
        if (!ok)
            return;
        u_long port = corePort;
        RpcWire::writeRecord(fd, RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_u_long), &port));
    }
}

void HostileServer::answerCore(int fd, const QByteArray &request, QByteArray &held)
{
    XDR args;
    RpcWire::Call call;
    const bool ok = RpcWire::decodeCall(request, args, call);
    if (!ok) {
        xdr_destroy(&args);
        return;
    }
    QByteArray proper;
    std::string readData;
    switch (call.procedure) {
    case create_link: {
        if (mode == Behaviour::SilentLink)
            break;
        Create_LinkResp result{};
        result.lid = 1;
        result.maxRecvSize = 1u << 20;
        RpcWire::writeRecord(fd, RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Create_LinkResp),
                                                        &result));
        break;
    }
    case device_write: {
        Device_WriteParms parms{};
        xdr_Device_WriteParms(&args, &parms);
        Device_WriteResp result{};
        result.size = mode == Behaviour::OneByteWrites ? std::min<u_int>(1, parms.data.data_len)
                                                       : parms.data.data_len;
        xdr_free(xdrproc_t(xdr_Device_WriteParms), reinterpret_cast<char *>(&parms));
        proper = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_WriteResp), &result);
        break;
    }
    case device_read: {
        Device_ReadParms parms{};
        xdr_Device_ReadParms(&args, &parms);
        Device_ReadResp result{};
        // One byte without END, (oversized) twice what was asked for with END, or (bulk)
        // what was asked for with END.
        const bool bulk = mode == Behaviour::FragmentedBulk || mode == Behaviour::OutOfTurn;
        readData =
            mode == Behaviour::OversizedRead
                ? std::string(std::min<unsigned long>(parms.requestSize, 1u << 16) * 2 + 2, 'x')
            : bulk
                ? bulkData(int(std::min<unsigned long>(parms.requestSize, 1u << 20))).toStdString()
                : std::string(1, 'x');
        result.reason = mode == Behaviour::OversizedRead || bulk ? 4 : 0;
        result.data.data_len = u_int(readData.size());
        result.data.data_val = &readData[0];
        proper = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_ReadResp), &result);
        if (mode == Behaviour::HugeOpaque) {
            // The data length sits after the 24-byte reply header, error and reason.
            const quint32 claimed = htonl(0x7ffffff0u);
            proper.replace(32, 4, reinterpret_cast<const char *>(&claimed), 4);
        }
        break;
    }
    default: {
        Device_Error result{};
        proper = RpcWire::acceptedReply(call.xid, xdrproc_t(xdr_Device_Error), &result);
    }
    }
    xdr_destroy(&args);
    if (mode == Behaviour::OutOfTurn && call.procedure == device_write) {
        held = withMark(proper);
        return;
    }
    if (!proper.isEmpty())
        misbehave(fd, call.xid, proper);
    if (!held.isEmpty() && call.procedure == device_read) {
        sendRaw(fd, held);
        held.clear();
    }
}

void HostileServer::misbehave(int fd, u_int32_t xid, const QByteArray &properReply)
{
    const auto started = std::chrono::steady_clock::now();
    auto tooLong = [&] {
        return std::chrono::steady_clock::now() - started >
               std::chrono::milliseconds(longestMisbehaviourMs);
    };
    switch (mode.load()) {
    case Behaviour::Silent:
    case Behaviour::SilentLink:
    case Behaviour::SilentPortmapper:
        return;
    case Behaviour::WrongXid: {
        QByteArray other = properReply;
        const quint32 wrong = htonl(xid + 0x10000);
        other.replace(0, 4, reinterpret_cast<const char *>(&wrong), 4);
        while (!tooLong() && sendRaw(fd, withMark(other)) && pause(20)) {
        }
        return;
    }
    case Behaviour::GiantRecord:
        sendRaw(fd, withMark(properReply.left(16), true, 0x7fffff00u));
        return;
    case Behaviour::TruncatedRecord:
        sendRaw(fd, withMark(properReply, true, quint32(properReply.size() + 100)));
        return;
    case Behaviour::DripFeed: {
        const QByteArray wire = withMark(properReply);
        for (int i = 0; i < wire.size() && !tooLong(); ++i)
            if (!sendRaw(fd, wire.mid(i, 1)) || !pause(100))
                return;
        return;
    }
    case Behaviour::EmptyFragments:
        while (!tooLong() && sendRaw(fd, withMark(QByteArray(), false)) && pause(20)) {
        }
        return;
    case Behaviour::LatePieces:
        if (pause(400))
            sendRaw(fd, withMark(properReply));
        return;
    case Behaviour::OneByteWrites:
        if (pause(30))
            sendRaw(fd, withMark(properReply));
        return;
    case Behaviour::FragmentedBulk: {
        const QByteArray wire = fragmented(properReply);
        for (int at = 0; at < wire.size(); at += 1499)
            if (!sendRaw(fd, wire.mid(at, 1499)))
                return;
        return;
    }
    default:
        sendRaw(fd, withMark(properReply));
    }
}

SilentNameServer::~SilentNameServer()
{
    if (fd >= 0)
        ::close(fd);
}

bool SilentNameServer::start()
{
    fd = listenAt(QStringLiteral("127.0.0.1"), 53, SOCK_DGRAM, nullptr);
    if (fd < 0) {
        qWarning("silent name server: cannot bind 127.0.0.1:53: %s", std::strerror(errno));
        return false;
    }
    // A mount namespace of this thread (its later threads inherit it) in which
    // /etc/resolv.conf names only that server.
    char path[] = "/tmp/silent-resolv-XXXXXX";
    int file = ::mkstemp(path);
    const char text[] = "nameserver 127.0.0.1\noptions timeout:5 attempts:2\n";
    const bool written = file >= 0 && ::write(file, text, sizeof text - 1) == ssize_t(sizeof text - 1);
    if (file >= 0)
        ::close(file);
    if (!written || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(path, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
        qWarning("silent name server: cannot put it in /etc/resolv.conf: %s", std::strerror(errno));
        ::unlink(path);
        return false;
    }
    ::unlink(path);
    return true;
}
