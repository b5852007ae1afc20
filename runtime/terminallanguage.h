#pragma once

#include <cstdlib>
#include <cstring>
#include <initializer_list>

// Whether a command-line tool without Qt speaks English: VOLTADESK_LANG "en" or "ru" decides,
// else the first locale variable that is set names the language; the C locale names none, and
// then the tools speak Russian, as the window does.
inline bool terminalSpeaksEnglish()
{
    const char *chosen = std::getenv("VOLTADESK_LANG");
    if (chosen && std::strcmp(chosen, "en") == 0)
        return true;
    if (chosen && std::strcmp(chosen, "ru") == 0)
        return false;
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return std::strncmp(value, "en", 2) == 0;
    }
    return false;
}
