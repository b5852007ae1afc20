#include "debuglog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace vdvisa {

void debugWarning(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // One write per line, so that lines of several threads do not interleave.
    const std::string line = std::string("vdvisa: ") + text + "\n";
    std::fputs(line.c_str(), stderr);
}

} // namespace vdvisa
