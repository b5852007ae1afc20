#include "formatter.h"

#include "clocale.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/types.h>

namespace vdvisa {

namespace {
template <typename T> void appendFormatted(std::string &out, const std::string &piece, T value)
{
    char small[128];
    int n = std::snprintf(small, sizeof small, piece.c_str(), value);
    if (n < 0)
        return;
    if (size_t(n) < sizeof small) {
        out.append(small, size_t(n));
        return;
    }
    std::string big(size_t(n) + 1, '\0');
    std::snprintf(&big[0], big.size(), piece.c_str(), value);
    out.append(big.data(), size_t(n));
}
} // namespace

ViStatus formatMessage(const char *format, va_list *args, std::string &out)
{
    out.clear();
    if (!format)
        return VI_ERROR_USER_BUF;
    CLocaleScope cLocale;
    const char *p = format;
    while (*p) {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.push_back('%');
            ++p;
            continue;
        }
        std::string piece = "%";
        while (*p && std::strchr("-+ #0", *p))
            piece.push_back(*p++);
        if (*p == '*') {
            piece += std::to_string(va_arg(*args, int));
            ++p;
        } else {
            while (std::isdigit((unsigned char)*p))
                piece.push_back(*p++);
        }
        if (*p == '.') {
            piece.push_back(*p++);
            if (*p == '*') {
                piece += std::to_string(va_arg(*args, int));
                ++p;
            } else {
                while (std::isdigit((unsigned char)*p))
                    piece.push_back(*p++);
            }
        }
        std::string length;
        while (*p && std::strchr("hlLzjt", *p))
            length.push_back(*p++);
        const char conversion = *p;
        if (!conversion)
            return VI_ERROR_INV_FMT;
        ++p;
        piece += length;
        piece.push_back(conversion);
        switch (conversion) {
        case 'd':
        case 'i':
            if (length == "l")
                appendFormatted(out, piece, va_arg(*args, long));
            else if (length == "ll" || length == "L")
                appendFormatted(out, piece, va_arg(*args, long long));
            else if (length == "z")
                appendFormatted(out, piece, va_arg(*args, ssize_t));
            else if (length == "j")
                appendFormatted(out, piece, va_arg(*args, intmax_t));
            else
                appendFormatted(out, piece, va_arg(*args, int));
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (length == "l")
                appendFormatted(out, piece, va_arg(*args, unsigned long));
            else if (length == "ll" || length == "L")
                appendFormatted(out, piece, va_arg(*args, unsigned long long));
            else if (length == "z")
                appendFormatted(out, piece, va_arg(*args, size_t));
            else if (length == "j")
                appendFormatted(out, piece, va_arg(*args, uintmax_t));
            else
                appendFormatted(out, piece, va_arg(*args, unsigned int));
            break;
        case 'c':
            appendFormatted(out, piece, va_arg(*args, int));
            break;
        case 's': {
            const char *text = va_arg(*args, const char *);
            appendFormatted(out, piece, text ? text : "");
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length == "L")
                appendFormatted(out, piece, va_arg(*args, long double));
            else
                appendFormatted(out, piece, va_arg(*args, double));
            break;
        case 'p':
            appendFormatted(out, piece, va_arg(*args, void *));
            break;
        default:
            // Binary (%b, %y) and array modifiers are not part of what we support.
            return VI_ERROR_NSUP_FMT;
        }
    }
    return VI_SUCCESS;
}

} // namespace vdvisa
