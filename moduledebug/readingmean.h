#pragma once

#include <optional>

// The mean of the multimeter readings that actually arrived for one measurement. A reading
// that never came adds nothing and is not counted, so a late meter cannot pull the value
// towards zero; a measurement without any reading has no value at all.
class ReadingMean
{
public:
    void add(const std::optional<double> &reading)
    {
        if (!reading)
            return;
        sum += *reading;
        ++count;
    }

    std::optional<double> value() const
    {
        if (count == 0)
            return std::nullopt;
        return sum / count;
    }

private:
    double sum = 0.0;
    int count = 0;
};
