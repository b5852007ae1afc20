#pragma once

#include <string>

namespace vdvisa {

// A VXI-11 resource: TCPIP[board]::host[::device name]::INSTR (case-insensitive keywords;
// the device name defaults to inst0). An IPv6 host is written in brackets
// ("TCPIP0::[::1]::inst0::INSTR"); without them its colons would read as separators.
struct ResourceName
{
    int board = 0;
    std::string host;
    std::string device = "inst0";
    bool ipv6 = false; // host is an IPv6 literal (kept without its brackets)

    // False for anything that is not a TCPIP INSTR resource string.
    static bool parse(const std::string &text, ResourceName &out);
    // Accepts a resource string or a bare host name or address.
    static bool parseLenient(const std::string &text, ResourceName &out);
    std::string canonical() const;
};

} // namespace vdvisa
