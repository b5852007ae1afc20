#include "settlingpause.h"

#include "simmodule.h"

namespace {
constexpr int intoThePauseMs = 1000;
} // namespace

SettlingPause::SettlingPause(SimModule *simModule, std::function<void()> act)
    : module(simModule), action(std::move(act))
{
    connect(&poll, &QTimer::timeout, this, &SettlingPause::look);
    poll.start(10);
}

void SettlingPause::look()
{
    if (since.isValid())
        return;
    if (!armed.isValid() && module->transcript().count("CURR 0.100000\n") >= 2)
        armed.start();
    if (armed.isValid() && armed.elapsed() >= intoThePauseMs) {
        since.start();
        action();
    }
}
