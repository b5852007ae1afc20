#include "resourcename.h"

#include "rpcsocket.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace vdvisa {

namespace {
std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// Host names are at most 255 characters (RFC 1035); nothing longer is an instrument's.
constexpr size_t maxHostLength = 255;

bool validHost(const std::string &host)
{
    return !host.empty() && host.size() <= maxHostLength &&
           std::all_of(host.begin(), host.end(), [](unsigned char c) {
               return std::isalnum(c) || c == '.' || c == '-' || c == '_';
           });
}

// A VXI-11 device name ("inst0", "gpib0,5"): printable, no white space or control characters
// that would reach the device's parser or a log line.
bool validDevice(const std::string &device)
{
    return !device.empty() && device.size() <= maxHostLength &&
           std::all_of(device.begin(), device.end(),
                       [](unsigned char c) { return c > 0x20 && c < 0x7f; });
}

// "[literal]" at the start of text: an IPv6 address that the "::" separators cannot cut.
bool takeBracketed(std::string &text, std::string &host)
{
    const size_t close = text.find(']');
    if (text.empty() || text[0] != '[' || close == std::string::npos)
        return false;
    host = text.substr(1, close - 1);
    text.erase(0, close + 1);
    PeerAddress address;
    return host.find(':') != std::string::npos && PeerAddress::fromLiteral(host, address) &&
           address.family() == AF_INET6;
}
} // namespace

bool ResourceName::parse(const std::string &text, ResourceName &out)
{
    const size_t first = text.find("::");
    if (first == std::string::npos)
        return false;
    const std::string interface = upper(text.substr(0, first));
    if (interface.compare(0, 5, "TCPIP") != 0)
        return false;
    const std::string boardText = interface.substr(5);
    if (!std::all_of(boardText.begin(), boardText.end(), ::isdigit) || boardText.size() > 4)
        return false;
    ResourceName name;
    name.board = boardText.empty() ? 0 : std::stoi(boardText);

    std::string rest = text.substr(first + 2);
    if (!rest.empty() && rest[0] == '[') {
        if (!takeBracketed(rest, name.host))
            return false;
        name.ipv6 = true;
        if (rest.compare(0, 2, "::") != 0)
            return false;
        rest.erase(0, 2);
    } else {
        const size_t at = rest.find("::");
        if (at == std::string::npos)
            return false;
        name.host = rest.substr(0, at);
        rest.erase(0, at + 2);
        if (!validHost(name.host))
            return false;
    }
    // rest: "INSTR" or "device::INSTR".
    const size_t at = rest.find("::");
    if (at != std::string::npos) {
        name.device = rest.substr(0, at);
        rest.erase(0, at + 2);
        if (!validDevice(name.device))
            return false;
        // An IPv6 address written without brackets ("fe80::1") reads as host and device.
        PeerAddress literal;
        if (!name.ipv6 && PeerAddress::fromLiteral(name.host + "::" + name.device, literal))
            return false;
    }
    if (upper(rest) != "INSTR")
        return false;
    out = name;
    return true;
}

bool ResourceName::parseLenient(const std::string &text, ResourceName &out)
{
    if (parse(text, out))
        return true;
    if (!validHost(text))
        return false;
    out = ResourceName();
    out.host = text;
    return true;
}

std::string ResourceName::canonical() const
{
    const std::string shownHost = ipv6 ? "[" + host + "]" : host;
    return "TCPIP" + std::to_string(board) + "::" + shownHost + "::" + device + "::INSTR";
}

} // namespace vdvisa
