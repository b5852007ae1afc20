#include "formatter.h"

#include "clocale.h"
#include "formatwalk.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace vdvisa {

namespace {
using Length = LengthModifier;

struct Conversion
{
    std::string flags;
    int width = -1;        // -1: none; -2: from the arguments
    int precision = -1;    // -1: none; -2: from the arguments
    Length length = Length::None;
    char code = 0;
};

// Reads digits into value; false if they exceed maxFieldWidth.
bool readNumber(const char *&p, int &value)
{
    long long n = 0;
    while (std::isdigit((unsigned char)*p)) {
        n = n * 10 + (*p++ - '0');
        if (n > maxFieldWidth)
            return false;
    }
    value = int(n);
    return true;
}

// Parses one conversion after its "%"; p is left after the conversion code.
ViStatus parseConversion(const char *&p, Conversion &c)
{
    while (*p && std::strchr("-+ #0", *p))
        c.flags.push_back(*p++);
    if (*p == '*') {
        c.width = -2;
        ++p;
    } else if (std::isdigit((unsigned char)*p) && !readNumber(p, c.width)) {
        return VI_ERROR_NSUP_FMT;
    }
    if (*p == '.') {
        ++p;
        c.precision = 0;
        if (*p == '*') {
            c.precision = -2;
            ++p;
        } else if (!readNumber(p, c.precision)) {
            return VI_ERROR_NSUP_FMT;
        }
    }
    c.length = readLengthModifier(p);
    c.code = *p;
    if (!c.code)
        return VI_ERROR_INV_FMT;
    ++p;
    if (isIntegerConversion(c.code))
        return c.length != Length::Big ? VI_SUCCESS : VI_ERROR_NSUP_FMT;
    if (isFloatConversion(c.code))
        return (c.length == Length::None || c.length == Length::Long || c.length == Length::Big)
                   ? VI_SUCCESS
                   : VI_ERROR_NSUP_FMT;
    switch (c.code) {
    case 'c':
    case 's':
        return c.length == Length::None ? VI_SUCCESS : VI_ERROR_NSUP_FMT;
    default:
        // Binary blocks (%b, %B, %y), arrays, %n and anything unknown.
        return VI_ERROR_NSUP_FMT;
    }
}

// The whole format, checked before any argument is taken.
ViStatus checkFormat(const char *format)
{
    return forEachConversion(format, [](const char *&p) {
        Conversion c;
        return parseConversion(p, c);
    });
}

template <typename T> bool appendFormatted(std::string &out, const std::string &piece, T value)
{
    char small[128];
    int n = std::snprintf(small, sizeof small, piece.c_str(), value);
    if (n < 0)
        return false;
    if (size_t(n) < sizeof small) {
        out.append(small, size_t(n));
        return true;
    }
    std::string big(size_t(n) + 1, '\0');
    if (std::snprintf(&big[0], big.size(), piece.c_str(), value) != n)
        return false;
    out.append(big.data(), size_t(n));
    return true;
}

// A "*" width or precision, bounded like a written one.
bool takeStar(PrintArguments &args, std::string &piece)
{
    const int value = args.nextInt();
    if (value > maxFieldWidth || value < -maxFieldWidth)
        return false;
    piece += std::to_string(value);
    return true;
}

bool convert(const Conversion &c, PrintArguments &args, std::string &out)
{
    std::string piece = "%" + c.flags;
    if (c.width == -2 && !takeStar(args, piece))
        return false;
    if (c.width >= 0)
        piece += std::to_string(c.width);
    if (c.precision != -1) {
        piece += '.';
        if (c.precision == -2 && !takeStar(args, piece))
            return false;
        if (c.precision >= 0)
            piece += std::to_string(c.precision);
    }
    if (isIntegerConversion(c.code)) {
        const bool isSigned = c.code == 'd' || c.code == 'i';
        if (c.length == Length::LongLong)
            return appendFormatted(out, piece + "ll" + c.code, args.nextLongLong());
        if (c.length == Length::Long)
            return appendFormatted(out, piece + "l" + c.code, args.nextLong());
        const int value = args.nextInt();
        if (c.length == Length::Short)
            return appendFormatted(out, piece + c.code,
                                   isSigned ? int(short(value)) : int((unsigned short)value));
        return appendFormatted(out, piece + c.code, value);
    }
    switch (c.code) {
    case 'c':
        return appendFormatted(out, piece + 'c', args.nextInt());
    case 's': {
        const char *text = args.nextString();
        return appendFormatted(out, piece + 's', text ? text : "");
    }
    default:
        if (c.length == Length::Big)
            return appendFormatted(out, piece + 'L' + c.code, args.nextLongDouble());
        return appendFormatted(out, piece + c.code, args.nextDouble());
    }
}
} // namespace

ViStatus formatMessage(const char *format, PrintArguments &args, FormattedText &out)
{
    out = FormattedText();
    if (!format)
        return VI_ERROR_USER_BUF;
    ViStatus status = checkFormat(format);
    if (status != VI_SUCCESS)
        return status;
    CLocaleScope cLocale;
    for (const char *p = format; *p;) {
        if (*p != '%') {
            out.text.push_back(*p);
            if (*p++ == '\n')
                out.messageEnds.push_back(out.text.size());
            continue;
        }
        ++p;
        if (*p == '%') {
            out.text.push_back('%');
            ++p;
            continue;
        }
        Conversion c;
        parseConversion(p, c);
        if (!convert(c, args, out.text))
            return VI_ERROR_INV_FMT;
    }
    return VI_SUCCESS;
}

} // namespace vdvisa
