#include "loadramp.h"

#include "scenariobench.h"
#include "serialline.h"

namespace {

constexpr double currentStep = 0.5;    // A
constexpr double resistanceStep = 1.0; // Ω
constexpr int currentStepPauseMs = 500;
constexpr int resistanceStepPauseMs = 250;
constexpr int currentTargetPauseMs = 1000;
constexpr int resistanceTargetPauseMs = 500;

// Values are from + k × step rather than a running sum, so a long ramp cannot drift off the
// values the load expects.
QVector<double> stepsBetween(double from, double to, double step)
{
    QVector<double> steps;
    const bool upwards = to > from;
    const double signedStep = upwards ? step : -step;
    for (int k = 0;; ++k) {
        const double value = from + k * signedStep;
        if (upwards ? value > to : value < to)
            break;
        steps.append(value);
    }
    return steps;
}

} // namespace

LoadRamp LoadRamp::currentUp(double target, int targetPauseMs)
{
    QVector<double> steps;
    for (int k = 1; k * currentStep < target; ++k)
        steps.append(k * currentStep);
    return {"CURR %1\n", steps, target, currentStepPauseMs, targetPauseMs};
}

LoadRamp LoadRamp::current(double from, double to)
{
    return {"CURR %1\n", stepsBetween(from, to, currentStep), to, currentStepPauseMs,
            currentTargetPauseMs};
}

LoadRamp LoadRamp::resistance(double from, double to)
{
    return {"RES %1\n", stepsBetween(from, to, resistanceStep), to, resistanceStepPauseMs,
            resistanceTargetPauseMs};
}

QVector<QByteArray> LoadRamp::lines() const
{
    QVector<QByteArray> result;
    for (double value : steps)
        result.append(loadCommand(format, value));
    result.append(loadCommand(format, target));
    return result;
}

void LoadRamp::run(ScenarioBench &bench) const
{
    for (double value : steps)
        bench.loadCommand(loadCommand(format, value), stepPauseMs);
    bench.loadCommand(loadCommand(format, target), targetPauseMs);
}
