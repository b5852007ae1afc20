#pragma once

#include <chrono>

namespace vdvisa {

// A point in time that several steps of one operation share (connect, portmapper, link).
class Deadline
{
public:
    explicit Deadline(long long ms)
        : end(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms))
    {
    }
    long long remainingMs() const
    {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        return left.count() > 0 ? left.count() : 0;
    }
    bool expired() const { return remainingMs() <= 0; }

private:
    std::chrono::steady_clock::time_point end;
};

} // namespace vdvisa
