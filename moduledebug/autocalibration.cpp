#include "autocalibration.h"

#include "readingmean.h"
#include "referencecheck.h"
#include "scenariobench.h"
#include "serialline.h"

#include <iterator>

namespace {

// Output voltages, V; the lowest point sits at 0.08 V, below the first verification point.
const double points[] = {0.08, 1, 5, 10, 20, 30, 40, 50, 60, 70, 80};

constexpr int settlingPauseMs = 5000;
constexpr int readingPauseMs = 1000;
constexpr int readingsPerPoint = 3;

// The cleared calibration is stored before any new point is taken, so that the module never
// works from a mixture of old and new points.
void prepare(ScenarioBench &bench)
{
    bench.command("*RST\n");
    bench.command("CAL:VOLT:CLEAR\n");
    bench.command("CAL:SAVE\n");
    bench.command("*RST\n");
    bench.command("VOLT %lf\n", points[0]);
    bench.command("OUTP 1\n");
}

void calibrate(ScenarioBench &bench, ReferenceCheck &reference, double point)
{
    bench.command("VOLT %lf\n", point);
    bench.pause(settlingPauseMs);
    ReadingMean measured;
    for (int i = 0; i < readingsPerPoint; ++i) {
        measured.add(bench.reading());
        bench.pause(readingPauseMs);
    }
    // A point without any reading must not reach the module: it would calibrate towards 0 V.
    if (bench.ok() && !measured.value())
        bench.fail(ScenarioFailure::MultimeterLinkBroken);
    // Nor must a meter that does not see the output: the module would be calibrated towards
    // another module's output, or towards nothing.
    reference.check(bench, point, measured.value());
    if (bench.ok())
        bench.command("CAL:VOLT %.8e\n", *measured.value());
}

} // namespace

ScenarioFailure AutoCalibration::run(ModuleSession &session)
{
    ScenarioBench bench(session);
    if (bench.openInstruments(MultimeterConfiguration::dcVoltage(), false)) {
        prepare(bench);
        ReferenceCheck reference(ReferenceCheck::smallestVolts);
        const int n = int(std::size(points));
        for (int k = 1; k <= n; ++k) {
            bench.pointStarted(k, n);
            calibrate(bench, reference, points[k - 1]);
            if (!bench.ok())
                break;
        }
        bench.command("*RST\n");
        bench.command("CAL:SAVE\n");
    }
    bench.release();
    return bench.failure();
}
