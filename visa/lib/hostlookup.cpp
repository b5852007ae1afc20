#include "hostlookup.h"

#include "netsocket.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace vdvisa {

namespace {
// What the look-up thread and the waiting caller share; the thread keeps it alive after a
// caller that gave up has gone.
struct Lookup
{
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    PeerAddress address;
};

void runLookup(const std::shared_ptr<Lookup> &lookup, const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    PeerAddress address;
    const bool ok = getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found;
    if (ok) {
        std::memcpy(&address.storage, found->ai_addr, found->ai_addrlen);
        address.length = found->ai_addrlen;
    }
    if (found)
        freeaddrinfo(found);
    std::lock_guard<std::mutex> guard(lookup->lock);
    lookup->found = ok;
    lookup->address = address;
    lookup->finished = true;
    lookup->done.notify_all();
}
} // namespace

LookupResult lookUpHost(const std::string &host, const Deadline &deadline, PeerAddress &out)
{
    if (PeerAddress::fromLiteral(host, out))
        return LookupResult::Found;
    if (!net::startup())
        return LookupResult::NotFound;
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread(runLookup, lookup, host).detach();
    } catch (const std::system_error &) {
        return LookupResult::NotFound;
    }
    std::unique_lock<std::mutex> guard(lookup->lock);
    if (!lookup->done.wait_until(guard, deadline.at(), [&] { return lookup->finished; }))
        return LookupResult::TimedOut;
    if (!lookup->found)
        return LookupResult::NotFound;
    out = lookup->address;
    return LookupResult::Found;
}

} // namespace vdvisa
