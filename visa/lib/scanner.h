#pragma once

#include "formatargs.h"
#include "visa.h"

namespace vdvisa {

// Where viScanf takes its characters from: the current response message, fetched from the
// device as the scan needs it. peek() returns -1 at the end of the message (END, or the
// termination character when it is enabled) and when fetching failed; error() then tells.
class MessageSource
{
public:
    virtual ~MessageSource() = default;
    virtual int peek() = 0;
    virtual void advance() = 0;
    virtual ViStatus error() const = 0;
};

// scanf-style parsing for viScanf/viQueryf with the VISA meaning of the formats:
// %d %i %o %u %x %X (h: 16-bit, none or l: 32-bit, ll or L: 64-bit; %i takes 0x.. as hex and
// 0.. as octal), %e %f %g (none: float, l: double, L: long double), %s (one token, ends at
// white space or the message end), %t and %T (the rest of the message), %c, %[set] with
// ranges as in C ("%[a-z0-9]", "%[^,]"), assignment suppression with *, and a field width or
// the "#" modifier (a ViInt32* with the array size before the buffer) that bounds every string
// conversion, so that no reply can overflow its buffer.
//
// The whole format is checked first: an unsupported conversion or modifier gives
// VI_ERROR_NSUP_FMT and a malformed one VI_ERROR_INV_FMT, with no argument touched. A number
// that does not fit the variable it goes to is VI_ERROR_INV_FMT, never a wrapped value (a
// signed conversion also takes the unsigned values of its width, as their bit pattern).
ViStatus scanMessage(MessageSource &source, const char *format, ScanArguments &args);

// Only the check of a read format (viQueryf checks it before it sends anything).
ViStatus checkScanFormat(const char *format);

} // namespace vdvisa
