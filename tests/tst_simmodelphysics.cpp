// The simulated bench's physics, judged the way the metrology procedures judge a real module:
// the voltage verification points fail on an uncalibrated module and pass after the automatic
// calibration; the current, stability and ripple procedures pass; the bench instruments read
// the module's true output.

#include "rvka5630model.h"
#include "simloadmodel.h"
#include "simmultimetermodel.h"

#include <QtTest>

#include <cmath>
#include <thread>

class tst_SimModelPhysics : public QObject
{
    Q_OBJECT

private slots:
    void voltageVerificationNeedsCalibration_data();
    void voltageVerificationNeedsCalibration();
    void currentVerification();
    void stabilityAndRipple_data();
    void stabilityAndRipple();
    void benchInstruments();
    void temperatureFollowsDissipation();
    void concurrentUse();
};

namespace {

// A verification value as the procedures keep it: text with 6 significant digits, read back.
double asText(double value)
{
    return QString::number(value, 'g', 6).toDouble();
}

QByteArray fixed(double value) // "%lf"
{
    return QByteArray::number(value, 'f', 6);
}

QByteArray general(double value) // the load's "%1"
{
    return QByteArray::number(value, 'g', 6);
}

struct Band
{
    double slope;
    double offset;
    double lower;
    double upper;
};

double limitFor(const QVector<Band> &bands, double setPoint)
{
    for (const Band &band : bands)
        if (setPoint >= band.lower && setPoint <= band.upper)
            return band.slope * setPoint + band.offset;
    return 0.0;
}

// One module with the bench's multimeter and load wired to its output, driven with the texts
// the procedures send.
class Bench
{
public:
    Bench()
    {
        meter.setModule(&module);
        load.setModule(&module);
    }

    void command(const QByteArray &text)
    {
        module.execute(text + '\n');
        const QByteArray error = module.execute("*ERR?\n").data;
        if (!error.startsWith('0'))
            failures.append(text + " -> " + error.trimmed());
    }
    double query(const QByteArray &text) { return module.execute(text + '\n').data.toDouble(); }
    void loadCommand(const QByteArray &text) { load.execute(text + '\n'); }
    double reading(const QByteArray &query) { return meter.execute(query + '\n').toDouble(); }
    double meanReading(const QByteArray &query)
    {
        double sum = 0.0;
        for (int i = 0; i < 3; ++i)
            sum += reading(query);
        return sum / 3;
    }
    void openMeter(const QByteArrayList &configuration, const QByteArray &priming)
    {
        meter.execute("SYST:REM\n");
        for (const QByteArray &line : configuration)
            meter.execute(line + '\n');
        reading(priming);
    }
    void openLoad()
    {
        loadCommand("SYST:LOCK ON");
        loadCommand("INP 0");
        loadCommand("VOLT 0");
    }
    void release()
    {
        meter.execute("SYST:LOC\n");
        loadCommand("SYST:LOCK OFF");
    }
    // Steps of 0.5 A from 0.5 A up to (not including) the target, then the target.
    void currentRampUp(double target)
    {
        for (double value = 0.5; value < target; value += 0.5)
            loadCommand("CURR " + general(value));
        loadCommand("CURR " + general(target));
    }
    void ramp(const QByteArray &word, double from, double to, double step)
    {
        const double signedStep = to > from ? step : -step;
        for (double value = from; to > from ? value <= to : value >= to; value += signedStep)
            loadCommand(word + general(value));
        loadCommand(word + general(to));
    }
    void restart()
    {
        module.execute("FLASH:TEMP:ERASE 1024;:FLASH:TEMP:FIRMWARE 1024\n");
        QVERIFY(module.takeRestartMs() > 0);
    }

    Rvka5630Model module;
    SimMultimeterModel meter;
    SimLoadModel load;
    QByteArrayList failures; // module commands the module refused
};

struct PointResult
{
    double setPoint;
    double reproduction; // mV or mA, from the rounded texts
    double measurement;
    double limit;
    bool pass;
};

QByteArray describe(const QVector<PointResult> &results)
{
    QByteArray text;
    for (const PointResult &r : results)
        text += general(r.setPoint) + ": " + general(r.reproduction) + "/" +
                general(r.measurement) + " vs " + general(r.limit) + (r.pass ? " ok; " : " FAIL; ");
    return text;
}

PointResult judge(double setPoint, double meterMean, double moduleMean, const QVector<Band> &bands)
{
    PointResult r;
    r.setPoint = asText(setPoint);
    const double meter = asText(meterMean);
    const double own = asText(moduleMean);
    r.reproduction = asText((r.setPoint - meter) * 1000);
    r.measurement = asText((own - meter) * 1000);
    r.limit = asText(limitFor(bands, r.setPoint) * 1000);
    r.pass = r.limit > qAbs(r.reproduction) && r.limit > qAbs(r.measurement);
    return r;
}

const QVector<double> voltagePoints{0.1, 1, 5, 10, 20, 30, 40, 50, 60, 70, 80};
const QVector<double> calibrationPoints{0.08, 1, 5, 10, 20, 30, 40, 50, 60, 70, 80};

QVector<PointResult> checkVdc(Bench &bench)
{
    const QVector<Band> bands{{0.0005, 0.015, 0, 30}, {0.0005, 0.04, 30, 81}};
    bench.openMeter({"CONF:AUTO ON"}, "MEAS:VOLT:DC?");
    bench.command("*RST");
    bench.command("VOLT " + fixed(voltagePoints.first()));
    bench.command("OUTP 1");
    QVector<PointResult> results;
    for (double u : voltagePoints) {
        bench.command("VOLT " + fixed(u));
        double meterSum = 0.0;
        double moduleSum = 0.0;
        for (int i = 0; i < 3; ++i) {
            meterSum += bench.reading("MEAS:VOLT:DC?");
            moduleSum += bench.query("MEAS:VOLT?");
        }
        results.append(judge(u, meterSum / 3, moduleSum / 3, bands));
    }
    bench.command("*RST");
    bench.release();
    return results;
}

void autoCalib(Bench &bench)
{
    bench.openMeter({"CONF:AUTO ON"}, "MEAS:VOLT:DC?");
    for (const char *text : {"*RST", "CAL:VOLT:CLEAR", "CAL:SAVE", "*RST"})
        bench.command(text);
    bench.command("VOLT " + fixed(calibrationPoints.first()));
    bench.command("OUTP 1");
    for (double point : calibrationPoints) {
        bench.command("VOLT " + fixed(point));
        bench.command("CAL:VOLT " + QByteArray::number(bench.meanReading("MEAS:VOLT:DC?"), 'e', 8));
    }
    bench.command("*RST");
    bench.command("CAL:SAVE");
    bench.release();
}

QVector<PointResult> checkIdc(Bench &bench)
{
    struct Point
    {
        double volts, ohms, loadAmps, amps;
    };
    const QVector<Point> points{{30, 15, 12.0, 0.1}, {30, 2, 12.0, 1.0}, {30, 2, 12.2, 2.5},
                                {30, 2, 12.2, 5.0},  {30, 2, 12.2, 7.5}, {30, 2, 12.2, 10.0}};
    const QVector<Band> bands{{0.0005, 0.04, 0, 12.3}, {0.0005, 0.04, 30, 81}};
    bench.openMeter({"CONF:AUTO OFF", "CONF:CURR:DC MAX,DEF"}, "MEAS:CURR:DC? MAX,DEF");
    bench.openLoad();
    auto apply = [&bench](const Point &p) {
        bench.command("VOLT " + fixed(p.volts));
        bench.loadCommand("CURR " + general(p.loadAmps));
        bench.command("CURR " + fixed(p.amps));
        bench.loadCommand("RES " + general(p.ohms));
    };
    bench.command("*RST");
    apply(points.first());
    bench.loadCommand("INP 1");
    bench.command("OUTP 1");
    QVector<PointResult> results;
    for (const Point &p : points) {
        apply(p);
        double meterSum = 0.0;
        double moduleSum = 0.0;
        for (int i = 0; i < 3; ++i) {
            meterSum += bench.reading("MEAS:CURR:DC? MAX,DEF");
            moduleSum += bench.query("MEAS:CURR?");
        }
        results.append(judge(p.amps, meterSum / 3, moduleSum / 3, bands));
    }
    bench.command("OUTP 0");
    bench.loadCommand("INP 0");
    bench.command("*RST");
    bench.release();
    return results;
}

// The stability and ripple procedures: the value judged (mV or mA) against its limit, and the
// module's state code at each measurement.
struct StabilityResult
{
    QVector<double> values;
    QVector<double> limits;
    QVector<int> states;
};

StabilityResult checkVdcCurr(Bench &bench)
{
    struct Point
    {
        double volts, amps, ohms, initial, final, limit;
    };
    StabilityResult result;
    bench.openMeter({"CONF:AUTO ON"}, "MEAS:VOLT:DC?");
    bench.openLoad();
    bench.command("*RST");
    bench.command("OVPOWER 1");
    for (const Point &p : {Point{30, 12.2, 2, 12.0, 1.2, 16}, Point{80, 5.0, 15, 4.5, 0.4, 5}}) {
        bench.command("VOLT " + fixed(p.volts));
        bench.command("CURR " + fixed(p.amps));
        bench.loadCommand("RES " + general(p.ohms));
        bench.loadCommand("CURR 0.1");
        bench.loadCommand("INP 1");
        bench.command("OUTP 1");
        bench.currentRampUp(p.initial);
        const double v1 = bench.meanReading("MEAS:VOLT:DC?");
        result.states.append(int(bench.query("OUTP? STATE")));
        bench.ramp("CURR ", p.initial, p.final, 0.5);
        const double v2 = bench.meanReading("MEAS:VOLT:DC?");
        result.states.append(int(bench.query("OUTP? STATE")));
        result.values.append(qAbs(v1 - v2) * 1000);
        result.limits.append(p.limit);
        bench.command("OUTP 0");
        bench.loadCommand("INP 0");
    }
    bench.command("*RST");
    bench.release();
    return result;
}

StabilityResult checkVacCurr(Bench &bench)
{
    struct Point
    {
        double volts, amps, ohms, loadAmps, limit;
    };
    StabilityResult result;
    bench.openMeter({"CONF:AUTO ON"}, "MEAS:VOLT:AC? 100e-3,DEF");
    bench.openLoad();
    bench.command("*RST");
    for (const Point &p : {Point{30, 12.0, 2, 10.0, 18}, Point{80, 4.5, 15, 4.0, 10}}) {
        bench.command("VOLT " + fixed(p.volts));
        bench.command("CURR " + fixed(p.amps));
        bench.loadCommand("RES " + general(p.ohms));
        bench.loadCommand("CURR 0.1");
        bench.loadCommand("INP 1");
        bench.command("OUTP 1");
        bench.currentRampUp(p.loadAmps);
        result.values.append(bench.meanReading("MEAS:VOLT:AC? 100e-3,DEF") * 1000);
        result.states.append(int(bench.query("OUTP? STATE")));
        result.limits.append(p.limit);
        bench.command("OUTP 0");
        bench.loadCommand("INP 0");
    }
    bench.command("*RST");
    bench.release();
    return result;
}

StabilityResult checkIdcN(Bench &bench)
{
    StabilityResult result;
    bench.openMeter({"CONF:AUTO OFF", "CONF:CURR:DC MAX,DEF"}, "MEAS:CURR:DC? MAX,DEF");
    bench.openLoad();
    bench.command("*RST");
    bench.command("VOLT " + fixed(80));
    bench.command("CURR " + fixed(4.5));
    bench.loadCommand("CURR 0.1");
    bench.loadCommand("RES 15");
    bench.loadCommand("INP 1");
    bench.command("OUTP 1");
    bench.currentRampUp(4.6);
    const double i1 = bench.meanReading("MEAS:CURR:DC? MAX,DEF");
    result.states.append(int(bench.query("OUTP? STATE")));
    bench.ramp("RES ", 15, 1.6, 1.0);
    const double i2 = bench.meanReading("MEAS:CURR:DC? MAX,DEF");
    result.states.append(int(bench.query("OUTP? STATE")));
    bench.command("OUTP 0");
    bench.loadCommand("INP 0");
    result.values.append(qAbs(asText(i1) - asText(i2)) * 1000);
    result.limits.append(10);
    bench.command("*RST");
    bench.release();
    return result;
}

StabilityResult checkIac(Bench &bench)
{
    StabilityResult result;
    bench.openMeter({"CONF:AUTO OFF", "CONF:CURR:AC MAX,DEF"}, "MEAS:CURR:AC? MAX,DEF");
    bench.openLoad();
    bench.command("*RST");
    bench.command("VOLT " + fixed(31));
    bench.command("CURR " + fixed(1.0));
    bench.loadCommand("CURR 2");
    bench.loadCommand("RES 15");
    bench.loadCommand("INP 1");
    bench.command("OUTP 1");
    result.values.append(bench.meanReading("MEAS:CURR:AC? MAX,DEF") * 1000);
    result.states.append(int(bench.query("OUTP? STATE")));
    result.limits.append(20);
    bench.command("OUTP 0");
    bench.loadCommand("INP 0");
    bench.command("*RST");
    bench.release();
    return result;
}

} // namespace

void tst_SimModelPhysics::voltageVerificationNeedsCalibration_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 4u, 5u})
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
}

void tst_SimModelPhysics::voltageVerificationNeedsCalibration()
{
    QFETCH(quint32, seed);
    Bench bench;
    bench.module.setSeed(seed);
    bench.meter.setSeed(seed + 1000);

    const QVector<PointResult> before = checkVdc(bench);
    QCOMPARE(before.size(), 11);
    // Up to 5 V the uncalibrated output is within its limits, from 10 V on it is not.
    for (int i = 0; i < before.size(); ++i)
        QVERIFY2(before.at(i).pass == (i < 3), describe(before));

    autoCalib(bench);
    QCOMPARE(bench.module.storedVoltageCalibration().size(), 11);
    const QVector<PointResult> after = checkVdc(bench);
    for (const PointResult &r : after)
        QVERIFY2(r.pass && qAbs(r.reproduction) < r.limit / 5, describe(after));

    bench.restart();
    const QVector<PointResult> afterRestart = checkVdc(bench);
    for (const PointResult &r : afterRestart)
        QVERIFY2(r.pass, describe(afterRestart));
    QCOMPARE(bench.failures, QByteArrayList());
}

void tst_SimModelPhysics::currentVerification()
{
    Bench bench;
    const QVector<PointResult> uncalibrated = checkIdc(bench);
    QCOMPARE(uncalibrated.size(), 6);
    for (const PointResult &r : uncalibrated)
        QVERIFY2(r.pass, describe(uncalibrated));
    autoCalib(bench);
    const QVector<PointResult> calibrated = checkIdc(bench);
    for (const PointResult &r : calibrated)
        QVERIFY2(r.pass, describe(calibrated));
    QCOMPARE(bench.failures, QByteArrayList());
}

void tst_SimModelPhysics::stabilityAndRipple_data()
{
    QTest::addColumn<int>("procedure");
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<QVector<int>>("states");
    const char *names[] = {"check_vdcCurr", "check_vacCurr", "check_idcN", "check_iac"};
    const QVector<int> states[] = {{1, 1, 1, 1}, {1, 1}, {2, 2}, {2}};
    for (int procedure = 0; procedure < 4; ++procedure)
        for (bool calibrated : {false, true})
            QTest::newRow(qPrintable(
                QString("%1 %2").arg(names[procedure], calibrated ? "calibrated" : "uncalibrated")))
                << procedure << calibrated << states[procedure];
}

void tst_SimModelPhysics::stabilityAndRipple()
{
    QFETCH(int, procedure);
    QFETCH(bool, calibrated);
    QFETCH(QVector<int>, states);

    Bench bench;
    if (calibrated)
        autoCalib(bench);
    StabilityResult (*const procedures[])(Bench &) = {checkVdcCurr, checkVacCurr, checkIdcN,
                                                      checkIac};
    const StabilityResult result = procedures[procedure](bench);
    QCOMPARE(result.states, states);
    for (int i = 0; i < result.values.size(); ++i) {
        // Within the limit, but a real, measurable effect rather than noise alone.
        QVERIFY2(result.values.at(i) < result.limits.at(i) * 0.8,
                 qPrintable(QString("%1 vs %2").arg(result.values.at(i)).arg(result.limits.at(i))));
        QVERIFY(result.values.at(i) > 0.5);
    }
    QCOMPARE(bench.failures, QByteArrayList());
}

void tst_SimModelPhysics::benchInstruments()
{
    Bench bench;
    bench.command("VOLT 12.345");
    bench.command("CURR 3");
    bench.command("OUTP 1");
    const QRegularExpression format("^[+-]\\d\\.\\d{6}E[+-]\\d{2}\\n$");
    const QByteArray dc = bench.meter.execute("MEAS:VOLT:DC?\n");
    QVERIFY2(format.match(QString::fromLatin1(dc)).hasMatch(), dc.constData());
    QVERIFY(qAbs(dc.toDouble() - bench.module.outputPoint().voltage) < 0.001);
    QCOMPARE(bench.meter.execute("SYST:REM\n"), QByteArray());
    QVERIFY(bench.meter.isRemote());
    QCOMPARE(bench.meter.execute("CONF:CURR:AC MAX,DEF\n"), QByteArray());
    QCOMPARE(bench.meter.function(), QByteArray("CURR:AC"));
    bench.meter.execute("BOGUS\n");
    QCOMPARE(bench.meter.execute("SYST:ERR?\n"), QByteArray("-113,Undefined header\n"));

    // The load takes settings only under remote control.
    QCOMPARE(bench.load.execute("RES 2\n"), QByteArray());
    bench.loadCommand("INP 1");
    QVERIFY(!bench.load.inputOn());
    bench.openLoad();
    bench.loadCommand("RES 2");
    bench.loadCommand("CURR MAX");
    bench.loadCommand("INP 1");
    QCOMPARE(bench.load.currentSetting(), SimLoadModel::maxCurrent);
    QCOMPARE(bench.query("OUTP? STATE"), 2.0);
    QVERIFY(qAbs(bench.reading("MEAS:CURR:DC? MAX,DEF") - 3.007) < 0.002);
    QVERIFY(qAbs(bench.query("MEAS:CURR?") - 3.0) < 0.01);
    bench.loadCommand("INP 0");
    QCOMPARE(bench.query("OUTP? STATE"), 1.0);

    // The same seeds give the same readings.
    Bench again;
    again.command("VOLT 12.345");
    again.command("OUTP 1");
    Bench third;
    third.command("VOLT 12.345");
    third.command("OUTP 1");
    for (int i = 0; i < 5; ++i)
        QCOMPARE(again.meter.execute("MEAS:VOLT:DC?\n"), third.meter.execute("MEAS:VOLT:DC?\n"));
    third.meter.setSeed(99);
    QVERIFY(again.meter.execute("MEAS:VOLT:DC?\n") != third.meter.execute("MEAS:VOLT:DC?\n"));
}

void tst_SimModelPhysics::temperatureFollowsDissipation()
{
    qint64 now = 0;
    Bench bench;
    bench.module.setClock([&now] { return now; });
    const double idle = bench.query("MEAS:TEMP?");
    QVERIFY(qAbs(idle - 25.0) < 0.2);
    bench.openLoad();
    bench.loadCommand("RES 2");
    bench.loadCommand("CURR 12");
    bench.loadCommand("INP 1");
    bench.command("OVPOWER 1");
    bench.command("VOLT 30");
    bench.command("CURR 12.2");
    bench.command("OUTP 1");
    now += 10000;
    const double early = bench.query("MEAS:TEMP?");
    now += 600000;
    const double settled = bench.query("MEAS:TEMP?");
    QVERIFY2(early > idle + 0.3 && early < settled - 3.0,
             qPrintable(QString("%1 %2 %3").arg(idle).arg(early).arg(settled)));
    bench.command("OUTP 0");
    now += 600000;
    QVERIFY(bench.query("MEAS:TEMP?") < idle + 1.0);
}

void tst_SimModelPhysics::concurrentUse()
{
    Bench bench;
    bench.openLoad();
    bench.loadCommand("RES 10");
    bench.loadCommand("CURR 5");
    bench.command("VOLT 20");
    bench.command("CURR 5");
    bench.command("OUTP 1");
    auto moduleTraffic = [&bench] {
        for (int i = 0; i < 300; ++i)
            bench.module.execute("MEAS:VOLT?;:MEAS:CURR?;:OUTP? STATE\n");
    };
    auto meterTraffic = [&bench] {
        for (int i = 0; i < 300; ++i)
            bench.meter.execute("MEAS:VOLT:DC?\n");
    };
    auto loadTraffic = [&bench] {
        for (int i = 0; i < 300; ++i)
            bench.load.execute(i % 2 ? "INP 1\n" : "INP 0\n");
    };
    std::thread a(moduleTraffic);
    std::thread b(meterTraffic);
    loadTraffic();
    a.join();
    b.join();
    QCOMPARE(bench.module.outputStateCode(), 1);
    QCOMPARE(bench.meter.readingCount(), 300);
}

QTEST_GUILESS_MAIN(tst_SimModelPhysics)
#include "tst_simmodelphysics.moc"
