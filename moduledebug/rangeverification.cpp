#include "rangeverification.h"

#include "rangeresults.h"
#include "readingmean.h"
#include "referencecheck.h"
#include "toleranceband.h"
#include "verificationframe.h"

#include <iterator>

namespace {

constexpr int settlingPauseMs = 5000;
constexpr int readingPauseMs = 100;
constexpr int currentReadingPauseMs = 1000;
constexpr int pointPauseMs = 1000;
constexpr int loadPauseMs = 500;
constexpr int readingsPerPoint = 3;

namespace vdc {

// Output voltage set-points, V.
const double points[] = {0.1, 1, 5, 10, 20, 30, 40, 50, 60, 70, 80};

const QVector<ToleranceBand> bands = {
    {0.0005, 0.015, 0.0, 30.0},
    {0.0005, 0.04, 30.0, 81.0},
};

const VerificationFrame::Procedure procedure = {
    {QStringLiteral(
         "<thead>Определение диапазона и пределов допускаемой абсолютной погрешности <br>"),
     QStringLiteral("воспроизведения и измерения выходного напряжения постоянного тока<br><font "
                    "size=\"+2\"><b>"),
     {QStringLiteral("<td>Точка<br>поверки</td>"),
      QStringLiteral("<td>Устанавливаемое<br>значение<br>выходного<br>напряжения<br>(B)</td>"),
      QStringLiteral("<td>Измеренное<br>значение<br>напряжения<br>(B)</td>"),
      QStringLiteral("<td>Значение<br>напряжения<br>измеренное<br>вольтметром<br>(B)</td>"),
      QStringLiteral("<td>Погрешность<br>воспроизведения<br>напряжения<br>(мB)</td>"),
      QStringLiteral("<td>Погрешность<br>измерения<br>напряжения<br>(мB)</td>"),
      QStringLiteral("<td>Пределы<br>допускаемой<br>абсолютной<br>погрешности<br>воспроизведения<"
                     "br>и измерения<br>(мB)</td>"),
      QStringLiteral("<td>Результат<br>поверки<br>точки</td>")}},
    MultimeterConfiguration::dcVoltage(),
    false};

} // namespace vdc

namespace idc {

struct VerificationPoint
{
    double volts;    // voltage set-point
    double ohms;     // load resistance
    double loadAmps; // load current setting; 0 or less: the load's maximum
    double amps;     // current set-point
};

const VerificationPoint points[] = {
    {30, 15, 12.0, 0.1}, {30, 2, 12.0, 1.0}, {30, 2, 12.2, 2.5},
    {30, 2, 12.2, 5.0},  {30, 2, 12.2, 7.5}, {30, 2, 12.2, 10.0},
};

const QVector<ToleranceBand> bands = {
    {0.0005, 0.04, 0.0, 12.3},
    {0.0005, 0.04, 30.0, 81.0},
};

const VerificationFrame::Procedure procedure = {
    {QStringLiteral(
         "<thead>Определение диапазона и пределов допускаемой абсолютной погрешности <br>"),
     QStringLiteral("воспроизведения и измерения выходного тока<br><font size=\"+2\"><b>"),
     {QStringLiteral("<td>Точка<br>поверки</td>"),
      QStringLiteral("<td>Устанавливаемое<br>значение<br>выходного<br>тока<br>(A)</td>"),
      QStringLiteral("<td>Измеренное<br>значение<br>тока<br>(A)</td>"),
      QStringLiteral("<td>Значение<br>тока<br>измеренное<br>вольтметром<br>(A)</td>"),
      QStringLiteral("<td>Погрешность<br>воспроизведения<br>тока<br>(мA)</td>"),
      QStringLiteral("<td>Погрешность<br>измерения<br>тока<br>(мA)</td>"),
      QStringLiteral("<td>Пределы<br>допускаемой<br>абсолютной<br>погрешности<br>воспроизведения<"
                     "br>и измерения<br>(мA)</td>"),
      QStringLiteral("<td>Результат<br>поверки<br>точки</td>")}},
    MultimeterConfiguration::dcCurrent(),
    true};

// The module's set-points and the load's settings of one point.
void apply(ScenarioBench &bench, const VerificationPoint &point)
{
    bench.command("VOLT %lf\n", point.volts);
    bench.loadCommand(VerificationFrame::loadCurrent(point.loadAmps), loadPauseMs);
    bench.command("CURR %lf\n", point.amps);
    bench.loadCommand(loadCommand("RES %1\n", point.ohms), loadPauseMs);
}

} // namespace idc

void measureVoltage(ScenarioBench &bench, RangeResults &results)
{
    bench.command("*RST\n");
    bench.command("VOLT %lf\n", vdc::points[0]);
    bench.command("OUTP 1\n");
    ReferenceCheck reference(ReferenceCheck::smallestVolts);
    const int n = int(std::size(vdc::points));
    for (int k = 1; k <= n; ++k) {
        const double setPoint = vdc::points[k - 1];
        bench.pointStarted(k, n);
        bench.command("VOLT %lf\n", setPoint);
        bench.pause(settlingPauseMs);
        ReadingMean meter;
        double moduleSum = 0.0;
        for (int i = 0; i < readingsPerPoint; ++i) {
            meter.add(bench.reading());
            moduleSum += bench.query("MEAS:VOLT?\n");
            bench.pause(readingPauseMs);
        }
        reference.check(bench, setPoint, meter.value(), moduleSum / readingsPerPoint);
        if (!bench.ok())
            return;
        results.addPoint(setPoint, moduleSum / readingsPerPoint, meter.value());
        bench.pause(pointPauseMs);
    }
    bench.command("*RST\n");
}

void measureCurrent(ScenarioBench &bench, RangeResults &results)
{
    bench.command("*RST\n");
    idc::apply(bench, idc::points[0]);
    bench.loadCommand("INP 1\n", loadPauseMs);
    bench.command("OUTP 1\n");
    // The output stays on across all points; the first point's settings go out once more.
    ReferenceCheck reference(ReferenceCheck::smallestAmps);
    const int n = int(std::size(idc::points));
    for (int k = 1; k <= n; ++k) {
        const idc::VerificationPoint &point = idc::points[k - 1];
        bench.pointStarted(k, n);
        idc::apply(bench, point);
        bench.pause(settlingPauseMs);
        ReadingMean meter;
        double moduleSum = 0.0;
        for (int i = 0; i < readingsPerPoint; ++i) {
            meter.add(bench.reading());
            moduleSum += bench.query("MEAS:CURR?\n");
            bench.pause(readingPauseMs);
            bench.pause(currentReadingPauseMs);
        }
        reference.check(bench, point.amps, meter.value(), moduleSum / readingsPerPoint);
        if (!bench.ok())
            return;
        results.addPoint(point.amps, moduleSum / readingsPerPoint, meter.value());
        bench.pause(pointPauseMs);
    }
    bench.command("OUTP 0\n");
    bench.loadCommand("INP 0\n", loadPauseMs);
    bench.command("*RST\n");
}

ScenarioFailure run(ModuleSession &session, const QString &fName, ScenarioMonitor *monitor,
                    const VerificationFrame::Procedure &procedure,
                    const QVector<ToleranceBand> &bands,
                    void (*measure)(ScenarioBench &, RangeResults &))
{
    VerificationFrame frame(session, procedure, monitor);
    if (frame.begin(fName)) {
        RangeResults results;
        measure(frame.bench(), results);
        results.evaluate(bands);
        for (int i = 0; i < results.size(); ++i)
            frame.protocol().addRow(results.cells(i));
    }
    return frame.finish();
}

} // namespace

ScenarioFailure RangeVerification::checkVdc(ModuleSession &session, const QString &fName,
                                            ScenarioMonitor *monitor)
{
    return run(session, fName, monitor, vdc::procedure, vdc::bands, measureVoltage);
}

ScenarioFailure RangeVerification::checkIdc(ModuleSession &session, const QString &fName,
                                            ScenarioMonitor *monitor)
{
    return run(session, fName, monitor, idc::procedure, idc::bands, measureCurrent);
}
