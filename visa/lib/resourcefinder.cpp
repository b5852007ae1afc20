#include "resourcefinder.h"

#include "debuglog.h"
#include "netsocket.h"
#include "resourcename.h"
#include "vxi11.h"

#ifndef _WIN32
#include <ifaddrs.h>
#include <net/if.h>
#endif
#include <rpc/pmap_prot.h>
#include <rpc/rpc.h>

#include <re2/re2.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace vdvisa {

namespace {
std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// A configured entry that is neither a resource string nor a host name is skipped, and said so.
void addEntries(const std::string &text, std::vector<std::string> &out)
{
    std::string token;
    auto flush = [&]() {
        ResourceName name;
        if (token.empty()) {
        } else if (ResourceName::parse(token, name)) {
            out.push_back(token);
        } else if (ResourceName::parseLenient(token, name)) {
            out.push_back(name.canonical());
        } else {
            debugWarning("configured resource skipped, not a resource string: \"%.64s%s\"",
                         token.c_str(), token.size() > 64 ? "..." : "");
        }
        token.clear();
    };
    // Entries end at ";" and at line ends only: a VXI-11 device name may hold a comma
    // ("gpib0,5" behind a GPIB gateway). White space around an entry is not part of it.
    const auto blank = [](char c) { return std::isspace((unsigned char)c) != 0; };
    const auto trimmedFlush = [&]() {
        const auto first = std::find_if_not(token.begin(), token.end(), blank);
        const auto last = std::find_if_not(token.rbegin(), token.rend(), blank).base();
        token = first < last ? std::string(first, last) : std::string();
        flush();
    };
    for (char c : text) {
        if (c == ';' || c == '\n' || c == '\r')
            trimmedFlush();
        else
            token.push_back(c);
    }
    trimmedFlush();
}

RE2::Options matcherOptions()
{
    RE2::Options options;
    options.set_case_sensitive(false);
    options.set_log_errors(false);
    options.set_encoding(RE2::Options::EncodingLatin1);
    return options;
}

std::string configFile()
{
#ifdef _WIN32
    // The user's roaming application data, where Windows keeps such settings.
    const char *appData = std::getenv("APPDATA");
    return appData && *appData ? std::string(appData) + "\\vdvisa\\resources" : std::string();
#endif
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config)
        return std::string(config) + "/vdvisa/resources";
    const char *home = std::getenv("HOME");
    return home ? std::string(home) + "/.config/vdvisa/resources" : std::string();
}
} // namespace

bool ResourceFinder::compile(const std::string &expression, std::string &regex)
{
    regex.clear();
    if (expression.size() > maxExpressionLength)
        return false;
    for (size_t i = 0; i < expression.size(); ++i) {
        const char c = expression[i];
        switch (c) {
        case '?':
            regex += "(?s:.)";
            break;
        case '*':
        case '+':
        case '|':
        case '(':
        case ')':
            regex += c;
            break;
        case '[': {
            // [list], [^list]; a "]" right after "[" or "[^" belongs to the list.
            size_t start = i + 1;
            if (start < expression.size() && expression[start] == '^')
                ++start;
            const size_t close = expression.find(']', start + 1);
            if (close == std::string::npos || start >= expression.size())
                return false;
            regex += '[';
            if (expression[i + 1] == '^')
                regex += '^';
            for (size_t k = start; k < close; ++k) {
                const char s = expression[k];
                if (s == '\\' || s == '[' || s == ']' || (s == '^' && k == start))
                    regex += '\\';
                regex += s;
            }
            regex += ']';
            i = close;
            break;
        }
        case '\\':
            if (i + 1 >= expression.size())
                return false;
            ++i;
            regex += RE2::QuoteMeta(std::string(1, expression[i]));
            break;
        default:
            regex += RE2::QuoteMeta(std::string(1, c));
        }
    }
    return RE2(regex, matcherOptions()).ok();
}

bool ResourceFinder::matcher(const std::string &expression, std::unique_ptr<RE2> &out)
{
    std::string pattern;
    if (!compile(expression, pattern))
        return false;
    out = std::make_unique<RE2>(pattern, matcherOptions());
    return out->ok();
}

std::vector<std::string> ResourceFinder::configured()
{
    std::vector<std::string> entries;
    if (const char *env = std::getenv("VDVISA_RESOURCES"))
        addEntries(env, entries);
    std::ifstream file(configFile());
    std::string line;
    while (std::getline(file, line)) {
        line = line.substr(0, line.find('#'));
        addEntries(line, entries);
    }
    return entries;
}

namespace {
#ifdef _WIN32
// The directed broadcast address of every IPv4 interface that is up, can broadcast and is not
// the loopback. Windows reports 255.255.255.255 as every interface's broadcast address, so it
// is made from the address and the netmask.
std::vector<sockaddr_in> broadcastTargets(int s)
{
    std::vector<sockaddr_in> targets;
    INTERFACE_INFO interfaces[64];
    DWORD bytes = 0;
    if (WSAIoctl(SOCKET(s), SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces, sizeof interfaces,
                 &bytes, nullptr, nullptr) != 0)
        return targets;
    for (DWORD i = 0; i < bytes / sizeof(INTERFACE_INFO); ++i) {
        const INTERFACE_INFO &info = interfaces[i];
        if (!(info.iiFlags & IFF_UP) || !(info.iiFlags & IFF_BROADCAST) ||
            (info.iiFlags & IFF_LOOPBACK) || info.iiAddress.Address.sa_family != AF_INET)
            continue;
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(PMAPPORT);
        target.sin_addr.s_addr = info.iiAddress.AddressIn.sin_addr.s_addr |
                                 ~info.iiNetmask.AddressIn.sin_addr.s_addr;
        targets.push_back(target);
    }
    return targets;
}
#else
std::vector<sockaddr_in> broadcastTargets(int)
{
    std::vector<sockaddr_in> targets;
    ifaddrs *interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        for (ifaddrs *i = interfaces; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
                !(i->ifa_flags & IFF_BROADCAST) || (i->ifa_flags & IFF_LOOPBACK) ||
                !i->ifa_broadaddr)
                continue;
            sockaddr_in target = *reinterpret_cast<sockaddr_in *>(i->ifa_broadaddr);
            target.sin_port = htons(PMAPPORT);
            targets.push_back(target);
        }
        freeifaddrs(interfaces);
    }
    return targets;
}
#endif
} // namespace

std::vector<std::string> ResourceFinder::broadcast(int waitMs)
{
    std::vector<std::string> found;
    int fd = net::openSocket(AF_INET, SOCK_DGRAM, false);
    if (fd < 0)
        return found;
    const std::vector<sockaddr_in> targets = broadcastTargets(fd);
    if (targets.empty()) {
        net::closeSocket(fd);
        return found;
    }
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on), sizeof on);

    // One GETPORT call for the VXI-11 core channel, encoded once and sent everywhere.
    const u_int32_t xid = u_int32_t(net::processId()) ^
                          u_int32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    char request[256];
    XDR xdr;
    xdrmem_create(&xdr, request, sizeof request, XDR_ENCODE);
    rpc_msg call{};
    call.rm_xid = xid;
    call.rm_direction = CALL;
    call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    call.rm_call.cb_prog = PMAPPROG;
    call.rm_call.cb_vers = PMAPVERS;
    call.rm_call.cb_proc = PMAPPROC_GETPORT;
    call.rm_call.cb_cred = _null_auth;
    call.rm_call.cb_verf = _null_auth;
    pmap query{DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, 0};
    bool encoded = xdr_callmsg(&xdr, &call) && xdr_pmap(&xdr, &query);
    const u_int length = xdr_getpos(&xdr);
    xdr_destroy(&xdr);
    if (!encoded) {
        net::closeSocket(fd);
        return found;
    }
    for (const sockaddr_in &target : targets)
        ::sendto(fd, request, length, 0, reinterpret_cast<const sockaddr *>(&target),
                 sizeof target);

    std::set<uint32_t> seen;
    std::vector<uint32_t> answered;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        if (net::waitFor(fd, false, int(left)) <= 0)
            continue;
        char reply[512];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const auto n = ::recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr *>(&from),
                                  &fromLength);
        if (n <= 0)
            continue;
        XDR in;
        xdrmem_create(&in, reply, u_int(n), XDR_DECODE);
        rpc_msg answer{};
        u_long port = 0;
        answer.acpted_rply.ar_verf = _null_auth;
        answer.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(&port);
        answer.acpted_rply.ar_results.proc = xdrproc_t(xdr_u_long);
        bool ok = xdr_replymsg(&in, &answer) && answer.rm_xid == xid &&
                  answer.rm_reply.rp_stat == MSG_ACCEPTED &&
                  answer.acpted_rply.ar_stat == SUCCESS && port != 0;
        xdr_destroy(&in);
        if (ok && seen.insert(from.sin_addr.s_addr).second)
            answered.push_back(from.sin_addr.s_addr);
    }
    net::closeSocket(fd);
    std::sort(answered.begin(), answered.end(),
              [](uint32_t a, uint32_t b) { return ntohl(a) < ntohl(b); });
    for (uint32_t address : answered) {
        char text[INET_ADDRSTRLEN] = {};
        in_addr a{};
        a.s_addr = address;
        inet_ntop(AF_INET, &a, text, sizeof text);
        found.push_back("TCPIP0::" + std::string(text) + "::inst0::INSTR");
    }
    return found;
}

bool ResourceFinder::find(const std::string &expression, std::vector<std::string> &matches)
{
    std::unique_ptr<RE2> pattern;
    if (!matcher(expression, pattern))
        return false;

    std::vector<std::string> candidates = configured();
    const char *enabled = std::getenv("VDVISA_BROADCAST");
    if (!enabled || std::strcmp(enabled, "0") != 0) {
        const char *wait = std::getenv("VDVISA_BROADCAST_MS");
        int waitMs = wait ? std::max(0, std::atoi(wait)) : 500;
        for (std::string &r : broadcast(waitMs))
            candidates.push_back(std::move(r));
    }

    matches.clear();
    std::set<std::string> seen;
    for (const std::string &candidate : candidates) {
        ResourceName name;
        std::string key =
            ResourceName::parse(candidate, name) ? lower(name.canonical()) : lower(candidate);
        if (!seen.insert(key).second)
            continue;
        if (RE2::FullMatch(candidate, *pattern))
            matches.push_back(candidate);
    }
    return true;
}

} // namespace vdvisa
