/* Two-point linear conversions between the RVKA5630 module's raw codes and physical values.
 * The module panel identifies this file as the module's metrologically relevant software by
 * its CRC-32, which the file carries in its checksum record. */

#include <stdint.h>

#if defined(_WIN32)
#define RVKA5630_MATH_EXPORT __attribute__((dllexport))
#else
#define RVKA5630_MATH_EXPORT __attribute__((visibility("default")))
#endif

/* Nothing refers to the record, yet it must reach the file exactly once. On ELF "retain" keeps
 * it through --gc-sections; PE has no such flag, so a PE link names checksumRecord as a root
 * (--require-defined). */
#if defined(__ELF__) && defined(__has_attribute)
#if __has_attribute(retain)
#define RVKA5630_MATH_RECORD __attribute__((used, retain))
#endif
#endif
#ifndef RVKA5630_MATH_RECORD
#define RVKA5630_MATH_RECORD __attribute__((used))
#endif

/* The marker "ВстроенныйCRC32=" in Windows-1251, eight hexadecimal digits and a zero byte. The
 * digits are stamped after linking: the CRC-32 of the whole file while they read "00000000". */
RVKA5630_MATH_RECORD const char checksumRecord[] = "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
                                                   "CRC32="
                                                   "00000000";

/* Codes are unsigned: one with the top bit set is a large positive number, never a negative. */
static double codeAsNumber(uint32_t code)
{
    return (double)code;
}

/* An integer truncation into 32 signed bits cannot hold the upper half of the code range, so
 * that half is truncated from r - 2^31 and gets its top bit back. Values outside the code range
 * (negative, 2^32 and above, not a number) take the nearest end of the range. */
static uint32_t truncatedCode(float r)
{
    if (r >= 2147483648.0f) {
        if (r >= 4294967296.0f)
            return UINT32_MAX;
        return (uint32_t)(int32_t)(r - 2147483648.0f) + 0x80000000u;
    }
    if (!(r > -1.0f))
        return 0;
    return (uint32_t)(int32_t)r;
}

/* A value difference times a code difference needs more than the 53 bits of a double; extended
 * precision holds the product whole, so it is rounded to float only once. */
RVKA5630_MATH_EXPORT float valueFromCode(float y1, float y2, uint32_t x1, uint32_t x2, uint32_t x)
{
    const double dx1 = codeAsNumber(x1);
    const double dx2 = codeAsNumber(x2);
    const double dx = codeAsNumber(x);
    const float t = (float)(((long double)y1 - y2) * ((long double)dx1 - dx));
    return (float)(y1 - (long double)t / ((long double)dx1 - dx2));
}

RVKA5630_MATH_EXPORT uint32_t codeFromValue(uint32_t x1, uint32_t x2, float y1, float y2, float y)
{
    const double dx1 = codeAsNumber(x1);
    const double dx2 = codeAsNumber(x2);
    const float t = (float)(((long double)dx1 - dx2) * ((long double)y1 - y));
    const float r = (float)(dx1 - (long double)t / ((long double)y1 - y2));
    return truncatedCode(r);
}
