#include "selftestlink.h"

#include "commandchain.h"

#include <QByteArray>

#include <cstring>

namespace {
const std::size_t verdictBufferSize = 128;
} // namespace

bool SelfTestLink::readStatus(int &status) const
{
    return CommandChain(session).query("OUTP:PROT?\n", "%d", &status).ok();
}

bool SelfTestLink::ignoreResult() const
{
    return CommandChain(session).command("OUTP:PROT:IGNORE\n").ok();
}

bool SelfTestLink::start() const
{
    return CommandChain(session).command("*TST?\n").ok();
}

bool SelfTestLink::readVerdict(Verdict &result) const
{
    char reply[verdictBufferSize];
    if (!CommandChain(session).scanToken(reply).ok())
        return false;
    result = verdict(reply);
    return true;
}

SelfTestLink::Verdict SelfTestLink::verdict(const char *reply)
{
    // A negative reply is an error code such as -10 or -100: its zeros do not make it a pass.
    bool number = false;
    const bool negative = QByteArray(reply).toDouble(&number) < 0 && number;
    if (!negative && std::strchr(reply, '0'))
        return Verdict::Passed;
    if (std::strstr(reply, "-1"))
        return Verdict::Failed;
    return Verdict::Neither;
}
