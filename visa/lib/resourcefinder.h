#pragma once

#include <memory>
#include <string>
#include <vector>

namespace re2 {
class RE2;
}

namespace vdvisa {

// The resources viFindRsrc knows about: those configured for the library and the VXI-11
// instruments that answer a portmapper broadcast on the local networks.
//
// Configuration, in this order:
//  - VDVISA_RESOURCES: resource strings (or bare host names/addresses) separated by ";",
//    "," or white space;
//  - the file $XDG_CONFIG_HOME/vdvisa/resources (default ~/.config/vdvisa/resources): one
//    resource per line, "#" starts a comment.
// Broadcast: a portmapper GETPORT for the VXI-11 core channel is broadcast on every IPv4
// interface that is up and can broadcast, and answers are collected for
// VDVISA_BROADCAST_MS milliseconds (default 500); VDVISA_BROADCAST=0 turns it off.
class ResourceFinder
{
public:
    // Resource strings matching a VISA resource expression, de-duplicated, configured ones
    // first in their order, then broadcast answers by address. False: invalid expression.
    static bool find(const std::string &expression, std::vector<std::string> &matches);

    // VISA expression matching (case-insensitive): ? one character, * and + repeat the
    // preceding item, [list] and [^list], (...) grouping and | alternatives, \ escapes.
    // The expression is translated for RE2, whose automaton matches in time linear in the
    // text and never recurses, whatever the expression; expressions longer than
    // maxExpressionLength are refused (VI_ERROR_INV_EXPR).
    static bool compile(const std::string &expression, std::string &regex);
    static bool matcher(const std::string &expression, std::unique_ptr<re2::RE2> &out);
    static constexpr size_t maxExpressionLength = 1024;

    static std::vector<std::string> configured();
    static std::vector<std::string> broadcast(int waitMs);
};

} // namespace vdvisa
