#include "stabilityverification.h"

#include "loadramp.h"
#include "readingmean.h"
#include "referencecheck.h"
#include "verificationframe.h"
#include "verificationtext.h"

#include <QtGlobal>

namespace {

constexpr int settlingPauseMs = 5000;
constexpr int readingPauseMs = 1000;
constexpr int outputOnPauseMs = 1000;
constexpr int pointPauseMs = 1000;
constexpr int loadPauseMs = 500;
constexpr int readingsPerMeasurement = 3;
constexpr double milli = 1000.0;

// Three readings, each followed by a second for the meter to settle again.
std::optional<double> measure(ScenarioBench &bench)
{
    ReadingMean mean;
    for (int i = 0; i < readingsPerMeasurement; ++i) {
        mean.add(bench.reading());
        bench.pause(readingPauseMs);
    }
    return mean.value();
}

// The load in resistance mode at ohms, starting from a light 0.1 A, its input on.
void loadOn(ScenarioBench &bench, double ohms)
{
    bench.loadCommand(loadCommand("RES %1\n", ohms), loadPauseMs);
    bench.loadCommand("CURR 0.1\n", loadPauseMs);
    bench.loadCommand("INP 1\n", loadPauseMs);
}

// The voltage procedures' start of a point: the module's set-points, the load on, the output
// on, then the load current ramped up to loadAmps and a settling pause.
void switchOnAndLoad(ScenarioBench &bench, double volts, double amps, double ohms, double loadAmps)
{
    bench.command("VOLT %lf\n", volts);
    bench.command("CURR %lf\n", amps);
    loadOn(bench, ohms);
    bench.command("OUTP 1\n");
    bench.pause(outputOnPauseMs);
    LoadRamp::currentUp(loadAmps, 0).run(bench);
    bench.pause(settlingPauseMs);
}

void outputAndLoadOff(ScenarioBench &bench)
{
    bench.command("OUTP 0\n");
    bench.loadCommand("INP 0\n", loadPauseMs);
}

// An instability (first − second, × 1000 with its sign) or a ripple (× 1000) as its protocol
// text; empty when a measurement had no reading at all.
QString difference(const std::optional<double> &first, const std::optional<double> &second)
{
    return first && second ? verificationText((*first - *second) * milli) : QString();
}

QString scaled(const std::optional<double> &value)
{
    return value ? verificationText(*value * milli) : QString();
}

QString plain(const std::optional<double> &value)
{
    return value ? verificationText(*value) : QString();
}

// A value as it reads back from its protocol text.
std::optional<double> asEntered(const std::optional<double> &value)
{
    if (!value)
        return std::nullopt;
    return verificationValue(verificationText(*value));
}

// Instabilities are judged on the computed difference, not on its rounded text.
bool steadyWithin(double limit, const std::optional<double> &first,
                  const std::optional<double> &second)
{
    return first && second && limit > qAbs(*first - *second) * milli;
}

// Ripples are judged on their protocol text.
bool rippleWithin(double limit, const QString &ripple)
{
    return !ripple.isEmpty() && limit > verificationValue(ripple);
}

template <class Point, std::size_t N>
ScenarioFailure run(ModuleSession &session, const QString &fName, ScenarioMonitor *monitor,
                    const VerificationFrame::Procedure &procedure, const Point (&points)[N],
                    void (*preamble)(ScenarioBench &), double smallestChecked,
                    QStringList (*measurePoint)(ScenarioBench &, ReferenceCheck &, const Point &))
{
    VerificationFrame frame(session, procedure, monitor);
    if (frame.begin(fName)) {
        ScenarioBench &bench = frame.bench();
        ReferenceCheck reference(smallestChecked);
        preamble(bench);
        for (std::size_t k = 1; k <= N; ++k) {
            bench.pointStarted(int(k), int(N));
            const QStringList cells = measurePoint(bench, reference, points[k - 1]);
            if (!bench.ok())
                break;
            frame.protocol().addRow(cells);
        }
        bench.command("*RST\n");
    }
    return frame.finish();
}

void reset(ScenarioBench &bench)
{
    bench.command("*RST\n");
}

namespace vdcCurr {

struct VerificationPoint
{
    double volts;       // voltage set-point
    double amps;        // current limit set-point
    double ohms;        // load resistance
    double initialLoad; // load current, A
    double finalLoad;   // load current, A
    double limit;       // mV
};

const VerificationPoint points[] = {
    {30, 12.2, 2, 12.0, 1.2, 16},
    {80, 5.0, 15, 4.5, 0.4, 5},
};

const VerificationFrame::Procedure procedure = {
    {QStringLiteral("<thead>Определение нестабильности выходного напряжения "),
     QStringLiteral("при изменении постоянного тока<br><font size=\"+2\"><b>"),
     {QStringLiteral("<td>Точка<br>поверки</td>"),
      QStringLiteral("<td>Устанавливаемое<br>значение<br>выходного<br>напряжения<br>(B)</td>"),
      QStringLiteral(
          "<td>Устанавливаемое<br>значение<br>ограничения<br>выходного<br>тока<br>(А)</td>"),
      QStringLiteral("<td>Начальное<br>значение<br>тока<br>нагрузки<br>(А)</td>"),
      QStringLiteral("<td>Конечное<br>значение<br>тока<br>нагрузки<br>(А)</td>"),
      QStringLiteral("<td>Измеренное<br>значение<br>нестабильности<br>напряжения<br>(мB)</td>"),
      QStringLiteral("<td>Пределы<br>допускаемой<br>нестабильности<br>напряжения<br>(мB)</td>"),
      QStringLiteral("<td>Результат<br>поверки<br>точки</td>")}},
    MultimeterConfiguration::dcVoltage(),
    true};

// Up to 12.2 A at 30 V the output needs the extended power mode.
void preamble(ScenarioBench &bench)
{
    bench.command("*RST\n");
    bench.command("OVPOWER 1\n");
}

QStringList measurePoint(ScenarioBench &bench, ReferenceCheck &reference,
                         const VerificationPoint &point)
{
    switchOnAndLoad(bench, point.volts, point.amps, point.ohms, point.initialLoad);
    const std::optional<double> v1 = measure(bench);
    reference.check(bench, point.volts, v1);
    LoadRamp::current(point.initialLoad, point.finalLoad).run(bench);
    const std::optional<double> v2 = measure(bench);
    const bool passes = steadyWithin(point.limit, v1, v2);
    outputAndLoadOff(bench);
    bench.pause(pointPauseMs);
    return {verificationText(point.volts),
            verificationText(point.amps),
            verificationText(point.initialLoad),
            verificationText(point.finalLoad),
            difference(v1, v2),
            verificationText(point.limit),
            VerificationFrame::verdict(passes)};
}

} // namespace vdcCurr

namespace vacCurr {

struct VerificationPoint
{
    double volts;    // voltage set-point
    double amps;     // current limit set-point
    double ohms;     // load resistance
    double loadAmps; // load current
    double limit;    // mV
};

const VerificationPoint points[] = {
    {30, 12.0, 2, 10.0, 18},
    {80, 4.5, 15, 4.0, 10},
};

const VerificationFrame::Procedure procedure = {
    {QStringLiteral("<thead>Определение уровня пульсаций выходного напряжения "),
     QStringLiteral("при постоянном токе<br><font size=\"+2\"><b>"),
     {QStringLiteral("<td>Точка<br>поверки</td>"),
      QStringLiteral("<td>Устанавливаемое<br>значение<br>выходного<br>напряжения<br>(B)</td>"),
      QStringLiteral(
          "<td>Устанавливаемое<br>значение<br>ограничения<br>выходного<br>тока<br>(А)</td>"),
      QStringLiteral("<td>Значение<br>тока<br>нагрузки<br>(А)</td>"),
      QStringLiteral("<td>Измеренное<br>значение<br>пульсаций<br>напряжения<br>(мB)</td>"),
      QStringLiteral("<td>Пределы<br>допускаемых<br>пульсаций<br>напряжения<br>(мB)</td>"),
      QStringLiteral("<td>Результат<br>поверки<br>точки</td>")}},
    MultimeterConfiguration::acVoltage(),
    true};

// Ripple is no reading of the output level, so it is no test of the meter's leads.
QStringList measurePoint(ScenarioBench &bench, ReferenceCheck &, const VerificationPoint &point)
{
    switchOnAndLoad(bench, point.volts, point.amps, point.ohms, point.loadAmps);
    const QString ripple = scaled(measure(bench));
    const bool passes = rippleWithin(point.limit, ripple);
    outputAndLoadOff(bench);
    bench.pause(pointPauseMs);
    return {verificationText(point.volts),    verificationText(point.amps),
            verificationText(point.loadAmps), ripple,
            verificationText(point.limit),    VerificationFrame::verdict(passes)};
}

} // namespace vacCurr

namespace idcN {

struct VerificationPoint
{
    double volts;       // voltage set-point
    double amps;        // current set-point
    double loadAmps;    // load current
    double initialOhms; // load resistance
    double finalOhms;   // load resistance
    double limit;       // mA
};

const VerificationPoint points[] = {
    {80, 4.5, 4.6, 15, 1.6, 10},
};

const VerificationFrame::Procedure procedure = {
    {QStringLiteral(
         "<thead>Определение нестабильности выходного тока при изменении выходного напряжения"),
     QStringLiteral("<br><font size=\"+2\"><b>"),
     {QStringLiteral("<td>Точка<br>поверки</td>"),
      QStringLiteral("<td>Устанавливаемое<br>значение<br>выходного<br>тока<br>(A)</td>"),
      QStringLiteral("<td>Начальное<br>значение<br>тока<br>(А)</td>"),
      QStringLiteral("<td>Конечное<br>значение<br>тока<br>(А)</td>"),
      QStringLiteral("<td>Измеренное<br>значение<br>нестабильности<br>тока<br>(мА)</td>"),
      QStringLiteral("<td>Допустимое<br>значение<br>нестабильности<br>тока<br>(мА)</td>"),
      QStringLiteral("<td>Результат<br>поверки<br>точки</td>")}},
    MultimeterConfiguration::dcCurrent(),
    true};

QStringList measurePoint(ScenarioBench &bench, ReferenceCheck &reference,
                         const VerificationPoint &point)
{
    bench.command("VOLT %lf\n", point.volts);
    bench.command("CURR %lf\n", point.amps);
    bench.loadCommand("CURR 0.1\n", loadPauseMs);
    bench.loadCommand(loadCommand("RES %1\n", point.initialOhms), loadPauseMs);
    bench.loadCommand("INP 1\n", loadPauseMs);
    bench.command("OUTP 1\n");
    LoadRamp::currentUp(point.loadAmps, loadPauseMs).run(bench);
    bench.pause(settlingPauseMs);
    const std::optional<double> i1 = measure(bench);
    reference.check(bench, point.amps, i1);
    LoadRamp::resistance(point.initialOhms, point.finalOhms).run(bench);
    const std::optional<double> i2 = measure(bench);
    outputAndLoadOff(bench);
    // I1 and I2 are in the protocol, so the instability is taken from their texts and agrees
    // with them to the last digit.
    const std::optional<double> first = asEntered(i1);
    const std::optional<double> second = asEntered(i2);
    const bool passes = steadyWithin(point.limit, first, second);
    bench.pause(pointPauseMs);
    return {verificationText(point.amps),
            plain(first),
            plain(second),
            difference(first, second),
            QStringLiteral("±") + verificationText(point.limit),
            VerificationFrame::verdict(passes)};
}

} // namespace idcN

namespace iac {

struct VerificationPoint
{
    double volts;    // voltage set-point
    double amps;     // current set-point
    double loadAmps; // load current setting; 0 or less: the load's maximum
    double ohms;     // load resistance
    double limit;    // mA
};

const VerificationPoint points[] = {
    {31, 1.0, 2.0, 15, 20},
};

const VerificationFrame::Procedure procedure = {
    {QStringLiteral("<thead>Определение уровня пульсаций выходного тока"),
     QStringLiteral("<br><font size=\"+2\"><b>"),
     {QStringLiteral("<td>Точка<br>поверки</td>"),
      QStringLiteral("<td>Устанавливаемое<br>значение<br>выходного<br>тока<br>(A)</td>"),
      QStringLiteral("<td>Измеренное<br>значение<br>пульсаций<br>тока<br>(мА)</td>"),
      QStringLiteral(
          "<td>Максимальное<br>допустимое<br>значение<br>пульсаций<br>тока<br>(мА)</td>"),
      QStringLiteral("<td>Результат<br>поверки<br>точки</td>")}},
    MultimeterConfiguration::acCurrent(),
    true};

constexpr int outputRisePauseMs = 500;

QStringList measurePoint(ScenarioBench &bench, ReferenceCheck &, const VerificationPoint &point)
{
    bench.command("VOLT %lf\n", point.volts);
    bench.command("CURR %lf\n", point.amps);
    bench.loadCommand(VerificationFrame::loadCurrent(point.loadAmps), loadPauseMs);
    bench.loadCommand(loadCommand("RES %1\n", point.ohms), loadPauseMs);
    bench.loadCommand("INP 1\n", loadPauseMs);
    bench.command("OUTP 1\n");
    bench.pause(outputRisePauseMs);
    bench.pause(settlingPauseMs);
    const QString ripple = scaled(measure(bench));
    outputAndLoadOff(bench);
    const bool passes = rippleWithin(point.limit, ripple);
    bench.pause(pointPauseMs);
    return {verificationText(point.amps), ripple,
            QStringLiteral("±") + verificationText(point.limit),
            VerificationFrame::verdict(passes)};
}

} // namespace iac

} // namespace

ScenarioFailure StabilityVerification::checkVdcCurr(ModuleSession &session, const QString &fName,
                                                    ScenarioMonitor *monitor)
{
    return run(session, fName, monitor, vdcCurr::procedure, vdcCurr::points, vdcCurr::preamble,
               ReferenceCheck::smallestVolts, vdcCurr::measurePoint);
}

ScenarioFailure StabilityVerification::checkVacCurr(ModuleSession &session, const QString &fName,
                                                    ScenarioMonitor *monitor)
{
    return run(session, fName, monitor, vacCurr::procedure, vacCurr::points, reset,
               ReferenceCheck::smallestVolts, vacCurr::measurePoint);
}

ScenarioFailure StabilityVerification::checkIdcN(ModuleSession &session, const QString &fName,
                                                 ScenarioMonitor *monitor)
{
    return run(session, fName, monitor, idcN::procedure, idcN::points, reset,
               ReferenceCheck::smallestAmps, idcN::measurePoint);
}

ScenarioFailure StabilityVerification::checkIac(ModuleSession &session, const QString &fName,
                                                ScenarioMonitor *monitor)
{
    return run(session, fName, monitor, iac::procedure, iac::points, reset,
               ReferenceCheck::smallestAmps, iac::measurePoint);
}
