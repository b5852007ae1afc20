// ctest-timeout: 300
// The stability and ripple verifications against the simulated module with the bench
// multimeter and electronic load: the load's ramps, what each instrument is sent and when the
// procedures pause, the judgement of instabilities and ripples, and the protocols byte for byte.
#include "dialoganswerer.h"
#include "loadramp.h"
#include "modulesession.h"
#include "modulethread.h"
#include "modulework.h"
#include "protocolfile.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "simlan.h"
#include "timefacility.h"

#include <visa.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.2");
constexpr double speedup = 25.0;

enum class Procedure
{
    VdcCurr,
    VacCurr,
    IdcN,
    Iac
};

QVector<QByteArray> lines(const char *format, const QVector<double> &values)
{
    QVector<QByteArray> result;
    for (double value : values)
        result << QString::fromLatin1(format).arg(value).toLatin1();
    return result;
}

QVector<double> range(double from, double to, double step)
{
    QVector<double> values;
    for (int k = 0;; ++k) {
        const double value = from + k * step;
        if (step > 0 ? value > to + 1e-9 : value < to - 1e-9)
            break;
        values << value;
    }
    return values;
}

// The protocol of the module on this bench; title is the first fragment and the second up to
// its "<br>".
QByteArray protocol(const QString &title, const QString &header, const QStringList &rows)
{
    return ProtocolFile::expected(title + "<font size=\"+2\"><b>", "Korvalis,RVKA5630,0042,1.3",
                                  header, rows);
}

const QVector<QByteArray> loadOpening = {"SYST:LOCK ON\n", "INP 0\n", "VOLT 0\n"};

} // namespace

Q_DECLARE_METATYPE(Procedure)

class TestStabilityVerification : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    SimModule *module = nullptr;
    Rvka5630Model *model = nullptr;
    SimSerialMultimeter *meter = nullptr;
    SimSerialLoad *load = nullptr;
    ViSession rm = VI_NULL;
    ModuleThread moduleThread;
    ModuleSession &session = moduleThread.session();
    QTemporaryDir dir;

    TimeFacility &time() { return TimeFacility::instance(); }

    // Runs a procedure from a fresh debug window; returns the messages shown.
    QVector<DialogAnswerer::Shown> run(Procedure procedure, const QString &path,
                                       bool expectMessage = false)
    {
        DialogAnswerer answerer;
        if (expectMessage)
            answerer.press("OK");
        Rvka5630Debug window(moduleThread, nullptr);
        window.start();
        waitForModuleWork(&moduleThread, 120000);
        QSignalSpy disconnects(&window, &Rvka5630Debug::debugDisconnectDevice);
        module->transcript().clear();
        time().clearRequests();
        switch (procedure) {
        case Procedure::VdcCurr:
            window.check_vdcCurr(path);
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Procedure::VacCurr:
            window.check_vacCurr(path);
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Procedure::IdcN:
            window.check_idcN(path);
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Procedure::Iac:
            window.check_iac(path);
            waitForModuleWork(&moduleThread, 120000);
            break;
        }
        answerer.waitUntilAnswered();
        [&] { QCOMPARE(disconnects.count(), 0); }();
        // The release lines have been written; let them reach the instruments.
        if (!expectMessage) {
            received(meter, "SYST:LOC\n");
            received(load, "SYST:LOCK OFF\n");
        }
        QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
        return answerer.shown();
    }

    static bool received(SimSerialInstrument *instrument, const QByteArray &line)
    {
        return instrument->transcript().waitFor([&](const QByteArray &m) { return m == line; },
                                                2000);
    }

    // Meter readings exactly as the output is: no noise, no floor.
    void quietMeter()
    {
        SimMultimeterModel::Noise none;
        none.voltageFloor = none.voltageRelative = none.currentFloor = none.currentRelative = 0;
        none.acVoltageFloor = none.acCurrentFloor = 0;
        meter->model().setNoise(none);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(dir.isValid());
        module = lan.addBenchModule(moduleAddress);
        QVERIFY(module);
        model = lan.rvka5630(moduleAddress);
        meter = lan.bench().multimeter();
        load = lan.bench().load();
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(session.open(rm, SimBench::resourceName(moduleAddress), 1000), VI_SUCCESS);
    }

    void init()
    {
        time().setSpeedup(speedup);
        time().setWallClock(QDateTime(QDate(2026, 12, 6), QTime(9, 30)));
        model->execute("*RST\n");
        model->setImperfections(OutputImperfections());
        meter->model().setNoise(SimMultimeterModel::Noise());
        for (SimSerialInstrument *instrument : {static_cast<SimSerialInstrument *>(meter),
                                                static_cast<SimSerialInstrument *>(load)}) {
            instrument->clearFaults();
            instrument->transcript().clear();
        }
        lan.publishSerialPorts();
    }

    void cleanupTestCase()
    {
        time().setSpeedup(1.0);
        time().resetWallClock();
        session.close();
        viClose(rm);
    }

    void rampEnds_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QVector<QByteArray>>("sent");

        QTest::newRow("up to 0.5 A: the target alone")
            << "up" << 0.0 << 0.5 << QVector<QByteArray>{"CURR 0.5\n"};
        QTest::newRow("up to 0.3 A") << "up" << 0.0 << 0.3 << QVector<QByteArray>{"CURR 0.3\n"};
        QTest::newRow("up to 1.2 A")
            << "up" << 0.0 << 1.2 << QVector<QByteArray>{"CURR 0.5\n", "CURR 1\n", "CURR 1.2\n"};
        // A step that lands on the target is sent, and the target after it.
        QTest::newRow("down to a whole step")
            << "current" << 2.0 << 1.0
            << QVector<QByteArray>{"CURR 2\n", "CURR 1.5\n", "CURR 1\n", "CURR 1\n"};
        QTest::newRow("current upwards")
            << "current" << 0.4 << 1.5
            << QVector<QByteArray>{"CURR 0.4\n", "CURR 0.9\n", "CURR 1.4\n", "CURR 1.5\n"};
        QTest::newRow("resistance upwards")
            << "resistance" << 1.6 << 3.0
            << QVector<QByteArray>{"RES 1.6\n", "RES 2.6\n", "RES 3\n"};
    }

    void rampEnds()
    {
        QFETCH(QString, rule);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QVector<QByteArray>, sent);
        const LoadRamp ramp = rule == "up"        ? LoadRamp::currentUp(to, 0)
                              : rule == "current" ? LoadRamp::current(from, to)
                                                  : LoadRamp::resistance(from, to);
        QCOMPARE(ramp.lines(), sent);
    }

    // The droop is chosen so that the second point's output falls by exactly 3.2 mV between
    // 0.4 A and 4.5 A, on the meter's 10 µV resolution at 80 V.
    void voltageInstability()
    {
        OutputImperfections exact;
        exact.voltageGain = 0;
        exact.voltageOffset = 0;
        exact.droopPerAmp = 0.0032 / 4.1;
        model->setImperfections(exact);
        quietMeter();
        const QString path = dir.filePath("vdcCurr.html");
        QVERIFY(run(Procedure::VdcCurr, path).isEmpty());

        QVector<QByteArray> sent = {"*RST\n", "OVPOWER 1\n"};
        QVector<QByteArray> loadLines = loadOpening;
        QVector<int> pauses = {1000, 500, 500, 500, 100, 100};
        struct Point
        {
            const char *volts, *amps;
            double ohms, initial, final;
        };
        for (const Point &p : {Point{"30", "12.2", 2, 12.0, 1.2}, Point{"80", "5", 15, 4.5, 0.4}}) {
            sent << "VOLT " + QByteArray::number(QByteArray(p.volts).toDouble(), 'f', 6) + '\n'
                 << "CURR " + QByteArray::number(QByteArray(p.amps).toDouble(), 'f', 6) + '\n'
                 << "OUTP 1\n"
                 << "OUTP 0\n";
            const QVector<double> up = range(0.5, p.initial - 0.5, 0.5);
            const QVector<double> down = range(p.initial, p.final, -0.5);
            loadLines << QString("RES %1\n").arg(p.ohms).toLatin1() << "CURR 0.1\n"
                      << "INP 1\n";
            loadLines += lines("CURR %1\n",
                               up + QVector<double>{p.initial} + down + QVector<double>{p.final});
            loadLines << "INP 0\n";
            pauses << 100 << 100 << 500 << 500 << 500 << 100 << 1000;
            pauses += QVector<int>(up.size(), 500);
            pauses << 5000 << 1000 << 1000 << 1000;
            pauses += QVector<int>(down.size(), 500);
            pauses << 1000 << 1000 << 1000 << 1000 << 100 << 500 << 1000;
        }
        sent << "*RST\n"
             << "*IDN?\n";
        loadLines << "SYST:LOCK OFF\n";
        pauses << 100 << 100;
        QCOMPARE(module->transcript().messages(), sent);
        QCOMPARE(load->transcript().messages(), loadLines);
        QCOMPARE(time().requested(TimeFacility::Kind::Pause), pauses);
        QVector<QByteArray> meterLines = {"SYST:REM\n", "CONF:AUTO ON\n"};
        meterLines += QVector<QByteArray>(1 + 12, "MEAS:VOLT:DC?\n");
        meterLines << "SYST:LOC\n";
        QCOMPARE(meter->transcript().messages(), meterLines);

        QCOMPARE(
            ProtocolFile::read(path),
            protocol(
                QStringLiteral("<thead>Определение нестабильности выходного напряжения "
                               "при изменении постоянного тока<br>"),
                QStringLiteral("<td>Точка<br>поверки</td><td>Устанавливаемое<br>значение<br>"
                               "выходного<br>напряжения<br>(B)</td><td>Устанавливаемое<br>значение<"
                               "br>ограничения<br>выходного<br>тока<br>(А)</td><td>Начальное<br>"
                               "значение<br>тока<br>нагрузки<br>(А)</td><td>Конечное<br>значение<"
                               "br>тока<br>нагрузки<br>(А)</td><td>Измеренное<br>значение<br>"
                               "нестабильности<br>напряжения<br>(мB)</td><td>Пределы<br>"
                               "допускаемой<br>нестабильности<br>напряжения<br>(мB)</td><td>"
                               "Результат<br>поверки<br>точки</td>"),
                {ProtocolFile::row({"1", "30", "12.2", "12", "1.2", "-8.43", "16", "норма"}),
                 ProtocolFile::row({"2", "80", "5", "4.5", "0.4", "-3.2", "5", "норма"})}));
    }

    void voltageRipple()
    {
        quietMeter();
        const QString path = dir.filePath("vacCurr.html");
        QVERIFY(run(Procedure::VacCurr, path).isEmpty());

        QVector<QByteArray> loadLines = loadOpening;
        loadLines += QVector<QByteArray>{"RES 2\n", "CURR 0.1\n", "INP 1\n"} +
                     lines("CURR %1\n", range(0.5, 10, 0.5)) + QVector<QByteArray>{"INP 0\n"};
        loadLines += QVector<QByteArray>{"RES 15\n", "CURR 0.1\n", "INP 1\n"} +
                     lines("CURR %1\n", range(0.5, 4, 0.5)) + QVector<QByteArray>{"INP 0\n"};
        loadLines << "SYST:LOCK OFF\n";
        QCOMPARE(load->transcript().messages(), loadLines);
        QCOMPARE(module->transcript().messages(),
                 QVector<QByteArray>({"*RST\n", "VOLT 30.000000\n", "CURR 12.000000\n", "OUTP 1\n",
                                      "OUTP 0\n", "VOLT 80.000000\n", "CURR 4.500000\n", "OUTP 1\n",
                                      "OUTP 0\n", "*RST\n", "*IDN?\n"}));
        QVector<QByteArray> meterLines = {"SYST:REM\n", "CONF:AUTO ON\n"};
        meterLines += QVector<QByteArray>(1 + 6, "MEAS:VOLT:AC? 100e-3,DEF\n");
        meterLines << "SYST:LOC\n";
        QCOMPARE(meter->transcript().messages(), meterLines);

        // 2 mV + 0.3 mV/A at 10 A and at 4 A.
        QCOMPARE(ProtocolFile::read(path),
                 protocol(QStringLiteral("<thead>Определение уровня пульсаций выходного напряжения "
                                         "при постоянном токе<br>"),
                          QStringLiteral(
                              "<td>Точка<br>поверки</td><td>Устанавливаемое<br>значение<br>"
                              "выходного<br>напряжения<br>(B)</td><td>Устанавливаемое<br>значение<"
                              "br>ограничения<br>выходного<br>тока<br>(А)</td><td>Значение<br>"
                              "тока<br>нагрузки<br>(А)</td><td>Измеренное<br>значение<br>пульсаций"
                              "<br>напряжения<br>(мB)</td><td>Пределы<br>допускаемых<br>пульсаций<"
                              "br>напряжения<br>(мB)</td><td>Результат<br>поверки<br>точки</td>"),
                          {ProtocolFile::row({"1", "30", "12", "10", "5", "18", "норма"}),
                           ProtocolFile::row({"2", "80", "4.5", "4", "3.2", "10", "норма"})}));
    }

    // I1 and I2 read 4.5000049 A and 4.4900051 A: the instability is taken from the texts
    // the protocol shows for them, 4.5 and 4.49001, not from the unrounded means.
    void currentInstability()
    {
        QVector<QByteArray> replies = {QByteArray()}; // the priming query's
        replies += QVector<QByteArray>(3, "+4.5000049E+00\n");
        replies += QVector<QByteArray>(3, "+4.4900051E+00\n");
        meter->setScriptedReplies(replies);
        const QString path = dir.filePath("idcN.html");
        QVERIFY(run(Procedure::IdcN, path).isEmpty());

        QVector<QByteArray> loadLines = loadOpening;
        loadLines += QVector<QByteArray>{"CURR 0.1\n", "RES 15\n", "INP 1\n"} +
                     lines("CURR %1\n", range(0.5, 4.5, 0.5) + QVector<double>{4.6}) +
                     lines("RES %1\n", range(15, 2, -1) + QVector<double>{1.6});
        loadLines << "INP 0\n"
                  << "SYST:LOCK OFF\n";
        QCOMPARE(load->transcript().messages(), loadLines);
        QCOMPARE(module->transcript().messages(),
                 QVector<QByteArray>({"*RST\n", "VOLT 80.000000\n", "CURR 4.500000\n", "OUTP 1\n",
                                      "OUTP 0\n", "*RST\n", "*IDN?\n"}));
        QVector<int> pauses = {1000, 500, 500, 500, 100, 100, 100, 500, 500, 500, 100};
        pauses += QVector<int>(10, 500);
        pauses << 5000 << 1000 << 1000 << 1000;
        pauses += QVector<int>(14, 250);
        pauses << 500 << 1000 << 1000 << 1000 << 100 << 500 << 1000 << 100 << 100;
        QCOMPARE(time().requested(TimeFacility::Kind::Pause), pauses);

        QCOMPARE(
            ProtocolFile::read(path),
            protocol(
                QStringLiteral("<thead>Определение нестабильности выходного тока при "
                               "изменении выходного напряжения<br>"),
                QStringLiteral("<td>Точка<br>поверки</td><td>Устанавливаемое<br>значение<br>"
                               "выходного<br>тока<br>(A)</td><td>Начальное<br>значение<br>тока<br>"
                               "(А)</td><td>Конечное<br>значение<br>тока<br>(А)</td><td>Измеренное<"
                               "br>значение<br>нестабильности<br>тока<br>(мА)</td><td>Допустимое<"
                               "br>значение<br>нестабильности<br>тока<br>(мА)</td><td>Результат<br>"
                               "поверки<br>точки</td>"),
                {ProtocolFile::row({"1", "4.5", "4.5", "4.49001", "9.99", "±10", "норма"})}));
    }

    void currentRipple_data()
    {
        QTest::addColumn<QByteArray>("reading");
        QTest::addColumn<QVector<QByteArray>>("replies"); // the priming reply's first
        QTest::addColumn<int>("dripMs");
        QTest::addColumn<QString>("ripple");
        QTest::addColumn<QString>("verdict");

        const QVector<QByteArray> asRead;
        QTest::newRow("just inside") << QByteArray("+1.990000E-02\n") << asRead << 0 << "19.9"
                                     << "норма";
        QTest::newRow("equal to the limit") << QByteArray("+2.000000E-02\n") << asRead << 0 << "20"
                                            << "не норма";
        // A true ripple of 25 mA is not averaged down below the limit by a reading of nothing.
        QTest::newRow("one reading of three garbled")
            << QByteArray("+2.500000E-02\n")
            << QVector<QByteArray>{QByteArray(), QByteArray(), "OVLD\n"} << 0 << "25"
            << "не норма";
        QTest::newRow("all three garbled") << QByteArray("OVLD\n") << asRead << 0 << ""
                                           << "не норма";
        // Replies that come a byte every half second are cut off, and count as no reading.
        QTest::newRow("every reply dripping")
            << QByteArray("+1.990000E-02\n") << asRead << 500 << ""
            << "не норма";
    }

    void currentRipple()
    {
        QFETCH(QByteArray, reading);
        QFETCH(QVector<QByteArray>, replies);
        QFETCH(int, dripMs);
        QFETCH(QString, ripple);
        QFETCH(QString, verdict);
        meter->setReplyOverride(reading);
        meter->setScriptedReplies(replies);
        if (dripMs > 0)
            meter->setSplitReply(reading.size(), dripMs);
        const QString path = dir.filePath("iac.html");
        QVERIFY(run(Procedure::Iac, path).isEmpty());

        const QVector<QByteArray> loadLines =
            loadOpening +
            QVector<QByteArray>({"CURR 2\n", "RES 15\n", "INP 1\n", "INP 0\n", "SYST:LOCK OFF\n"});
        QCOMPARE(load->transcript().messages(), loadLines);
        QCOMPARE(module->transcript().messages(),
                 QVector<QByteArray>({"*RST\n", "VOLT 31.000000\n", "CURR 1.000000\n", "OUTP 1\n",
                                      "OUTP 0\n", "*RST\n", "*IDN?\n"}));
        QVector<QByteArray> meterLines = {"SYST:REM\n", "CONF:AUTO OFF\n",
                                          "CONF:CURR:AC MAX,DEF\n"};
        meterLines += QVector<QByteArray>(1 + 3, "MEAS:CURR:AC? MAX,DEF\n");
        meterLines << "SYST:LOC\n";
        QCOMPARE(meter->transcript().messages(), meterLines);
        QCOMPARE(time().requested(TimeFacility::Kind::Pause),
                 QVector<int>({1000, 500,  500,  500,  100,  100, 100, 500,  500, 500, 100,
                               500,  5000, 1000, 1000, 1000, 100, 500, 1000, 100, 100}));

        QCOMPARE(ProtocolFile::read(path),
                 protocol(QStringLiteral("<thead>Определение уровня пульсаций выходного тока<br>"),
                          QStringLiteral(
                              "<td>Точка<br>поверки</td><td>Устанавливаемое<br>значение<br>"
                              "выходного<br>тока<br>(A)</td><td>Измеренное<br>значение<br>"
                              "пульсаций<br>тока<br>(мА)</td><td>Максимальное<br>допустимое<br>"
                              "значение<br>пульсаций<br>тока<br>(мА)</td><td>Результат<br>поверки<"
                              "br>точки</td>"),
                          {ProtocolFile::row({"1", "1", ripple, "±20", verdict})}));
    }

    void loadAbsent_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::newRow("voltage instability") << Procedure::VdcCurr;
        QTest::newRow("voltage ripple") << Procedure::VacCurr;
        QTest::newRow("current instability") << Procedure::IdcN;
        QTest::newRow("current ripple") << Procedure::Iac;
    }

    void loadAbsent()
    {
        QFETCH(Procedure, procedure);
        qputenv("VOLTADESK_SERIAL_PORTS", meter->portEntry().toUtf8());
        const QVector<DialogAnswerer::Shown> shown =
            run(procedure, dir.filePath("absent.html"), true);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text,
                 QStringLiteral("Поверка: не удалось обнаружить доп. оборудование!"));
        QVERIFY(module->transcript().messages().isEmpty());
        QCOMPARE(ProtocolFile::read(dir.filePath("absent.html")), QByteArray());
    }

    // A link that breaks while the load draws 12 A at 30 V: the module output and the load
    // input are switched off, over the links that still work, before the instruments go.
    void brokenLinkLeavesTheBenchOff_data()
    {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<QString>("message");
        QTest::newRow("meter, during the measurements")
            << "meter" << QStringLiteral("Поверка: связь с мультиметром разорвана!");
        QTest::newRow("load, during a ramp")
            << "load" << QStringLiteral("Поверка: связь с нагрузкой электронной разорвана!");
    }

    void brokenLinkLeavesTheBenchOff()
    {
        QFETCH(QString, broken);
        QFETCH(QString, message);
        // The meter is lost at the third reading of V1; the load after its opening, its settings
        // and the ramp's steps up to 2 A.
        if (broken == "meter")
            meter->setStallAfter(5);
        else
            load->setStallAfter(10);
        const QString path = dir.filePath("broken.html");
        const QVector<DialogAnswerer::Shown> shown = run(Procedure::VdcCurr, path, true);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, message);
        QCOMPARE(module->transcript().messages(),
                 QVector<QByteArray>({"*RST\n", "OVPOWER 1\n", "VOLT 30.000000\n",
                                      "CURR 12.200000\n", "OUTP 1\n", "OUTP 0\n"}));
        QVERIFY(!model->outputOn());
        if (broken == "meter") {
            QVERIFY(received(load, "SYST:LOCK OFF\n"));
            const QVector<QByteArray> loadLines = load->transcript().messages();
            QCOMPARE(loadLines.mid(loadLines.size() - 3),
                     QVector<QByteArray>({"CURR 12\n", "INP 0\n", "SYST:LOCK OFF\n"}));
            QVERIFY(!load->model().inputOn());
        }
        QCOMPARE(ProtocolFile::read(path), QByteArray());
    }
};

QTEST_MAIN(TestStabilityVerification)
#include "tst_stabilityverification.moc"
