// ctest-timeout: 180
// The bench's auxiliary instruments on serial lines against the simulated multimeter and
// electronic load on pseudo-terminals: recognition, the line exchange and its time-outs, the
// opening and release sequences, the scenario's port search, the shared output physics and
// the pause that scenarios wait with.
#include "benchinstruments.h"
#include "benchports.h"
#include "delayms.h"
#include "eventloopgaps.h"
#include "rvka5630model.h"
#include "serialline.h"
#include "simlan.h"
#include "timefacility.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QtTest>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.2");
// Serial waits in these tests run ten times faster than on the bench.
constexpr double speedup = 10.0;

using Outcome = BenchInstruments::Outcome;

QVector<QByteArray> lines(std::initializer_list<const char *> texts)
{
    QVector<QByteArray> result;
    for (const char *text : texts)
        result.append(text);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(BenchInstruments::Outcome)
Q_DECLARE_METATYPE(SerialReading::Outcome)

class TestSerialBench : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    Rvka5630Model *model = nullptr;
    SimSerialMultimeter *meter = nullptr;
    SimSerialMultimeter *spareMeter = nullptr;
    SimSerialLoad *load = nullptr;

    TimeFacility &time() { return TimeFacility::instance(); }

    static bool openLine(QSerialPort &port, SimSerialInstrument *instrument)
    {
        port.setPortName(instrument->path());
        return openSerialLine(port);
    }

    // Waits until the instrument has acted on line for the occurrence-th time.
    static bool received(SimSerialInstrument *instrument, const QByteArray &line,
                         int occurrence = 1)
    {
        int seen = 0;
        return instrument->transcript().waitFor(
            [&](const QByteArray &m) { return m == line && ++seen == occurrence; }, 5000);
    }

    void publish(const QVector<SimSerialInstrument *> &instruments)
    {
        QStringList entries;
        for (SimSerialInstrument *instrument : instruments)
            entries << instrument->portEntry();
        qputenv("VOLTADESK_SERIAL_PORTS", entries.join(QLatin1Char(';')).toUtf8());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(lan.addRvka5630(moduleAddress));
        model = lan.rvka5630(moduleAddress);
        meter = lan.addMultimeter(moduleAddress);
        load = lan.addLoad(moduleAddress);
        spareMeter = lan.addMultimeter(moduleAddress);
        QVERIFY(meter && load && spareMeter);
    }

    void init()
    {
        time().setSpeedup(speedup);
        time().clearRequests();
        model->execute("*RST\n");
        for (SimSerialInstrument *instrument : {static_cast<SimSerialInstrument *>(meter),
                                                static_cast<SimSerialInstrument *>(spareMeter),
                                                static_cast<SimSerialInstrument *>(load)}) {
            instrument->clearFaults();
            instrument->transcript().clear();
        }
        publish({meter, load});
    }

    void cleanupTestCase() { time().setSpeedup(1.0); }

    void recognitionRules_data()
    {
        QTest::addColumn<QString>("manufacturer");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("multimeter");
        QTest::addColumn<bool>("load");

        QTest::newRow("GDM meter") << "GWinstek"
                                   << "GDM8341" << true << false;
        QTest::newRow("maker in lower case") << "gwinstek"
                                             << "GDM8341" << false << false;
        QTest::newRow("description without GDM") << "GWinstek"
                                                 << "Multimeter" << false << false;
        QTest::newRow("EL 9000 load") << "EA Elektro-Automatik GmbH & Co. KG"
                                      << "EL 9000 B" << false << true;
        QTest::newRow("EA supply, not a load") << "EA Elektro-Automatik GmbH & Co. KG"
                                               << "PSI 9000" << false << false;
        QTest::newRow("maker without & Co.") << "EA Elektro-Automatik GmbH"
                                             << "EL 9000 B" << false << false;
    }

    void recognitionRules()
    {
        QFETCH(QString, manufacturer);
        QFETCH(QString, description);
        QFETCH(bool, multimeter);
        QFETCH(bool, load);
        const BenchPort port{QStringLiteral("/dev/ttyACM0"), manufacturer, description};
        QCOMPARE(BenchPorts::recognises(BenchInstrument::Multimeter, port), multimeter);
        QCOMPARE(BenchPorts::recognises(BenchInstrument::Load, port), load);
    }

    void describedPortsFollowTheSystemPorts()
    {
        const QVector<BenchPort> ports =
            BenchPorts::described(QStringLiteral("/dev/a|GWinstek|GDM8341;;/dev/b;|X|Y;/dev/c|M"));
        QCOMPARE(ports.size(), 3);
        QCOMPARE(ports[0].location, QStringLiteral("/dev/a"));
        QCOMPARE(ports[0].manufacturer, QStringLiteral("GWinstek"));
        QCOMPARE(ports[0].description, QStringLiteral("GDM8341"));
        QCOMPARE(ports[1].location, QStringLiteral("/dev/b"));
        QVERIFY(ports[1].manufacturer.isEmpty() && ports[1].description.isEmpty());
        QCOMPARE(ports[2].manufacturer, QStringLiteral("M"));

        publish({load, meter});
        const QVector<BenchPort> all = BenchPorts::available();
        QVERIFY(all.size() >= 2);
        QCOMPARE(all[all.size() - 2].location, load->path());
        QCOMPARE(all.last().location, meter->path());
        QCOMPARE(all.last().manufacturer, QStringLiteral("GWinstek"));
    }

    void queryReadsTheWholeReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<SerialReading::Outcome>("outcome");
        QTest::addColumn<double>("value");

        const auto value = SerialReading::Outcome::Value;
        const auto garbled = SerialReading::Outcome::Garbled;
        const auto unfinished = SerialReading::Outcome::Unfinished;
        QTest::newRow("exponent and line end")
            << QByteArray("+1.234567E+01\n") << 1 << 0 << value << 12.34567;
        QTest::newRow("three pieces")
            << QByteArray("+1.234567E+01\n") << 3 << 300 << value << 12.34567;
        QTest::newRow("pieces most of a second apart")
            << QByteArray("-8.0012E+01\r\n") << 2 << 600 << value << -80.012;
        QTest::newRow("ends at NUL")
            << QByteArray("+1.5E+00\n\0+9.9E+00\n", 19) << 1 << 0 << value << 1.5;
        QTest::newRow("white space around") << QByteArray("  2.5 \r\n") << 1 << 0 << value << 2.5;
        // A reply that is not a number is no reading at all, never a reading of 0.
        QTest::newRow("overload") << QByteArray("OVLD\n") << 1 << 0 << garbled << 0.0;
        QTest::newRow("empty line") << QByteArray("\r\n") << 1 << 0 << garbled << 0.0;
        QTest::newRow("cut by a NUL") << QByteArray("\0+1.5E+00\n", 10) << 1 << 0 << garbled << 0.0;
        // A line that never goes quiet is given up on 5 s after its first byte.
        QTest::newRow("a byte every half second")
            << QByteArray("+1.234567E+01\n") << 14 << 500 << unfinished << 0.0;
        QTest::newRow("continuous output") << QByteArray(79, '1') + '\n'
                                           << 80 << 100 << unfinished << 0.0;
    }

    void queryReadsTheWholeReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, pieces);
        QFETCH(int, gapMs);
        QFETCH(SerialReading::Outcome, outcome);
        QFETCH(double, value);
        // Gaps of up to 600 ms against a quiet time of 1000 ms need some real headroom.
        time().setSpeedup(4.0);
        meter->setReplyOverride(reply);
        meter->setSplitReply(pieces, gapMs);
        QSerialPort port;
        QVERIFY(openLine(port, meter));
        const qint64 start = time().elapsedMs();
        const SerialReading reading = serialQuery(port, "MEAS:VOLT:DC?\n");
        const qint64 lasted = time().elapsedMs() - start;
        QCOMPARE(reading.outcome, outcome);
        QCOMPARE(reading.value, value);
        QCOMPARE(meter->transcript().messages(), lines({"MEAS:VOLT:DC?\n"}));
        if (outcome == SerialReading::Outcome::Unfinished)
            QVERIFY2(lasted >= 5000 && lasted < 8000, qPrintable(QString::number(lasted)));
    }

    void serialWaitsAndTheirOutcomes()
    {
        QSerialPort port;
        QVERIFY(openLine(port, meter));

        QCOMPARE(serialQuery(port, "MEAS:VOLT:DC?\n").outcome, SerialReading::Outcome::Value);
        QCOMPARE(time().requested(TimeFacility::Kind::Timeout), QVector<int>({1000, 10000, 1000}));

        time().clearRequests();
        meter->setMute(true);
        const SerialReading silent = serialQuery(port, "MEAS:VOLT:DC?\n");
        QCOMPARE(silent.outcome, SerialReading::Outcome::NoReply);
        QCOMPARE(silent.value, 0.0);
        QCOMPARE(time().requested(TimeFacility::Kind::Timeout), QVector<int>({1000, 10000}));

        time().clearRequests();
        meter->setMute(false);
        meter->setStalled(true);
        QCOMPARE(serialCommand(port, "SYST:REM\n"), SerialWrite::LinkBroken);
        QCOMPARE(time().requested(TimeFacility::Kind::Timeout), QVector<int>({1000}));
        port.close();
        QVERIFY(openLine(port, meter));
        QCOMPARE(serialQuery(port, "MEAS:VOLT:DC?\n").outcome, SerialReading::Outcome::LinkBroken);
        port.close();
        QCOMPARE(serialCommand(port, "SYST:REM\n"), SerialWrite::LinkBroken);
        QCOMPARE(meter->transcript().count("SYST:REM"), 0);
    }

    // Every serial wait processes events: a timer of the window keeps ticking through a silent
    // meter's 10 s, the quiet second that ends a reply and a write that never leaves, and the
    // wait counts as a nested event loop, so no panel is deleted under it.
    void serialWaitsKeepTheWindowAlive_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("waitedMs"); // program time the call must take at least
        QTest::newRow("silent meter") << "mute" << 10000;
        QTest::newRow("quiet second after the reply") << "" << 1000;
        QTest::newRow("write that never leaves") << "stalled" << 1000;
    }
    void serialWaitsKeepTheWindowAlive()
    {
        QFETCH(QString, fault);
        QFETCH(int, waitedMs);
        // Slow enough that a wait blocking the thread (500 ms at the least) stands out against
        // the ticks, even when a loaded machine delays a tick now and then.
        time().setSpeedup(2.0);
        meter->setMute(fault == "mute");
        meter->setStalled(fault == "stalled");
        QSerialPort port;
        QVERIFY(openLine(port, meter));

        EventLoopGaps gaps;
        int nestedTicks = 0;
        connect(&gaps.ticker(), &QTimer::timeout, [&] { nestedTicks += time().pausing() ? 1 : 0; });
        const qint64 start = time().elapsedMs();
        const SerialReading reading = serialQuery(port, "MEAS:VOLT:DC?\n");
        const qint64 lasted = time().elapsedMs() - start;
        gaps.stop();

        QCOMPARE(reading.outcome, fault == "mute"      ? SerialReading::Outcome::NoReply
                                  : fault == "stalled" ? SerialReading::Outcome::LinkBroken
                                                       : SerialReading::Outcome::Value);
        QVERIFY2(lasted >= waitedMs, qPrintable(QString::number(lasted)));
        QVERIFY2(gaps.longestMs() < 250, qPrintable(QString::number(gaps.longestMs())));
        QVERIFY(nestedTicks > 0);
    }

    void lateReplyIsNotTakenForTheNextOne()
    {
        QSerialPort port;
        QVERIFY(openLine(port, meter));
        meter->setReplyOverride("+1.0E+00\n");
        meter->setReplyDelayMs(11000);
        QCOMPARE(serialQuery(port, "MEAS:VOLT:DC?\n").outcome, SerialReading::Outcome::NoReply);
        meter->setReplyDelayMs(0);
        meter->setReplyOverride("+2.0E+00\n");
        QTest::qWait(time().toReal(2000)); // the late reply is now waiting on the line
        const SerialReading next = serialQuery(port, "MEAS:VOLT:DC?\n");
        QCOMPARE(next.outcome, SerialReading::Outcome::Value);
        QCOMPARE(next.value, 2.0);
    }

    void multimeterOpensAndReleases_data()
    {
        QTest::addColumn<int>("configuration");
        QTest::addColumn<QVector<QByteArray>>("sent");
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<bool>("autoRange");

        QTest::newRow("direct voltage")
            << 0 << lines({"SYST:REM\n", "CONF:AUTO ON\n", "MEAS:VOLT:DC?\n"})
            << QByteArray("VOLT:DC") << true;
        QTest::newRow("voltage ripple")
            << 1 << lines({"SYST:REM\n", "CONF:AUTO ON\n", "MEAS:VOLT:AC? 100e-3,DEF\n"})
            << QByteArray("VOLT:AC") << true;
        QTest::newRow("direct current")
            << 2
            << lines({"SYST:REM\n", "CONF:AUTO OFF\n", "CONF:CURR:DC MAX,DEF\n",
                      "MEAS:CURR:DC? MAX,DEF\n"})
            << QByteArray("CURR:DC") << false;
        QTest::newRow("current ripple")
            << 3
            << lines({"SYST:REM\n", "CONF:AUTO OFF\n", "CONF:CURR:AC MAX,DEF\n",
                      "MEAS:CURR:AC? MAX,DEF\n"})
            << QByteArray("CURR:AC") << false;
    }

    void multimeterOpensAndReleases()
    {
        QFETCH(int, configuration);
        QFETCH(QVector<QByteArray>, sent);
        QFETCH(QByteArray, function);
        QFETCH(bool, autoRange);
        const MultimeterConfiguration configurations[] = {
            MultimeterConfiguration::dcVoltage(), MultimeterConfiguration::acVoltage(),
            MultimeterConfiguration::dcCurrent(), MultimeterConfiguration::acCurrent()};

        QSerialPort port;
        port.setPortName(meter->path());
        QCOMPARE(openMultimeter(port, configurations[configuration]), InstrumentOpen::Ready);
        QCOMPARE(meter->transcript().messages(), sent);
        QVERIFY(meter->model().isRemote());
        QCOMPARE(meter->model().function(), function);
        QCOMPARE(meter->model().autoRange(), autoRange);
        QCOMPARE(time().requested(TimeFacility::Kind::Pause), QVector<int>{1000});

        releaseMultimeter(port);
        QVERIFY(!port.isOpen());
        QVERIFY(received(meter, "SYST:LOC\n"));
        QVERIFY(!meter->model().isRemote());
        releaseMultimeter(port); // a closed port sends nothing
        QCOMPARE(meter->transcript().count("SYST:LOC"), 1);
    }

    void loadOpensAndReleases()
    {
        QSerialPort port;
        port.setPortName(load->path());
        QCOMPARE(openLoad(port), InstrumentOpen::Ready);
        QVERIFY(received(load, "VOLT 0\n"));
        QCOMPARE(load->transcript().messages(), lines({"SYST:LOCK ON\n", "INP 0\n", "VOLT 0\n"}));
        QCOMPARE(time().requested(TimeFacility::Kind::Pause), QVector<int>({500, 500, 500}));
        QVERIFY(load->model().isLocked());
        releaseLoad(port);
        QVERIFY(!port.isOpen());
        QVERIFY(received(load, "SYST:LOCK OFF\n"));
        QVERIFY(!load->model().isLocked());
    }

    void search_data()
    {
        QTest::addColumn<QString>("ports");
        QTest::addColumn<bool>("useLoad");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Outcome>("outcome");

        QTest::newRow("meter, no load wanted") << "meter" << false << "" << Outcome::Ready;
        QTest::newRow("meter and load") << "meter load" << true << "" << Outcome::Ready;
        QTest::newRow("no ports at all") << "" << false << "" << Outcome::Missing;
        QTest::newRow("load missing") << "meter" << true << "" << Outcome::Missing;
        QTest::newRow("meter missing") << "load" << true << "" << Outcome::Missing;
        QTest::newRow("meter held")
            << "meter load" << true << "meter held" << Outcome::MultimeterCannotOpen;
        QTest::newRow("meter not accepting writes")
            << "meter load" << true << "meter stalled" << Outcome::MultimeterLinkBroken;
        QTest::newRow("load held")
            << "meter load" << true << "load held" << Outcome::LoadCannotOpen;
        QTest::newRow("load not accepting writes")
            << "meter load" << true << "load stalled" << Outcome::LoadLinkBroken;
        QTest::newRow("load held but not wanted")
            << "meter load" << false << "load held" << Outcome::Ready;
        QTest::newRow("spare meter passed over")
            << "meter spare load" << true << "" << Outcome::Ready;
    }

    void search()
    {
        QFETCH(QString, ports);
        QFETCH(bool, useLoad);
        QFETCH(QString, fault);
        QFETCH(Outcome, outcome);

        meter->setLowerCaseMaker(fault == "lower-case maker");
        meter->setHeldOpen(fault == "meter held");
        meter->setStalled(fault == "meter stalled");
        load->setHeldOpen(fault == "load held");
        load->setStalled(fault == "load stalled");
        QVector<SimSerialInstrument *> listed;
        for (const QString &name : ports.split(' ', Qt::SkipEmptyParts))
            listed << (name == "meter"   ? static_cast<SimSerialInstrument *>(meter)
                       : name == "spare" ? static_cast<SimSerialInstrument *>(spareMeter)
                                         : static_cast<SimSerialInstrument *>(load));
        publish(listed);

        BenchInstruments instruments;
        QCOMPARE(instruments.search(MultimeterConfiguration::dcVoltage(), useLoad), outcome);
        const bool meterOpen = instruments.multimeter().isOpen();
        instruments.release();
        QVERIFY(!instruments.multimeter().isOpen() && !instruments.load().isOpen());

        if (outcome == Outcome::Ready) {
            QVERIFY(meterOpen);
            QVERIFY(received(meter, "SYST:LOC\n"));
            QCOMPARE(meter->transcript().messages().first(), QByteArray("SYST:REM\n"));
        }
        if (outcome == Outcome::Ready && useLoad) {
            QVERIFY(received(load, "SYST:LOCK OFF\n"));
            QCOMPARE(load->transcript().messages().first(), QByteArray("SYST:LOCK ON\n"));
        }
        if (!useLoad || fault == "load held")
            QCOMPARE(load->transcript().messages(), QVector<QByteArray>());
        QCOMPARE(spareMeter->transcript().messages(), QVector<QByteArray>());
    }

    void loadAndMeterShareTheModuleOutput()
    {
        for (const char *command : {"VOLT 30\n", "CURR 12.2\n", "OUTP 1\n"})
            model->execute(command);
        BenchInstruments instruments;
        QCOMPARE(instruments.search(MultimeterConfiguration::dcCurrent(), true), Outcome::Ready);
        QSerialPort &meterLine = instruments.multimeter();
        QSerialPort &loadLine = instruments.load();
        auto loadSends = [&](const QByteArray &line) {
            const int before = load->transcript().count(line);
            QCOMPARE(serialCommand(loadLine, line), SerialWrite::Written);
            QVERIFY(received(load, line, before + 1));
        };
        auto measured = [&](const QByteArray &query) {
            const SerialReading reading = serialQuery(meterLine, query);
            return reading.outcome == SerialReading::Outcome::Value ? reading.value : -1.0;
        };

        // 30 V over 2 ohm would be 15 A; the load's 12 A cap keeps the module in CV.
        loadSends(loadCommand("RES %1\n", 2));
        loadSends(loadCommand("CURR %1\n", 12));
        loadSends("INP 1\n");
        QVERIFY(qAbs(measured("MEAS:CURR:DC? MAX,DEF\n") - 12.0) < 0.05);
        QCOMPARE(model->outputStateCode(), 1);
        QVERIFY(qAbs(model->execute("MEAS:CURR?\n").data.trimmed().toDouble() - 12.0) < 0.1);

        // A 5 A limit on the module: constant current, 10 V across the 2 ohm.
        model->execute("CURR 5\n");
        QVERIFY(qAbs(measured("MEAS:CURR:DC? MAX,DEF\n") - 5.0) < 0.05);
        QCOMPARE(model->outputStateCode(), 2);
        QVERIFY(qAbs(measured("MEAS:VOLT:DC?\n") - 10.0) < 0.1);
        QVERIFY(measured("MEAS:CURR:AC? MAX,DEF\n") > 0.001);

        loadSends("INP 0\n");
        QVERIFY(qAbs(measured("MEAS:CURR:DC? MAX,DEF\n")) < 0.01);
        QCOMPARE(model->outputStateCode(), 1);
    }

    void loadCommandNumbers_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("RES 2") << QByteArray("RES %1\n") << 2.0 << QByteArray("RES 2\n");
        QTest::newRow("CURR 0.5") << QByteArray("CURR %1\n") << 0.5 << QByteArray("CURR 0.5\n");
        QTest::newRow("CURR 12.2") << QByteArray("CURR %1\n") << 12.2 << QByteArray("CURR 12.2\n");
    }

    void loadCommandNumbers()
    {
        QFETCH(QByteArray, format);
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(loadCommand(format.constData(), value), text);
    }

    void delayAcrossMidnight()
    {
        const QDate lastDay(2024, 12, 31);
        time().setWallClock(QDateTime(lastDay, QTime(23, 59, 59, 600)));
        bool eventsRan = false;
        QTimer::singleShot(time().toReal(300), [&] { eventsRan = true; });
        const qint64 start = time().elapsedMs();
        delayMs(1000);
        const qint64 lasted = time().elapsedMs() - start;
        const QDateTime after = time().currentDateTime();
        time().resetWallClock();

        QVERIFY2(lasted >= 1000 && lasted < 1300, qPrintable(QString::number(lasted)));
        QCOMPARE(after.date(), lastDay.addDays(1));
        QVERIFY(eventsRan);
        QCOMPARE(time().requested(TimeFacility::Kind::Pause), QVector<int>{1000});
    }

    void simulatorProgramPublishesItsSerialInstruments()
    {
        QProcess simulator;
        simulator.start(QStringLiteral(VOLTADESK_BINARY_DIR "sim/rvka5630-sim"),
                        {"--serial", "--address", "127.0.0.5"});
        QVERIFY(simulator.waitForStarted());
        QVERIFY(simulator.waitForReadyRead(10000));
        QByteArray output;
        while (!output.contains("ready\n") && simulator.waitForReadyRead(10000))
            output += simulator.readAll();
        output += simulator.readAll();
        const QList<QByteArray> printed = output.split('\n');
        QVERIFY2(printed.size() >= 2 && printed[0].startsWith("serial-ports ") &&
                     printed[1] == "ready",
                 output.constData());
        qputenv("VOLTADESK_SERIAL_PORTS", printed[0].mid(int(strlen("serial-ports "))));

        const BenchInstruments::Availability found = BenchInstruments::availability();
        simulator.terminate();
        QVERIFY(simulator.waitForFinished(10000));
        QVERIFY(found.multimeter);
        QVERIFY(found.load);
    }
};

QTEST_MAIN(TestSerialBench)
#include "tst_serialbench.moc"
