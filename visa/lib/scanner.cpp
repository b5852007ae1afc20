#include "scanner.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace vdvisa {

namespace {
bool isSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void skipSpace(MessageSource &source)
{
    while (isSpace(source.peek()))
        source.advance();
}

std::string takeWhile(MessageSource &source, size_t limit, bool (*accept)(int, const std::string &))
{
    std::string token;
    while (token.size() < limit) {
        int c = source.peek();
        if (c < 0 || !accept(c, token))
            break;
        token.push_back(char(c));
        source.advance();
    }
    return token;
}

bool integerChar(int c, const std::string &token, int base)
{
    if ((c == '+' || c == '-') && token.empty())
        return true;
    if (base == 16)
        return std::isxdigit(c) ||
               ((c == 'x' || c == 'X') && (token == "0" || token == "+0" || token == "-0"));
    return std::isdigit(c);
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

bool parseInteger(std::string token, int base, long long &value)
{
    bool negative = false;
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
        negative = token[0] == '-';
        token.erase(0, 1);
    }
    if (base == 16 && token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token.erase(0, 2);
    unsigned long long magnitude = 0;
    auto result = std::from_chars(token.data(), token.data() + token.size(), magnitude, base);
    if (result.ec != std::errc() || result.ptr != token.data() + token.size() || token.empty())
        return false;
    value = negative ? -(long long)magnitude : (long long)magnitude;
    return true;
}

bool parseFloat(std::string token, double &value)
{
    if (!token.empty() && token[0] == '+')
        token.erase(0, 1);
    auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    return result.ec == std::errc() && result.ptr == token.data() + token.size() && !token.empty();
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
} // namespace

ViStatus scanMessage(MessageSource &source, const char *format, va_list *args)
{
    if (!format)
        return VI_ERROR_USER_BUF;
    const char *p = format;
    while (*p) {
        if (isSpace((unsigned char)*p)) {
            skipSpace(source);
            ++p;
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            const char expected = *p == '%' ? '%' : *p;
            p += *p == '%' ? 2 : 1;
            if (source.peek() != (unsigned char)expected)
                return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
            source.advance();
            continue;
        }
        ++p;
        bool suppress = false;
        bool sized = false;
        if (*p == '*') {
            suppress = true;
            ++p;
        }
        if (*p == '#') {
            sized = true;
            ++p;
        }
        size_t width = 0;
        while (std::isdigit((unsigned char)*p))
            width = width * 10 + size_t(*p++ - '0');
        std::string length;
        while (*p && std::strchr("hlL", *p))
            length.push_back(*p++);
        const char conversion = *p;
        if (!conversion)
            return VI_ERROR_INV_FMT;
        ++p;

        switch (conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X': {
            const int base = (conversion == 'x' || conversion == 'X') ? 16 : 10;
            skipSpace(source);
            std::string token;
            while (!width || token.size() < width) {
                int c = source.peek();
                if (c < 0 || !integerChar(c, token, base))
                    break;
                token.push_back(char(c));
                source.advance();
            }
            long long value = 0;
            if (!parseInteger(token, base, value))
                return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
            if (suppress)
                break;
            if (length == "h")
                *va_arg(*args, int16_t *) = int16_t(value);
            else if (length == "ll" || length == "L")
                *va_arg(*args, int64_t *) = int64_t(value);
            else
                *va_arg(*args, int32_t *) = int32_t(value);
            break;
        }
        case 'f':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            skipSpace(source);
            std::string token =
                takeWhile(source, width ? width : 512,
                          [](int c, const std::string &t) { return floatChar(c, t); });
            double value = 0;
            if (!parseFloat(token, value))
                return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
            if (suppress)
                break;
            if (length.empty())
                *va_arg(*args, float *) = float(value);
            else
                *va_arg(*args, double *) = value;
            break;
        }
        case 's':
        case 't':
        case 'T':
        case 'c':
        case '[': {
            int32_t *sizeArg = (sized && !suppress) ? va_arg(*args, int32_t *) : nullptr;
            char *buffer = suppress ? nullptr : va_arg(*args, char *);
            size_t capacity = sizeArg ? size_t(*sizeArg > 0 ? *sizeArg : 0)
                                      : (width ? width + (conversion == 'c' ? 0 : 1) : SIZE_MAX);
            std::string text;
            if (conversion == 's') {
                skipSpace(source);
                while (source.peek() >= 0 && !isSpace(source.peek())) {
                    text.push_back(char(source.peek()));
                    source.advance();
                }
                if (text.empty())
                    return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
            } else if (conversion == 't' || conversion == 'T') {
                while (source.peek() >= 0) {
                    text.push_back(char(source.peek()));
                    source.advance();
                }
            } else if (conversion == 'c') {
                size_t count = width ? width : 1;
                while (text.size() < count && source.peek() >= 0) {
                    text.push_back(char(source.peek()));
                    source.advance();
                }
                if (text.empty())
                    return source.error() != VI_SUCCESS ? source.error() : VI_ERROR_INV_FMT;
            } else {
                bool negate = *p == '^';
                if (negate)
                    ++p;
                std::string set;
                if (*p == ']')
                    set.push_back(*p++);
                while (*p && *p != ']')
                    set.push_back(*p++);
                if (*p != ']')
                    return VI_ERROR_INV_FMT;
                ++p;
                while (source.peek() >= 0 &&
                       (set.find(char(source.peek())) != std::string::npos) != negate) {
                    text.push_back(char(source.peek()));
                    source.advance();
                }
            }
            if (source.error() != VI_SUCCESS && text.empty())
                return source.error();
            if (!suppress) {
                storeText(buffer, capacity, text, conversion != 'c');
                if (sizeArg)
                    *sizeArg = int32_t(std::min(text.size(), capacity ? capacity - 1 : 0));
            }
            break;
        }
        default:
            return VI_ERROR_NSUP_FMT;
        }
    }
    return source.error();
}

} // namespace vdvisa
