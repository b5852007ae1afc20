#pragma once

#include <visa.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

class ModuleSession;

// Which statuses end a chain of instrument calls.
enum class FailureRule
{
    Panel, // any status other than VI_SUCCESS fails, warnings included
    Flash, // only negative statuses fail
};

// One operation's commands and queries on a session, run in order until the first call that
// fails under the chain's rule; later calls are not sent. A panel slot reads its widgets,
// runs one chain and looks at ok() once:
//
//     CommandChain chain(session);
//     chain.command("VOLT:PROT %lf\n", ovp).command("VOLT %lf\n", volt);
//     if (!chain.ok())
//         emit disconnectDevice();
//
// On a module's session the chain takes the handle from its owner when it starts and notes a
// failure there, so that the owner can say which call failed if the module panel is closed
// because of it.
class CommandChain
{
public:
    explicit CommandChain(ViSession session, FailureRule rule = FailureRule::Panel);
    explicit CommandChain(ModuleSession &session, FailureRule rule = FailureRule::Panel);

    // A formatted write (viPrintf); the format ends with "\n".
    CommandChain &command(const char *format, ...);
    // A query (viQueryf) with its read format and output variables, e.g. "%lf" and &value.
    CommandChain &query(const char *writeFormat, const char *readFormat, ...);
    // A query whose reply is read with "%s" (one token) into a caller's character array,
    // zero-filled first and bounded by its size.
    template <std::size_t N> CommandChain &queryToken(const char *writeFormat, char (&buffer)[N])
    {
        return queryText(writeFormat, 's', buffer, N);
    }
    // The same with "%t": everything up to the message end or termination character.
    template <std::size_t N> CommandChain &queryLine(const char *writeFormat, char (&buffer)[N])
    {
        return queryText(writeFormat, 't', buffer, N);
    }
    // Reads a reply with viScanf ("%s" into a bounded, zero-filled buffer).
    template <std::size_t N> CommandChain &scanToken(char (&buffer)[N])
    {
        return scanText('s', buffer, N);
    }

    bool ok() const { return !failed; }
    ViStatus status() const { return lastStatus; }
    // The format of the call that failed, for diagnostics.
    const char *failedCall() const { return failedFormat; }

    // True when status fails under rule.
    static bool fails(ViStatus status, FailureRule rule);
    // A bounded read format such as "%255s" for a buffer of 256 bytes.
    static void boundedFormat(char conversion, std::size_t size, char (&format)[24]);

private:
    CommandChain &queryText(const char *writeFormat, char conversion, char *buffer,
                            std::size_t size);
    CommandChain &scanText(char conversion, char *buffer, std::size_t size);
    void record(ViStatus status, const char *format);

    ViSession vi;
    ModuleSession *owner = nullptr;
    FailureRule failureRule;
    bool failed = false;
    ViStatus lastStatus = VI_SUCCESS;
    const char *failedFormat = nullptr;
};
