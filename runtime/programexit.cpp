#include "programexit.h"

#include <cstdlib>

namespace {
std::function<void(int)> &handler()
{
    static std::function<void(int)> current;
    return current;
}
} // namespace

void terminateProgram(int status)
{
    if (handler())
        handler()(status);
    else
        std::exit(status);
}

void setProgramExitHandler(std::function<void(int)> newHandler)
{
    handler() = std::move(newHandler);
}
