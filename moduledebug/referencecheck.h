#pragma once

#include <optional>

class ScenarioBench;

// Whether the multimeter sees the module's output at all. A meter on another module's output,
// or on a loose lead, reads about nothing while the module puts out volts or amps; judged
// point by point, that would reject a good module. So at the first point whose set value is
// large enough for "nothing" to be told from a small output, a meter reading below 1 % of the
// set value ends the scenario as a set-up fault, through the safe ending, when the module's
// own read-back follows the set value. A module whose read-back does not follow either is
// judged as usual: this check only ever ends a scenario, it never passes a point.
//
// Scenarios that take no read-back of their own (the calibration, the instability
// procedures) have nothing to tell the two apart; there a meter that reads nothing ends the
// scenario all the same, since neither a calibration towards 0 nor an instability of 0 would
// be a true result.
class ReferenceCheck
{
public:
    // The smallest set values at which a meter that reads nothing is told from a small output.
    static constexpr double smallestVolts = 1.0;
    static constexpr double smallestAmps = 0.1;

    // Checks the first point whose set value reaches smallestChecked.
    explicit ReferenceCheck(double smallestChecked) : threshold(smallestChecked) {}

    // After a point's readings: fails the bench with ReferenceNotFollowing if the meter did
    // not follow. moduleReadBack is the module's own measurement, if the scenario takes one.
    void check(ScenarioBench &bench, double setValue, const std::optional<double> &meter,
               const std::optional<double> &moduleReadBack);
    void check(ScenarioBench &bench, double setValue, const std::optional<double> &meter);

    static bool follows(double setValue, double measured);

private:
    const double threshold;
    bool done = false;
};
