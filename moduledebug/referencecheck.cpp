#include "referencecheck.h"

#include "scenariobench.h"

#include <cmath>

namespace {
// Below this share of the set value the meter reads nothing of the output.
constexpr double nothingShare = 0.01;
// Within this share of the set value the module's read-back follows its set-point; an
// uncalibrated module is off by far less.
constexpr double followingShare = 0.1;
} // namespace

bool ReferenceCheck::follows(double setValue, double measured)
{
    return std::fabs(measured - setValue) <= followingShare * std::fabs(setValue);
}

void ReferenceCheck::check(ScenarioBench &bench, double setValue,
                           const std::optional<double> &meter,
                           const std::optional<double> &moduleReadBack)
{
    if (done || !bench.ok() || bench.rehearsing() || std::fabs(setValue) < threshold)
        return;
    done = true;
    // A point without readings is a missing measurement, judged as such elsewhere.
    if (!meter || std::fabs(*meter) >= nothingShare * std::fabs(setValue))
        return;
    if (moduleReadBack && !follows(setValue, *moduleReadBack))
        return;
    bench.fail(ScenarioFailure::ReferenceNotFollowing);
}

void ReferenceCheck::check(ScenarioBench &bench, double setValue,
                           const std::optional<double> &meter)
{
    check(bench, setValue, meter, std::nullopt);
}
