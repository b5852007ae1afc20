// ctest-timeout: 300
// The range-and-error verifications of output voltage and output current against simulated
// modules with the bench multimeter and electronic load on their serial lines: what each
// instrument is sent, the protocols byte for byte, the judgement of a point, and every way a
// procedure can end early.
#include "dialoganswerer.h"
#include "filepermissionsenforced.h"
#include "modulesession.h"
#include "modulethread.h"
#include "modulework.h"
#include "protocolfile.h"
#include "rangeresults.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "simlan.h"
#include "timefacility.h"

#include <vdvisa_testing.h>
#include <visa.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

const QString physicsAddress = QStringLiteral("127.0.0.2");
const QString scriptedAddress = QStringLiteral("127.0.0.3");
constexpr double speedup = 25.0;

const double voltagePoints[] = {0.1, 1, 5, 10, 20, 30, 40, 50, 60, 70, 80};
const QByteArray earlierProtocol = "an earlier protocol";

QByteArray fixed(double value)
{
    return QByteArray::number(value, 'f', 6);
}

enum class Procedure
{
    Vdc,
    Idc
};

} // namespace

Q_DECLARE_METATYPE(Procedure)

class TestRangeVerification : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    SimModule *physics = nullptr;
    SimModule *scripted = nullptr;
    ScriptedModel *script = nullptr;
    Rvka5630Model *model = nullptr;
    SimSerialMultimeter *meter = nullptr;
    SimSerialLoad *load = nullptr;
    ViSession rm = VI_NULL;
    ModuleThread physicsThread;
    ModuleThread scriptedThread;
    ModuleSession &physicsSession = physicsThread.session();
    ModuleSession &scriptedSession = scriptedThread.session();
    QTemporaryDir dir;

    TimeFacility &time() { return TimeFacility::instance(); }

    void publishInstruments(bool withLoad)
    {
        QStringList entries{meter->portEntry()};
        if (withLoad)
            entries << load->portEntry();
        qputenv("VOLTADESK_SERIAL_PORTS", entries.join(QLatin1Char(';')).toUtf8());
    }

    struct Outcome
    {
        int disconnects = 0;
        QVector<DialogAnswerer::Shown> shown;
        // Whether each instrument had been returned to local control when the message
        // appeared (its line may still be on its way to the instrument, but not unwritten).
        bool meterReleased = false;
        bool loadReleased = false;
    };

    static bool receives(SimSerialInstrument *instrument, const QByteArray &line)
    {
        return instrument->transcript().waitFor([&](const QByteArray &m) { return m == line; },
                                                2000);
    }

    // Runs a procedure from a fresh debug window on session; a message box, if one is
    // expected, is answered with OK once the instruments' transcripts have been noted.
    Outcome run(Procedure procedure, ModuleThread &thread, const QString &path,
                bool expectMessage = false, const std::function<void()> &arm = {},
                bool meterOpened = false, bool loadOpened = false)
    {
        Outcome outcome;
        DialogAnswerer answerer;
        if (expectMessage)
            answerer.press("OK").inspect([&](QDialog *) {
                outcome.meterReleased = meterOpened && receives(meter, "SYST:LOC\n");
                outcome.loadReleased = loadOpened && receives(load, "SYST:LOCK OFF\n");
            });
        {
            Rvka5630Debug window(thread, nullptr);
            window.start();
            waitForModuleWork(&thread, 120000);
            QSignalSpy disconnects(&window, &Rvka5630Debug::debugDisconnectDevice);
            physics->transcript().clear();
            scripted->transcript().clear();
            time().clearRequests();
            if (arm)
                arm();
            if (procedure == Procedure::Vdc)
                window.check_vdc(path);
            else
                window.check_idc(path);
            waitForModuleWork(&thread, 120000);
            answerer.waitUntilAnswered();
            outcome.disconnects = disconnects.count();
            if (!expectMessage) {
                // The release lines have been written; let them reach the instruments.
                receives(meter, "SYST:LOC\n");
                if (procedure == Procedure::Idc)
                    receives(load, "SYST:LOCK OFF\n");
            }
            QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
        }
        outcome.shown = answerer.shown();
        return outcome;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(dir.isValid());
        physics = lan.addRvka5630(physicsAddress);
        scripted = lan.addScripted(scriptedAddress, &script);
        QVERIFY(physics && scripted);
        model = lan.rvka5630(physicsAddress);
        meter = lan.addMultimeter(physicsAddress);
        load = lan.addLoad(physicsAddress);
        QVERIFY(meter && load);
        lan.publish();
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(physicsSession.open(rm, SimBench::resourceName(physicsAddress), 1000), VI_SUCCESS);
        QCOMPARE(scriptedSession.open(rm, SimBench::resourceName(scriptedAddress), 1000),
                 VI_SUCCESS);
    }

    void init()
    {
        time().setSpeedup(speedup);
        time().setWallClock(QDateTime(QDate(2026, 12, 6), QTime(9, 30)));
        vdvisaClearInjections();
        model->execute("*RST\n");
        script->reset();
        script->setIdentity("Korvalis,RVKA5630,0042,1.3");
        // The debug window reads its settable pins and codes back when it is built.
        for (const char *query :
             {"PIN:ADGCTR?\n", "PIN:OUTRELE?\n", "PIN:ULPISTP?\n", "CODE:IBALDACONE?\n",
              "CODE:PWMVALUE?\n", "CODE:PWMP?\n", "CODE:PWMI?\n", "CODE:PWMD?\n"})
            script->setReply(query, "0\n");
        for (SimSerialInstrument *instrument : {static_cast<SimSerialInstrument *>(meter),
                                                static_cast<SimSerialInstrument *>(load)}) {
            instrument->clearFaults();
            instrument->transcript().clear();
        }
        publishInstruments(true);
    }

    void cleanupTestCase()
    {
        time().setSpeedup(1.0);
        time().resetWallClock();
        scriptedSession.close();
        physicsSession.close();
        viClose(rm);
    }

    // With the load absent the voltage procedure runs all the same. The module's identity
    // is escaped in the protocol.
    void voltageProtocol()
    {
        publishInstruments(false);
        script->setIdentity("Korvalis,RVKA5630<b>,0042,1.3");
        script->setReply("MEAS:VOLT?\n", "29.9402\n");
        meter->setReplyOverride("+2.99701E+01\n");
        const QString path = dir.filePath("vdc.html");
        const Outcome outcome = run(Procedure::Vdc, scriptedThread, path);
        QCOMPARE(outcome.disconnects, 0);
        QVERIFY(outcome.shown.isEmpty());

        QVector<QByteArray> sent = {"*RST\n", "VOLT 0.100000\n", "OUTP 1\n"};
        for (double u : voltagePoints)
            sent << "VOLT " + fixed(u) + '\n'
                 << "MEAS:VOLT?\n"
                 << "MEAS:VOLT?\n"
                 << "MEAS:VOLT?\n";
        sent << "*RST\n"
             << "*IDN?\n";
        QCOMPARE(scripted->transcript().messages(), sent);
        QVector<QByteArray> meterLines = {"SYST:REM\n", "CONF:AUTO ON\n"};
        meterLines += QVector<QByteArray>(1 + 33, "MEAS:VOLT:DC?\n");
        meterLines << "SYST:LOC\n";
        QCOMPARE(meter->transcript().messages(), meterLines);
        QVERIFY(load->transcript().messages().isEmpty());
        QVector<int> pauses = {1000, 100, 100, 100};
        for (int i = 0; i < 11; ++i)
            pauses << 100 << 5000 << 100 << 100 << 100 << 1000;
        pauses << 100 << 100;
        QCOMPARE(time().requested(TimeFacility::Kind::Pause), pauses);

        const QString title = QStringLiteral(
            "<thead>Определение диапазона и пределов допускаемой абсолютной погрешности "
            "<br>воспроизведения и измерения выходного напряжения постоянного тока<br><font "
            "size=\"+2\"><b>");
        const QString header = QStringLiteral(
            "<td>Точка<br>поверки</td><td>Устанавливаемое<br>значение<br>выходного<br>напряжения<"
            "br>(B)</td><td>Измеренное<br>значение<br>напряжения<br>(B)</td><td>Значение<br>"
            "напряжения<br>измеренное<br>вольтметром<br>(B)</td><td>Погрешность<br>"
            "воспроизведения<br>напряжения<br>(мB)</td><td>Погрешность<br>измерения<br>"
            "напряжения<br>(мB)</td><td>Пределы<br>допускаемой<br>абсолютной<br>погрешности<br>"
            "воспроизведения<br>и измерения<br>(мB)</td><td>Результат<br>поверки<br>точки</td>");
        // At 30 V both errors stay inside the first band's 30 mV; elsewhere the set-point is
        // far from what the meter reads.
        const QStringList rows = {
            ProtocolFile::row(
                {"1", "0.1", "29.9402", "29.9701", "-29870.1", "-29.9", "±15.05", "не норма"}),
            ProtocolFile::row(
                {"2", "1", "29.9402", "29.9701", "-28970.1", "-29.9", "±15.5", "не норма"}),
            ProtocolFile::row(
                {"3", "5", "29.9402", "29.9701", "-24970.1", "-29.9", "±17.5", "не норма"}),
            ProtocolFile::row(
                {"4", "10", "29.9402", "29.9701", "-19970.1", "-29.9", "±20", "не норма"}),
            ProtocolFile::row(
                {"5", "20", "29.9402", "29.9701", "-9970.1", "-29.9", "±25", "не норма"}),
            ProtocolFile::row({"6", "30", "29.9402", "29.9701", "29.9", "-29.9", "±30", "норма"}),
            ProtocolFile::row(
                {"7", "40", "29.9402", "29.9701", "10029.9", "-29.9", "±60", "не норма"}),
            ProtocolFile::row(
                {"8", "50", "29.9402", "29.9701", "20029.9", "-29.9", "±65", "не норма"}),
            ProtocolFile::row(
                {"9", "60", "29.9402", "29.9701", "30029.9", "-29.9", "±70", "не норма"}),
            ProtocolFile::row(
                {"10", "70", "29.9402", "29.9701", "40029.9", "-29.9", "±75", "не норма"}),
            ProtocolFile::row(
                {"11", "80", "29.9402", "29.9701", "50029.9", "-29.9", "±80", "не норма"}),
        };
        QCOMPARE(
            ProtocolFile::read(path),
            ProtocolFile::expected(title, "Korvalis,RVKA5630&lt;b&gt;,0042,1.3", header, rows));
    }

    void currentProtocol()
    {
        script->setReply("MEAS:CURR?\n", "2.5012\n");
        meter->setReplyOverride("+2.490000E+00\n");
        const QString path = dir.filePath("idc-protocol.html");
        const Outcome outcome = run(Procedure::Idc, scriptedThread, path);
        QCOMPARE(outcome.disconnects, 0);
        QVERIFY(outcome.shown.isEmpty());

        // The first point's settings go out in the preamble and once more as the first point;
        // the output stays on across all six.
        struct Point
        {
            const char *load, *amps, *ohms;
        };
        const Point points[] = {{"12", "0.100000", "15"},  {"12", "1.000000", "2"},
                                {"12.2", "2.500000", "2"}, {"12.2", "5.000000", "2"},
                                {"12.2", "7.500000", "2"}, {"12.2", "10.000000", "2"}};
        QVector<QByteArray> sent = {"*RST\n", "VOLT 30.000000\n", "CURR 0.100000\n", "OUTP 1\n"};
        QVector<QByteArray> loadLines = {"SYST:LOCK ON\n", "INP 0\n",  "VOLT 0\n",
                                         "CURR 12\n",      "RES 15\n", "INP 1\n"};
        for (const Point &p : points) {
            sent << "VOLT 30.000000\n" << QByteArray("CURR ") + p.amps + '\n';
            sent += QVector<QByteArray>(3, "MEAS:CURR?\n");
            loadLines << QByteArray("CURR ") + p.load + '\n' << QByteArray("RES ") + p.ohms + '\n';
        }
        sent << "OUTP 0\n"
             << "*RST\n"
             << "*IDN?\n";
        loadLines << "INP 0\n"
                  << "SYST:LOCK OFF\n";
        QCOMPARE(scripted->transcript().messages(), sent);
        QCOMPARE(load->transcript().messages(), loadLines);
        QVector<QByteArray> meterLines = {"SYST:REM\n", "CONF:AUTO OFF\n",
                                          "CONF:CURR:DC MAX,DEF\n"};
        meterLines += QVector<QByteArray>(1 + 18, "MEAS:CURR:DC? MAX,DEF\n");
        meterLines << "SYST:LOC\n";
        QCOMPARE(meter->transcript().messages(), meterLines);

        const QString title = QStringLiteral(
            "<thead>Определение диапазона и пределов допускаемой абсолютной погрешности "
            "<br>воспроизведения и измерения выходного тока<br><font size=\"+2\"><b>");
        const QString header = QStringLiteral(
            "<td>Точка<br>поверки</td><td>Устанавливаемое<br>значение<br>выходного<br>тока<br>(A)"
            "</td><td>Измеренное<br>значение<br>тока<br>(A)</td><td>Значение<br>тока<br>"
            "измеренное<br>вольтметром<br>(A)</td><td>Погрешность<br>воспроизведения<br>тока<br>"
            "(мA)</td><td>Погрешность<br>измерения<br>тока<br>(мA)</td><td>Пределы<br>"
            "допускаемой<br>абсолютной<br>погрешности<br>воспроизведения<br>и измерения<br>(мA)"
            "</td><td>Результат<br>поверки<br>точки</td>");
        const QStringList rows = {
            ProtocolFile::row(
                {"1", "0.1", "2.5012", "2.49", "-2390", "11.2", "±40.05", "не норма"}),
            ProtocolFile::row({"2", "1", "2.5012", "2.49", "-1490", "11.2", "±40.5", "не норма"}),
            ProtocolFile::row({"3", "2.5", "2.5012", "2.49", "10", "11.2", "±41.25", "норма"}),
            ProtocolFile::row({"4", "5", "2.5012", "2.49", "2510", "11.2", "±42.5", "не норма"}),
            ProtocolFile::row({"5", "7.5", "2.5012", "2.49", "5010", "11.2", "±43.75", "не норма"}),
            ProtocolFile::row({"6", "10", "2.5012", "2.49", "7510", "11.2", "±45", "не норма"}),
        };
        QCOMPARE(ProtocolFile::read(path),
                 ProtocolFile::expected(title, "Korvalis,RVKA5630,0042,1.3", header, rows));

        // Six points of at least 10.5 s each.
        int paused = 0;
        for (int ms : time().requested(TimeFacility::Kind::Pause))
            paused += ms;
        QVERIFY2(paused >= 6 * 10500, qPrintable(QString::number(paused)));
    }

    void judgement_data()
    {
        QTest::addColumn<double>("setPoint");
        QTest::addColumn<double>("moduleMean");
        QTest::addColumn<QVariant>("meterMean");
        QTest::addColumn<QStringList>("cells");

        QTest::newRow("30 V, both errors just inside 30 mV")
            << 30.0 << 29.9402 << QVariant(29.9701)
            << QStringList{"30", "29.9402", "29.9701", "29.9", "-29.9", "±30", "норма"};
        QTest::newRow("30 V, reproduction error exactly 30 mV")
            << 30.0 << 29.97 << QVariant(29.97)
            << QStringList{"30", "29.97", "29.97", "30", "0", "±30", "не норма"};
        QTest::newRow("30 V, measurement error exactly -30 mV")
            << 30.0 << 29.95 << QVariant(29.98)
            << QStringList{"30", "29.95", "29.98", "20", "-30", "±30", "не норма"};
        // The texts carry six significant digits; the error is taken from them.
        QTest::newRow("0.1 V read as 0.100012")
            << 0.1 << 0.1000004 << QVariant(0.100012)
            << QStringList{"0.1", "0.1", "0.100012", "-0.012", "-0.012", "±15.05", "норма"};
        QTest::newRow("set-point in no band")
            << 85.0 << 85.0 << QVariant(85.0)
            << QStringList{"85", "85", "85", "0", "0", "±0", "не норма"};
        QTest::newRow("no reading from the meter")
            << 10.0 << 10.001 << QVariant()
            << QStringList{"10", "10.001", "", "", "", "±20", "не норма"};
    }

    void judgement()
    {
        QFETCH(double, setPoint);
        QFETCH(double, moduleMean);
        QFETCH(QVariant, meterMean);
        QFETCH(QStringList, cells);

        RangeResults results;
        results.addPoint(setPoint, moduleMean,
                         meterMean.isValid() ? std::optional<double>(meterMean.toDouble())
                                             : std::nullopt);
        results.evaluate({{0.0005, 0.015, 0.0, 30.0}, {0.0005, 0.04, 30.0, 81.0}});
        QCOMPARE(results.cells(0), cells);
    }

    void endsEarly_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("moduleLines");
        QTest::addColumn<QVector<QByteArray>>("meterLines");
        QTest::addColumn<bool>("loadOpened");
        QTest::addColumn<int>("disconnects");

        const QVector<QByteArray> vdcMeterOpened = {"SYST:REM\n", "CONF:AUTO ON\n",
                                                    "MEAS:VOLT:DC?\n", "SYST:LOC\n"};
        const QVector<QByteArray> idcMeterOpened = {"SYST:REM\n", "CONF:AUTO OFF\n",
                                                    "CONF:CURR:DC MAX,DEF\n",
                                                    "MEAS:CURR:DC? MAX,DEF\n", "SYST:LOC\n"};
        QTest::newRow("report directory missing") << Procedure::Vdc << "no directory"
                                                  << "Поверка: не удалось открыть файл для записи!"
                                                  << 0 << QVector<QByteArray>() << false << 0;
        QTest::newRow("meter port held") << Procedure::Vdc << "meter held"
                                         << "Поверка: ошибка инициализации мультиметра!" << 0
                                         << QVector<QByteArray>() << false << 0;
        QTest::newRow("meter line stalled") << Procedure::Vdc << "meter stalled"
                                            << "Поверка: связь с мультиметром разорвана!" << 0
                                            << QVector<QByteArray>() << false << 0;
        QTest::newRow("current without the load")
            << Procedure::Idc << "no load"
            << "Поверка: не удалось обнаружить доп. оборудование!" << 0 << idcMeterOpened << false
            << 0;
        QTest::newRow("load port held") << Procedure::Idc << "load held"
                                        << "Поверка: ошибка инициализации нагрузки электронной!"
                                        << 0 << idcMeterOpened << false << 0;
        QTest::newRow("load line stalled") << Procedure::Idc << "load stalled"
                                           << "Поверка: связь с нагрузкой электронной разорвана!"
                                           << 0 << idcMeterOpened << false << 0;
        // "*RST", "VOLT 30", "CURR 0.1" and "OUTP 1" went out; "VOLT 30" for the first point
        // does not.
        QTest::newRow("module command fails")
            << Procedure::Idc << "fifth command"
            << "Поверка: связь с устройством разорвана!" << 4 << idcMeterOpened << true << 1;
        QTest::newRow("identity query fails")
            << Procedure::Vdc << "identity"
            << "Поверка: связь с устройством разорвана!" << 3 + 11 * 4 + 1 << QVector<QByteArray>()
            << false << 1;
    }

    void endsEarly()
    {
        QFETCH(Procedure, procedure);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, moduleLines);
        QFETCH(QVector<QByteArray>, meterLines);
        QFETCH(bool, loadOpened);
        QFETCH(int, disconnects);

        QTemporaryDir own;
        QString path = own.filePath("earlier.html");
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(earlierProtocol);
        earlier.close();
        if (fault == "no directory")
            path = own.filePath("missing/protocol.html");
        publishInstruments(fault != "no load");
        meter->setHeldOpen(fault == "meter held");
        meter->setStalled(fault == "meter stalled");
        load->setHeldOpen(fault == "load held");
        load->setStalled(fault == "load stalled");
        // Counted from the procedure's start, after the window's own read-back.
        const auto arm = [&] {
            if (fault == "fifth command")
                vdvisaInjectStatus("viPrintf", 5, VI_ERROR_CONN_LOST);
            if (fault == "identity")
                vdvisaInjectStatus("viQueryf", 34, VI_ERROR_TMO);
        };
        const Outcome outcome =
            run(procedure, physicsThread, path, true, arm, !meterLines.isEmpty(), loadOpened);
        meter->setStalled(false);
        load->setStalled(false);

        QCOMPARE(outcome.shown.size(), 1);
        QCOMPARE(outcome.shown[0].title, QStringLiteral("Ошибка"));
        QCOMPARE(outcome.shown[0].text, message);
        QCOMPARE(outcome.shown[0].icon, QMessageBox::Critical);
        QCOMPARE(outcome.shown[0].buttons, QStringList{"OK"});
        QCOMPARE(outcome.disconnects, disconnects);
        QCOMPARE(physics->transcript().messages().size(), moduleLines);
        // Whatever was opened is released before the message.
        if (!meterLines.isEmpty()) {
            QVERIFY(outcome.meterReleased);
            QCOMPARE(meter->transcript().messages(), meterLines);
        }
        QCOMPARE(outcome.loadReleased, loadOpened);
        if (fault == "no directory") {
            QVERIFY(meter->transcript().messages().isEmpty());
            QVERIFY(load->transcript().messages().isEmpty());
        }
        // A procedure that ends early leaves its file empty, so that an earlier protocol is
        // not taken for this run's; one that could not open its file leaves it alone.
        QCOMPARE(ProtocolFile::read(own.filePath("earlier.html")),
                 fault == "no directory" ? earlierProtocol : QByteArray());
        QCOMPARE(QDir(own.path()).entryList(QDir::Files), QStringList{"earlier.html"});
        // Whatever the load was drawing stops before it is handed back.
        QVERIFY(!load->model().inputOn());
    }

    // Readings that are missing, or are not numbers, do not count: a point is measured from
    // the readings that came, and one without any fails with its meter cells left empty. The
    // protocol is still written.
    void missingReadings_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("thirdPoint");

        const QStringList measured = {"3",    "5",    "5.0001", "5.0002",
                                      "-0.2", "-0.1", "±17.5",  "норма"};
        const QStringList none = {"3", "5", "5.0001", "", "", "", "±17.5", "не норма"};
        QTest::newRow("one reading of three garbled") << "one garbled" << measured;
        QTest::newRow("two of three garbled") << "two garbled" << measured;
        QTest::newRow("all three garbled") << "garbled" << none;
        QTest::newRow("meter silent") << "mute" << none;
    }

    void missingReadings()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, thirdPoint);
        if (fault == "mute")
            time().setSpeedup(200.0); // every missing reading waits out its 10 s
        script->setReply("MEAS:VOLT?\n", "5.0001\n");
        meter->setReplyOverride(fault == "garbled" ? "OVLD\n" : "+5.000200E+00\n");
        meter->setMute(fault == "mute");
        QVector<QByteArray> replies = {QByteArray()}; // the priming query's
        for (int point = 0; point < 11; ++point) {
            if (fault == "one garbled")
                replies << QByteArray() << "OVLD\n" << QByteArray();
            if (fault == "two garbled")
                replies << QByteArray(1, '\0') << QByteArray() << "\r\n";
        }
        meter->setScriptedReplies(replies);
        const QString path = dir.filePath("missing.html");
        const Outcome outcome = run(Procedure::Vdc, scriptedThread, path);
        QCOMPARE(outcome.disconnects, 0);
        QVERIFY(outcome.shown.isEmpty());
        const QVector<QStringList> rows = ProtocolFile::rows(ProtocolFile::read(path));
        QCOMPARE(rows.size(), 11);
        QCOMPARE(rows[2], thirdPoint);
    }

    // An operator may keep a protocol file that is writable in a directory that is not: the
    // protocol is written into that file.
    void writableFileInReadOnlyDirectory()
    {
        QTemporaryDir own;
        const QString path = own.filePath("kept.html");
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write(earlierProtocol);
        kept.close();
        QVERIFY(QFile::setPermissions(own.path(), QFile::ReadOwner | QFile::ExeOwner));
        publishInstruments(false);
        meter->setReplyOverride("+2.99701E+01\n");
        script->setReply("MEAS:VOLT?\n", "29.9402\n");
        Outcome outcome;
        {
            FilePermissionsEnforced enforced;
            QVERIFY(enforced.active());
            outcome = run(Procedure::Vdc, scriptedThread, path);
        }
        QVERIFY(QFile::setPermissions(own.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(outcome.shown.isEmpty());
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(path)).size(), 11);
        QCOMPARE(QDir(own.path()).entryList(QDir::Files), QStringList{"kept.html"});
    }
};

QTEST_MAIN(TestRangeVerification)
#include "tst_rangeverification.moc"
