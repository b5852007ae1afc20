#pragma once

#include <clocale>
#include <locale.h>

namespace vdvisa {

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

} // namespace vdvisa
