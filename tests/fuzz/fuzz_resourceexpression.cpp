// VISA resource expressions and the resource strings they are matched against: the input is
// the expression, a NUL, then the candidate.
#include "resourcefinder.h"

#include <re2/re2.h>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t split = input.find('\0');
    const std::string expression = input.substr(0, split);
    const std::string candidate = split == std::string::npos ? "TCPIP0::127.0.0.2::inst0::INSTR"
                                                             : input.substr(split + 1);
    std::unique_ptr<re2::RE2> matcher;
    if (vdvisa::ResourceFinder::matcher(expression, matcher))
        re2::RE2::FullMatch(candidate, *matcher);
    return 0;
}
