// Resource strings as a caller or a configuration file gives them.
#include "resourcename.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    vdvisa::ResourceName name;
    if (vdvisa::ResourceName::parse(text, name)) {
        // What we parsed we can write back, and read again to the same resource.
        vdvisa::ResourceName again;
        if (!vdvisa::ResourceName::parse(name.canonical(), again) || again.host != name.host ||
            again.device != name.device || again.board != name.board || again.ipv6 != name.ipv6)
            std::abort();
    }
    vdvisa::ResourceName::parseLenient(text, name);
    return 0;
}
