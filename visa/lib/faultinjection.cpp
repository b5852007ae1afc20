#include "faultinjection.h"

#include "vdvisa_testing.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace vdvisa {

namespace {
struct Pending
{
    unsigned nth;
    ViStatus status;
};

struct Injections
{
    std::mutex lock;
    std::map<std::string, unsigned> calls;
    std::map<std::string, std::vector<Pending>> pending;
    bool environmentRead = false;

    void add(const std::string &operation, unsigned nth, ViStatus status)
    {
        pending[operation].push_back({calls[operation] + nth, status});
    }

    void readEnvironment()
    {
        if (environmentRead)
            return;
        environmentRead = true;
        const char *text = std::getenv("VDVISA_INJECT");
        if (!text)
            return;
        std::stringstream entries(text);
        std::string entry;
        while (std::getline(entries, entry, ',')) {
            size_t first = entry.find(':');
            size_t second = entry.find(':', first + 1);
            if (first == std::string::npos || second == std::string::npos)
                continue;
            add(entry.substr(0, first),
                unsigned(std::strtoul(entry.c_str() + first + 1, nullptr, 10)),
                ViStatus(std::strtol(entry.c_str() + second + 1, nullptr, 0)));
        }
    }
};

Injections &injections()
{
    static Injections all;
    return all;
}
} // namespace

Injection injectionFor(const char *operation)
{
    Injections &all = injections();
    std::lock_guard<std::mutex> guard(all.lock);
    all.readEnvironment();
    unsigned call = ++all.calls[operation];
    auto it = all.pending.find(operation);
    Injection result;
    if (it == all.pending.end())
        return result;
    for (auto p = it->second.begin(); p != it->second.end(); ++p) {
        if (p->nth == call) {
            result.active = true;
            result.status = p->status;
            it->second.erase(p);
            break;
        }
    }
    return result;
}

} // namespace vdvisa

extern "C" void vdvisaInjectStatus(const char *operation, unsigned nth, ViStatus status)
{
    vdvisa::Injections &all = vdvisa::injections();
    std::lock_guard<std::mutex> guard(all.lock);
    all.readEnvironment();
    if (operation && nth > 0)
        all.add(operation, nth, status);
}

extern "C" void vdvisaClearInjections(void)
{
    vdvisa::Injections &all = vdvisa::injections();
    std::lock_guard<std::mutex> guard(all.lock);
    all.pending.clear();
}
