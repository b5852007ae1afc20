#include "autocalibration.h"

#include "readingmean.h"
#include "referencecheck.h"
#include "scenariobench.h"
#include "scenariomonitor.h"
#include "serialline.h"
#include "verificationtext.h"

#include <QStringList>
#include <QVector>

#include <iterator>

namespace {

// Output voltages, V; the lowest point sits at 0.08 V, below the first verification point.
const double points[] = {0.08, 1, 5, 10, 20, 30, 40, 50, 60, 70, 80};

constexpr int settlingPauseMs = 5000;
constexpr int readingPauseMs = 1000;
constexpr int readingsPerPoint = 3;
// The calibration value goes to the module in this form; readings are kept in it as well.
const char *const calibrationFormat = "%.8e";

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

// One point's set value, the readings that arrived and the value stored, for the record.
void calibrate(ScenarioBench &bench, ReferenceCheck &reference, double point, QStringList &row)
{
    bench.command("VOLT %lf\n", point);
    bench.pause(settlingPauseMs);
    ReadingMean measured;
    QStringList readings;
    for (int i = 0; i < readingsPerPoint; ++i) {
        const std::optional<double> reading = bench.reading();
        measured.add(reading);
        if (reading)
            readings.append(QString::asprintf(calibrationFormat, *reading));
        bench.pause(readingPauseMs);
    }
    row << verificationText(point) << readings.join(QLatin1Char(';'));
    // A point without any reading must not reach the module: it would calibrate towards 0 V.
    if (bench.ok() && !measured.value())
        bench.fail(ScenarioFailure::MultimeterLinkBroken);
    // Nor must a meter that does not see the output: the module would be calibrated towards
    // another module's output, or towards nothing.
    reference.check(bench, point, measured.value());
    if (bench.ok()) {
        bench.command("CAL:VOLT %.8e\n", *measured.value());
        row << QString::asprintf(calibrationFormat, *measured.value());
    }
}

} // namespace

ScenarioFailure AutoCalibration::run(ModuleSession &session, ScenarioMonitor *monitor)
{
    ScenarioBench bench(session, monitor);
    QVector<QStringList> rows;
    if (bench.openInstruments(MultimeterConfiguration::dcVoltage(), false)) {
        prepare(bench);
        ReferenceCheck reference(ReferenceCheck::smallestVolts);
        const int n = int(std::size(points));
        for (int k = 1; k <= n; ++k) {
            bench.pointStarted(k, n);
            QStringList row{QString::number(k)};
            calibrate(bench, reference, points[k - 1], row);
            // A point cut short by an early end still shows what it had read.
            rows.append(row);
            if (!bench.ok())
                break;
        }
        bench.command("*RST\n");
        bench.command("CAL:SAVE\n");
    }
    if (bench.monitor() && !bench.rehearsing())
        bench.monitor()->pointsMeasured(rows, QString());
    bench.release();
    return bench.failure();
}
