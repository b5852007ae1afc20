#include "scanner.h"

#include "formatwalk.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace vdvisa {

namespace {
// No number we read is longer than this; a longer run of digits cannot fit a variable.
constexpr size_t maxNumberLength = 512;

using Length = LengthModifier;

struct Conversion
{
    bool suppress = false;
    bool sized = false; // "#": the array size comes before the buffer
    size_t width = 0;   // 0: none
    Length length = Length::None;
    char code = 0;
    bool negate = false;      // %[^...]
    bool set[256] = {};       // %[...]: the characters accepted (before negation)
};

bool isSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void skipSpace(MessageSource &source)
{
    while (isSpace(source.peek()))
        source.advance();
}

// The scan set of "%[": p points after the "[". A "]" first (after an optional "^") is a
// member; "a-z" is a range; a "-" first or last is itself.
ViStatus parseSet(const char *&p, Conversion &c)
{
    if (*p == '^') {
        c.negate = true;
        ++p;
    }
    const char *start = p;
    while (*p && (*p != ']' || p == start)) {
        const unsigned char from = (unsigned char)*p;
        if (p[1] == '-' && p[2] && p[2] != ']' && (unsigned char)p[2] >= from) {
            for (unsigned to = (unsigned char)p[2], ch = from; ch <= to; ++ch)
                c.set[ch] = true;
            p += 3;
        } else {
            c.set[from] = true;
            ++p;
        }
    }
    if (*p != ']')
        return VI_ERROR_INV_FMT;
    ++p;
    return VI_SUCCESS;
}

// Parses one conversion after its "%"; p is left after it.
ViStatus parseConversion(const char *&p, Conversion &c)
{
    if (*p == '*') {
        c.suppress = true;
        ++p;
    }
    if (*p == '#') {
        c.sized = true;
        ++p;
    } else {
        while (std::isdigit((unsigned char)*p)) {
            c.width = c.width * 10 + size_t(*p++ - '0');
            if (c.width > (size_t(1) << 30))
                return VI_ERROR_NSUP_FMT;
        }
    }
    c.length = readLengthModifier(p);
    c.code = *p;
    if (!c.code)
        return VI_ERROR_INV_FMT;
    ++p;
    if (isIntegerConversion(c.code))
        return c.sized ? VI_ERROR_NSUP_FMT : VI_SUCCESS;
    if (isFloatConversion(c.code))
        return (c.sized || c.length == Length::Short) ? VI_ERROR_NSUP_FMT : VI_SUCCESS;
    switch (c.code) {
    case 'c':
    case 's':
    case 't':
    case 'T':
        return c.length == Length::None ? VI_SUCCESS : VI_ERROR_NSUP_FMT;
    case '[':
        return c.length == Length::None ? parseSet(p, c) : VI_ERROR_NSUP_FMT;
    default:
        // Binary blocks (%b, %B, %y), arrays, %n and anything unknown.
        return VI_ERROR_NSUP_FMT;
    }
}

int digitValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// Reads an integer token: sign, the "0x" of base 16 (or of base 0, which also takes a
// leading 0 as octal), digits. Returns its magnitude and sign; false if there are no digits
// or the magnitude exceeds 64 bits.
bool readInteger(MessageSource &source, size_t width, int base, bool &negative,
                 unsigned long long &magnitude)
{
    const size_t limit = width ? width : maxNumberLength;
    size_t taken = 0;
    negative = false;
    magnitude = 0;
    int c = source.peek();
    if ((c == '+' || c == '-') && taken < limit) {
        negative = c == '-';
        source.advance();
        ++taken;
    }
    bool digits = false;
    if ((base == 0 || base == 16) && source.peek() == '0' && taken < limit) {
        source.advance();
        ++taken;
        digits = true;
        c = source.peek();
        if ((c == 'x' || c == 'X') && taken < limit) {
            source.advance();
            ++taken;
            base = 16;
            digits = false;
        } else if (base == 0) {
            base = 8;
        }
    }
    if (base == 0)
        base = 10;
    bool overflow = false;
    while (taken < limit && digitValue(source.peek()) < base) {
        const unsigned d = unsigned(digitValue(source.peek()));
        if (magnitude > (std::numeric_limits<unsigned long long>::max() - d) / unsigned(base))
            overflow = true;
        magnitude = magnitude * unsigned(base) + d;
        source.advance();
        ++taken;
        digits = true;
    }
    return digits && !overflow;
}

// Stores an integer into its target if it fits; false (nothing stored) if it does not.
bool storeInteger(const Conversion &c, bool negative, unsigned long long magnitude,
                  ScanArguments &args)
{
    // A signed conversion takes any value its n bits can carry, read signed or unsigned
    // (a 16-bit register code of 40000 read with %hd is the bit pattern -25536); an unsigned
    // one takes 0 to 2^n - 1. Anything beyond does not fit and is refused, never wrapped.
    const bool isSigned = c.code == 'd' || c.code == 'i';
    const int bits = c.length == Length::Short                                   ? 16
                     : (c.length == Length::LongLong || c.length == Length::Big) ? 64
                                                                                 : 32;
    const unsigned long long maximum = bits == 64 ? ~0ULL : (1ULL << bits) - 1;
    if (negative) {
        if (!isSigned ? magnitude != 0 : magnitude > (1ULL << (bits - 1)))
            return false;
    } else if (magnitude > maximum) {
        return false;
    }
    // Two's complement of the magnitude: exact for every value that passed the range check.
    const unsigned long long bitsValue = negative ? 0ULL - magnitude : magnitude;
    if (c.suppress)
        return true;
    if (bits == 16)
        *static_cast<int16_t *>(args.next(ScanArguments::Target::Int16)) =
            int16_t(uint16_t(bitsValue));
    else if (bits == 64)
        *static_cast<int64_t *>(args.next(ScanArguments::Target::Int64)) = int64_t(bitsValue);
    else
        *static_cast<int32_t *>(args.next(ScanArguments::Target::Int32)) =
            int32_t(uint32_t(bitsValue));
    return true;
}

bool floatChar(int c, const std::string &token)
{
    if (std::isdigit(c) || c == '.')
        return true;
    if (c == '+' || c == '-')
        return token.empty() || token.back() == 'e' || token.back() == 'E';
    if (c == 'e' || c == 'E')
        return !token.empty() && token.find_first_of("eE") == std::string::npos;
    // inf / nan spelled out
    return std::isalpha(c) && (token.empty() || std::isalpha((unsigned char)token.back()) ||
                               token == "+" || token == "-");
}

template <typename T> bool parseFloat(std::string token, T &value)
{
    if (!token.empty() && token[0] == '+')
        token.erase(0, 1);
    auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    return !token.empty() && result.ec == std::errc() &&
           result.ptr == token.data() + token.size();
}

bool scanFloat(const Conversion &c, MessageSource &source, ScanArguments &args)
{
    skipSpace(source);
    std::string token;
    const size_t limit = c.width ? c.width : maxNumberLength;
    while (token.size() < limit && source.peek() >= 0 && floatChar(source.peek(), token)) {
        token.push_back(char(source.peek()));
        source.advance();
    }
    if (c.length == Length::None) {
        float value = 0;
        if (!parseFloat(token, value))
            return false;
        if (!c.suppress)
            *static_cast<float *>(args.next(ScanArguments::Target::Float)) = value;
    } else if (c.length == Length::Long) {
        double value = 0;
        if (!parseFloat(token, value))
            return false;
        if (!c.suppress)
            *static_cast<double *>(args.next(ScanArguments::Target::Double)) = value;
    } else {
        long double value = 0;
        if (!parseFloat(token, value))
            return false;
        if (!c.suppress)
            *static_cast<long double *>(args.next(ScanArguments::Target::LongDouble)) = value;
    }
    return true;
}

// Copies text into a caller's buffer of capacity bytes (NUL included) and drops the rest.
void storeText(char *buffer, size_t capacity, const std::string &text, bool terminate)
{
    if (!buffer || capacity == 0)
        return;
    size_t n = std::min(text.size(), terminate ? capacity - 1 : capacity);
    std::memcpy(buffer, text.data(), n);
    if (terminate)
        buffer[n] = '\0';
}

// %s %t %T %c %[: the text of the conversion; false when it needs at least one character
// and found none.
bool readText(const Conversion &c, MessageSource &source, std::string &text)
{
    auto take = [&](auto accept) {
        while (source.peek() >= 0 && accept(source.peek())) {
            text.push_back(char(source.peek()));
            source.advance();
        }
    };
    switch (c.code) {
    case 's':
        skipSpace(source);
        take([](int ch) { return !isSpace(ch); });
        return !text.empty();
    case 't':
    case 'T':
        take([](int) { return true; });
        return true;
    case 'c': {
        const size_t count = c.width ? c.width : 1;
        take([&](int) { return text.size() < count; });
        return !text.empty();
    }
    default:
        take([&](int ch) { return c.set[(unsigned char)ch] != c.negate; });
        return !text.empty();
    }
}

ViStatus scanText(const Conversion &c, MessageSource &source, ScanArguments &args)
{
    int32_t *sizeArg = (c.sized && !c.suppress)
                           ? static_cast<int32_t *>(args.next(ScanArguments::Target::ArraySize))
                           : nullptr;
    char *buffer =
        c.suppress ? nullptr : static_cast<char *>(args.next(ScanArguments::Target::Chars));
    const size_t capacity = sizeArg ? size_t(*sizeArg > 0 ? *sizeArg : 0)
                                    : (c.width ? c.width + (c.code == 'c' ? 0 : 1) : SIZE_MAX);
    std::string text;
    if (!readText(c, source, text))
        return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
    if (source.error() != VI_SUCCESS && text.empty())
        return source.error();
    if (!c.suppress) {
        storeText(buffer, capacity, text, c.code != 'c');
        if (sizeArg)
            *sizeArg = int32_t(std::min(text.size(), capacity ? capacity - 1 : 0));
    }
    return VI_SUCCESS;
}

ViStatus scanConversion(const Conversion &c, MessageSource &source, ScanArguments &args)
{
    auto mismatch = [&] {
        return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
    };
    if (isIntegerConversion(c.code)) {
        const int base = c.code == 'i'   ? 0
                         : c.code == 'o' ? 8
                         : (c.code == 'x' || c.code == 'X') ? 16
                                                            : 10;
        skipSpace(source);
        bool negative = false;
        unsigned long long magnitude = 0;
        if (!readInteger(source, c.width, base, negative, magnitude) ||
            !storeInteger(c, negative, magnitude, args))
            return mismatch();
        return VI_SUCCESS;
    }
    if (isFloatConversion(c.code))
        return scanFloat(c, source, args) ? VI_SUCCESS : mismatch();
    return scanText(c, source, args);
}
} // namespace

ViStatus checkScanFormat(const char *format)
{
    if (!format)
        return VI_ERROR_USER_BUF;
    return forEachConversion(format, [](const char *&p) {
        Conversion c;
        return parseConversion(p, c);
    });
}

ViStatus scanMessage(MessageSource &source, const char *format, ScanArguments &args)
{
    ViStatus status = checkScanFormat(format);
    if (status != VI_SUCCESS)
        return status;
    const char *p = format;
    while (*p) {
        if (isSpace((unsigned char)*p)) {
            skipSpace(source);
            ++p;
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            const char expected = *p;
            p += *p == '%' ? 2 : 1;
            if (source.peek() != (unsigned char)expected)
                return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
            source.advance();
            continue;
        }
        ++p;
        Conversion c;
        parseConversion(p, c);
        status = scanConversion(c, source, args);
        if (status != VI_SUCCESS)
            return status;
    }
    return source.error();
}

} // namespace vdvisa
