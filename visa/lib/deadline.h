#pragma once

#include <chrono>

namespace vdvisa {

// The end of one VISA operation: every step of it (name look-up, connect, each RPC, each
// piece of a message) takes its wait from the time that is left, so that an operation ends
// within its time-out however many steps a peer makes it take.
class Deadline
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(long long ms) : end(Clock::now() + std::chrono::milliseconds(ms)) {}
    explicit Deadline(Clock::time_point at) : end(at) {}

    long long remainingMs() const
    {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        return left.count() > 0 ? left.count() : 0;
    }
    bool expired() const { return Clock::now() >= end; }
    // The same end moved by ms (the time a reply needs to travel back after the device gave up).
    Deadline extendedBy(long long ms) const
    {
        return Deadline(end + std::chrono::milliseconds(ms));
    }
    Clock::time_point at() const { return end; }

private:
    Clock::time_point end;
};

} // namespace vdvisa
