#include "resourcename.h"

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

std::vector<std::string> splitColons(const std::string &text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find("::", start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 2;
    }
}

bool validHost(const std::string &host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_';
    });
}
} // namespace

bool ResourceName::parse(const std::string &text, ResourceName &out)
{
    std::vector<std::string> parts = splitColons(text);
    if (parts.size() < 3 || parts.size() > 4 || upper(parts.back()) != "INSTR")
        return false;
    std::string interface = upper(parts.front());
    if (interface.compare(0, 5, "TCPIP") != 0)
        return false;
    std::string boardText = interface.substr(5);
    if (!std::all_of(boardText.begin(), boardText.end(), ::isdigit) || boardText.size() > 4)
        return false;
    ResourceName name;
    name.board = boardText.empty() ? 0 : std::stoi(boardText);
    name.host = parts[1];
    if (parts.size() == 4) {
        name.device = parts[2];
        if (name.device.empty())
            return false;
    }
    if (!validHost(name.host))
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
    return "TCPIP" + std::to_string(board) + "::" + host + "::" + device + "::INSTR";
}

} // namespace vdvisa
