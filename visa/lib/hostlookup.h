#pragma once

#include "deadline.h"
#include "rpcsocket.h"

#include <string>

namespace vdvisa {

enum class LookupResult
{
    Found,
    NotFound,
    TimedOut
};

// The address of a host for a session. A numeric address is taken as it stands and never
// reaches the name service. A name is looked up (IPv4, as the instruments on our LANs are
// reached) on a thread of its own, so that a name service that does not answer holds the
// caller only until its deadline; the look-up finishes in the background and is dropped.
LookupResult lookUpHost(const std::string &host, const Deadline &deadline, PeerAddress &out);

} // namespace vdvisa
