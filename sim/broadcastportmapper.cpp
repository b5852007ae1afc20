#include "broadcastportmapper.h"

#include "vxi11server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <rpc/pmap_prot.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {
// The interface that carries address, and its broadcast address; false when no interface
// that can broadcast carries it.
bool broadcastInterface(in_addr_t address, unsigned &index, in_addr_t &broadcast)
{
    ifaddrs *interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return false;
    bool found = false;
    for (ifaddrs *i = interfaces; i && !found; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET ||
            !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr ||
            reinterpret_cast<sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr != address)
            continue;
        index = if_nametoindex(i->ifa_name);
        broadcast = reinterpret_cast<sockaddr_in *>(i->ifa_broadaddr)->sin_addr.s_addr;
        found = index != 0;
    }
    freeifaddrs(interfaces);
    return found;
}
} // namespace

BroadcastPortmapper::~BroadcastPortmapper()
{
    stop();
}

bool BroadcastPortmapper::serve(const QString &address, Vxi11Server *server, QString *error)
{
    in_addr at{};
    unsigned index = 0;
    in_addr_t broadcast = 0;
    if (inet_pton(AF_INET, address.toLatin1().constData(), &at) != 1 ||
        !broadcastInterface(at.s_addr, index, broadcast))
        return true;
    std::lock_guard<std::mutex> guard(lock);
    if (wakeFd < 0)
        wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0 || !listenOn(broadcast, error) || !listenOn(htonl(INADDR_BROADCAST), error))
        return false;
    members.push_back({server, index, broadcast});
    if (!listener.joinable())
        listener = std::thread([this] { listenLoop(); });
    return true;
}

bool BroadcastPortmapper::listenOn(in_addr_t broadcast, QString *error)
{
    for (const Ear &ear : ears)
        if (ear.address == broadcast)
            return true;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = broadcast;
    at.sin_port = htons(PMAPPORT);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int on = 1;
    // Every bench in the namespace hears the broadcast, each for its own instruments; the
    // interface a call came in on tells which instruments it reached.
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0) {
        if (error)
            *error = QStringLiteral("cannot listen for broadcasts on %1:%2: %3")
                         .arg(QString::fromLatin1(inet_ntoa(at.sin_addr)))
                         .arg(PMAPPORT)
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ears.push_back({fd, broadcast});
    // A running listener polls the new socket from its next round on.
    const uint64_t one = 1;
    if (::write(wakeFd, &one, sizeof one) < 0) {
        // The eventfd cannot be full.
    }
    return true;
}

void BroadcastPortmapper::stop()
{
    if (listener.joinable()) {
        stopping = true;
        const uint64_t one = 1;
        if (::write(wakeFd, &one, sizeof one) < 0) {
            // The eventfd cannot be full.
        }
        listener.join();
    }
    std::lock_guard<std::mutex> guard(lock);
    for (const Ear &ear : ears)
        ::close(ear.fd);
    ears.clear();
    members.clear();
    if (wakeFd >= 0)
        ::close(wakeFd);
    wakeFd = -1;
    stopping = false;
}

void BroadcastPortmapper::listenLoop()
{
    for (;;) {
        std::vector<pollfd> watched;
        {
            std::lock_guard<std::mutex> guard(lock);
            watched.push_back({wakeFd, POLLIN, 0});
            for (const Ear &ear : ears)
                watched.push_back({ear.fd, POLLIN, 0});
        }
        if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
            return;
        if (stopping)
            return;
        if (watched[0].revents & POLLIN) {
            uint64_t count = 0;
            if (::read(wakeFd, &count, sizeof count) < 0) {
                // Nothing to reset.
            }
        }
        for (size_t i = 1; i < watched.size(); ++i)
            if (watched[i].revents & POLLIN)
                answer(watched[i].fd);
    }
}

void BroadcastPortmapper::answer(int fd)
{
    char buffer[1500];
    char control[CMSG_SPACE(sizeof(in_pktinfo))];
    sockaddr_in from{};
    iovec data{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &message, 0);
    if (n <= 0)
        return;
    in_pktinfo arrival{};
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
            std::memcpy(&arrival, CMSG_DATA(c), sizeof arrival);
    const in_addr_t destination = arrival.ipi_addr.s_addr;
    std::vector<Vxi11Server *> reached;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const Member &member : members)
            if (member.interfaceIndex == unsigned(arrival.ipi_ifindex) &&
                (destination == member.broadcast || destination == htonl(INADDR_BROADCAST)))
                reached.push_back(member.server);
    }
    const QByteArray request(buffer, int(n));
    for (Vxi11Server *server : reached)
        server->answerMapperDatagram(request, reinterpret_cast<const sockaddr *>(&from), sizeof from);
}
