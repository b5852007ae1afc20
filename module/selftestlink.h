#pragma once

#include "modulesession.h"

// The module's built-in self-test on the panel's session: the status that locks the output
// after a failed test, the operator's override of that lock, the run and its verdict. Every
// call counts as failed unless it returns VI_SUCCESS.
class SelfTestLink
{
public:
    enum class Verdict
    {
        Passed,
        Failed,
        Neither, // a reply the module is not expected to give: no message, no conclusion
    };

    explicit SelfTestLink(ModuleSession &session) : session(session) {}

    // "OUTP:PROT?": 0 once the self-test has passed, anything else while it blocks the output.
    bool readStatus(int &status) const;
    // Releases the output control although the self-test did not pass.
    bool ignoreResult() const;
    // Starts the test; the module answers only when its test is over.
    bool start() const;
    // Reads the answer to start().
    bool readVerdict(Verdict &verdict) const;

    // The verdict text passes when it holds a "0" at all and is not a negative number, else
    // fails when it holds "-1".
    static Verdict verdict(const char *reply);

private:
    ModuleSession &session;
};
