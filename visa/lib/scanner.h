#pragma once

#include "visa.h"

#include <cstdarg>

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
// %d %i %u %x (h: 16-bit, none or l: 32-bit, ll or L: 64-bit), %f (float), %lf %le %lg
// (double), %s (one token, ends at white space or the message end), %t and %T (the rest of
// the message), %c, %[set], assignment suppression with *, and a field width or the "#"
// modifier (a ViInt32* with the array size before the buffer) that bounds every string
// conversion, so that no reply can overflow its buffer.
ViStatus scanMessage(MessageSource &source, const char *format, va_list *args);

} // namespace vdvisa
