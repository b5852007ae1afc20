#pragma once

#include "formatargs.h"
#include "visa.h"

#include <string>
#include <vector>

namespace vdvisa {

// The text one viPrintf format produces, and where the line feeds of the format itself fall:
// each of those ends a message (the write buffer is sent there with END).
struct FormattedText
{
    std::string text;
    std::vector<size_t> messageEnds; // offsets just after each "\n" of the format string
};

// printf-style formatting for viPrintf/viQueryf. The whole format is checked before any
// argument is taken: a conversion or modifier we do not support gives VI_ERROR_NSUP_FMT, a
// malformed one VI_ERROR_INV_FMT, and neither touches an argument. Supported: flags
// "-+ #0", width and precision (digits or "*", at most maxFieldWidth), %d %i with h, l, ll;
// %o %u %x %X with h, l, ll; %e %E %f %g %G with l (double) or L (long double); %c; %s; %%.
// Numbers are always formatted in the "C" locale (a point as decimal separator whatever the
// process locale is).
ViStatus formatMessage(const char *format, PrintArguments &args, FormattedText &out);

constexpr int maxFieldWidth = 65536;

} // namespace vdvisa
