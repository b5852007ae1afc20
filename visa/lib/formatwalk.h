#pragma once

#include "visa.h"

#include <cstring>

namespace vdvisa {

// Calls parse(p) for each conversion of a viPrintf or viScanf format, p pointing just after
// its "%" ("%%" is a character, not a conversion); parse leaves p after the conversion. The
// first status other than VI_SUCCESS ends the walk and is returned.
template <typename Parse> ViStatus forEachConversion(const char *format, Parse parse)
{
    for (const char *p = format; *p;) {
        if (*p++ != '%')
            continue;
        if (*p == '%') {
            ++p;
            continue;
        }
        const ViStatus status = parse(p);
        if (status != VI_SUCCESS)
            return status;
    }
    return VI_SUCCESS;
}

// The length modifier of a conversion: h, l, ll or L; p is left after it.
enum class LengthModifier
{
    None,
    Short,    // h
    Long,     // l
    LongLong, // ll
    Big       // L
};
inline LengthModifier readLengthModifier(const char *&p)
{
    if (p[0] == 'l' && p[1] == 'l') {
        p += 2;
        return LengthModifier::LongLong;
    }
    switch (*p) {
    case 'h':
        ++p;
        return LengthModifier::Short;
    case 'l':
        ++p;
        return LengthModifier::Long;
    case 'L':
        ++p;
        return LengthModifier::Big;
    default:
        return LengthModifier::None;
    }
}

// The integer and floating-point conversions both directions share.
inline bool isIntegerConversion(char code)
{
    return code && std::strchr("diouxX", code);
}
inline bool isFloatConversion(char code)
{
    return code && std::strchr("eEfgG", code);
}

} // namespace vdvisa
