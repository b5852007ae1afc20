#pragma once

#include "visa.h"

namespace vdvisa {

// Status injections of vdvisa_testing.h. Each VISA operation asks once per call.
struct Injection
{
    bool active = false;
    ViStatus status = VI_SUCCESS;

    // The operation's own status, or the injected warning after a successful call.
    ViStatus after(ViStatus real) const
    {
        return (active && status > 0 && real == VI_SUCCESS) ? status : real;
    }
    bool replacesCall() const { return active && status < 0; }
};

Injection injectionFor(const char *operation);

} // namespace vdvisa
