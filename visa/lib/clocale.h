#pragma once

#include <clocale>
#include <locale.h>

#ifdef _WIN32
#include <string>
#endif

namespace vdvisa {

#ifdef _WIN32
// Switches the calling thread to the "C" locale for its lifetime: instrument messages use a
// decimal point whatever locale the program chose. The C runtime keeps a locale per thread
// only once the thread asks for one.
class CLocaleScope
{
public:
    CLocaleScope() : mode(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE))
    {
        if (const char *current = std::setlocale(LC_ALL, nullptr))
            previous = current;
        std::setlocale(LC_ALL, "C");
    }
    ~CLocaleScope()
    {
        if (!previous.empty())
            std::setlocale(LC_ALL, previous.c_str());
        _configthreadlocale(mode);
    }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
    int mode;
    std::string previous;
};
#else
// Switches the calling thread to the "C" locale for its lifetime: instrument messages use a
// decimal point whatever locale the program (or the flash rewriter's setlocale) chose.
class CLocaleScope
{
public:
    CLocaleScope() : previous(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(previous); }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

    static locale_t cLocale()
    {
        static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return c;
    }

private:
    locale_t previous;
};
#endif

} // namespace vdvisa
