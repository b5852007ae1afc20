// ctest-timeout: 240
// voltadesk-run against the simulated bench: the listing, the exit status for each way a run
// ends, its protocol against the window's for the same readings, and SIGTERM in the middle of
// a procedure.
#include "commandlinerun.h"
#include "modulesession.h"
#include "modulethread.h"
#include "modulework.h"
#include "protocolfile.h"
#include "runnerinvocation.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "scenariorunner.h"
#include "settlingpause.h"
#include "simlan.h"
#include "timefacility.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <csignal>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.2");
// A second module that no multimeter measures, another model and a silent instrument.
const QString unwiredAddress = QStringLiteral("127.0.0.3");
const QString otherModelAddress = QStringLiteral("127.0.0.4");
const QString silentAddress = QStringLiteral("127.0.0.5");
constexpr double speedup = 50.0;

} // namespace

class TestCommandLineRun : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    SimModule *module = nullptr;
    Rvka5630Model *model = nullptr;
    SimSerialMultimeter *meter = nullptr;
    SimSerialLoad *load = nullptr;
    SimModule *unwired = nullptr;
    SimSerialLoad *unwiredLoad = nullptr;
    SimModule *otherModel = nullptr;
    SimModule *silent = nullptr;
    QTemporaryDir dir;
    QString resource;

    TimeFacility &time() { return TimeFacility::instance(); }

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
        resource = SimBench::resourceName(moduleAddress);
        unwired = lan.addRvka5630(unwiredAddress, "Korvalis,RVKA5630,0057,1.3", "1;8;0");
        unwiredLoad = lan.addLoad(unwiredAddress);
        otherModel = lan.addRvka5630(otherModelAddress, "Korvalis,RVKA5700,0011,1.0");
        silent = lan.addScripted(silentAddress);
        QVERIFY(unwired && unwiredLoad && otherModel && silent);
        silent->setMute(true);
        lan.publish();
    }

    // An uncalibrated module, the bench on its ports.
    void init()
    {
        time().setSpeedup(speedup);
        model->execute("CAL:VOLT:CLEAR\n");
        model->execute("CAL:SAVE\n");
        model->execute("*RST\n");
        lan.rvka5630(unwiredAddress)->execute("*RST\n");
        // The first multimeter and load, both on the bench's module.
        qputenv("VOLTADESK_SERIAL_PORTS", (meter->portEntry() + ";" + load->portEntry()).toUtf8());
    }

    void cleanupTestCase() { time().setSpeedup(1.0); }

    void list()
    {
        const RunnerInvocation listed = invokeRunner({"list"});
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.outLines(),
                 (QStringList{resource + "\tKorvalis,RVKA5630,0042,1.3\tPLACEID: 1; ADDRID: 7; "
                                         "SWITCHID: 0",
                              SimBench::resourceName(unwiredAddress) +
                                  "\tKorvalis,RVKA5630,0057,1.3\tPLACEID: 1; ADDRID: 8; "
                                  "SWITCHID: 0"}));
        const QJsonObject row =
            QJsonDocument::fromJson(invokeRunner({"list", "--json"}).outLines().value(0).toUtf8())
                .object();
        QCOMPARE(row.value("resource").toString(), resource);
    }

    // Exit status 0, 1 or 2 with the result lines on standard output and the messages on
    // standard error. "%1" and "%2" stand for two protocol paths.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("instruments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("jsonResults"); // of the same run with --json
        QTest::newRow("uncalibrated")
            << QStringList{"--vdc", "%1"} << true << 1
            << QStringList{"vdc\tне норма\t\"не норма\": 8 из 11 точек\t%1"} << QString()
            << QStringList{"fail"};
        QTest::newRow("after the calibration")
            << QStringList{"--vdc", "%1", "--autocal"} << true << 0
            << QStringList{"autocal\tвыполнена\tвыполнена\t", "vdc\tнорма\tвсе точки \"норма\"\t%1"}
            << QString() << QStringList{"pass", "pass"};
        QTest::newRow("no instruments")
            << QStringList{"--vdc", "%1"} << false << 2
            << QStringList{"vdc\tошибка\tПоверка: не удалось обнаружить доп. оборудование!\t"}
            << "Поверка: не удалось обнаружить доп. оборудование!\nvoltadesk-run: укажите порты "
               "приборов: --multimeter ПОРТ и --load ПОРТ, или опишите их в "
               "VOLTADESK_SERIAL_PORTS (см. --help)\nvoltadesk-run: не все процедуры выполнены\n"
            << QStringList{"setup"};
        QTest::newRow("no procedure") << QStringList{} << true << 2 << QStringList{}
                                      << "voltadesk-run: не выбрана ни одна процедура\n"
                                      << QStringList{};
        QTest::newRow("one path twice")
            << QStringList{"--vdc", "%1", "--idc", "%1"} << true << 2 << QStringList{}
            << "voltadesk-run: пути протоколов должны быть заданы и различаться\n"
            << QStringList{};
        QTest::newRow("no such option") << QStringList{"--vdcc", "%1"} << true << 2 << QStringList{}
                                        << "voltadesk-run: Unknown option 'vdcc'.\n"
                                        << QStringList{};
    }

    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, instruments);
        QFETCH(int, status);
        QFETCH(QStringList, results);
        QFETCH(QString, message);
        QFETCH(QStringList, jsonResults);
        const QString path = dir.filePath(QTest::currentDataTag() + QStringLiteral(".html"));
        for (QStringList *texts : {&arguments, &results})
            texts->replaceInStrings(QStringLiteral("%1"), path);
        if (!instruments)
            qputenv("VOLTADESK_SERIAL_PORTS", "");
        const RunnerInvocation run = invokeRunner(QStringList{resource} + arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(run.outLines(), results);
        if (!message.isEmpty())
            QVERIFY2(run.err.endsWith(message), qPrintable(run.err));
        QVERIFY(!model->outputOn());
        const RunnerInvocation asJson =
            invokeRunner(QStringList{resource, "--json", "--overwrite"} + arguments);
        QCOMPARE(asJson.status, status);
        QCOMPARE(asJson.results(), jsonResults);
    }

    // Nothing but an RVKA5630 is verified: another model, or an instrument that does not
    // answer, hears the identification query and nothing more.
    void onlyAnRvka5630IsRun_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("another model")
            << otherModelAddress
            << "voltadesk-run: TCPIP0::127.0.0.4::inst0::INSTR не модуль RVKA5630: "
               "Korvalis,RVKA5700,0011,1.0\n";
        QTest::newRow("silent") << silentAddress
                                << "voltadesk-run: TCPIP0::127.0.0.5::inst0::INSTR не отвечает "
                                   "на запрос *IDN?\n";
    }

    void onlyAnRvka5630IsRun()
    {
        QFETCH(QString, address);
        QFETCH(QString, message);
        SimModule *instrument = address == silentAddress ? silent : otherModel;
        instrument->transcript().clear();
        meter->transcript().clear();
        const QString path = dir.filePath(QTest::currentDataTag() + QStringLiteral(".html"));
        const RunnerInvocation run =
            invokeRunner({SimBench::resourceName(address), "--vdc", path, "--json"});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err, message);
        QCOMPARE(instrument->transcript().messages(), QVector<QByteArray>{"*IDN?"});
        QVERIFY(meter->transcript().messages().isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }

    // An empty listing is no success: a line on standard error and a status of its own.
    void nothingFound()
    {
        const QByteArray published = qgetenv("VDVISA_RESOURCES");
        qputenv("VDVISA_RESOURCES", SimBench::resourceName(otherModelAddress).toUtf8() + ";" +
                                        SimBench::resourceName("127.0.0.9").toUtf8());
        const RunnerInvocation listed = invokeRunner({"list"});
        qputenv("VDVISA_RESOURCES", published);
        QCOMPARE(listed.status, int(CommandLineRun::NothingFound));
        QCOMPARE(listed.out, QString());
        QVERIFY2(listed.err.startsWith("voltadesk-run: не найдено ни одного модуля RVKA5630"),
                 qPrintable(listed.err));
    }

    // A multimeter that reads nothing of the module's output is a set-up fault (status 2),
    // not a failing module, where the module's own read-back follows the set value; the
    // scenario ends through the safe ending. Without its own load the module gives no current
    // and reads none either: then the points are judged as ever.
    void referenceOnAnotherModule_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("ownLoad"); // the load on the module under test
        QTest::addColumn<QString>("result");
        const QString setupFault = "setup";
        QTest::newRow("voltage range") << "--vdc" << false << setupFault;
        QTest::newRow("current range") << "--idc" << true << setupFault;
        QTest::newRow("current range, no current") << "--idc" << false << "fail";
        QTest::newRow("voltage instability") << "--vdcn" << false << setupFault;
        QTest::newRow("current instability") << "--idcn" << true << setupFault;
        QTest::newRow("calibration") << "--autocal" << false << setupFault;
    }

    void referenceOnAnotherModule()
    {
        QFETCH(QString, option);
        QFETCH(bool, ownLoad);
        QFETCH(QString, result);
        if (ownLoad)
            qputenv("VOLTADESK_SERIAL_PORTS",
                    (meter->portEntry() + ";" + unwiredLoad->portEntry()).toUtf8());
        unwired->transcript().clear();
        const QString path = dir.filePath(QTest::currentDataTag() + QStringLiteral(".html"));
        QStringList arguments{SimBench::resourceName(unwiredAddress), "--json", option};
        if (option != "--autocal")
            arguments << path;
        const RunnerInvocation run = invokeRunner(arguments);
        QCOMPARE(run.results(), QStringList{result});
        QCOMPARE(run.status, result == "fail" ? 1 : 2);
        QVERIFY(!lan.rvka5630(unwiredAddress)->outputOn());
        QVERIFY(!unwiredLoad->model().inputOn());
        if (result == "fail")
            return;
        const QString message =
            QJsonDocument::fromJson(run.out.toUtf8()).object()["message"].toString();
        QVERIFY2(message.endsWith("показания мультиметра не следуют за выходом модуля. Проверьте "
                                  "подключение мультиметра к выходу модуля!"),
                 qPrintable(message));
        // A calibration keeps nothing taken from such a meter.
        QCOMPARE(unwired->transcript().startingWith("CAL:SAVE").size(),
                 option == "--autocal" ? 1 : 0);
        if (option != "--autocal")
            QCOMPARE(QFileInfo(path).size(), 0);
    }

    // A protocol with something in it is replaced only with --overwrite, and the refusal comes
    // before any instrument is touched; an empty file may be written over.
    void protocolsAreNotReplacedUnawares()
    {
        const QString earlier = dir.filePath("earlier.html");
        const QString empty = dir.filePath("empty.html");
        for (const QString &path : {earlier, empty}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(path == earlier ? "an earlier protocol" : "");
        }
        module->transcript().clear();
        meter->transcript().clear();
        const RunnerInvocation refused = invokeRunner({resource, "--vdc", earlier, "--idc", empty});
        QCOMPARE(refused.status, 2);
        QCOMPARE(refused.err, "voltadesk-run: протокол " + earlier +
                                  " уже существует; чтобы заменить его, укажите --overwrite\n");
        QVERIFY(module->transcript().messages().isEmpty());
        QVERIFY(meter->transcript().messages().isEmpty());
        QCOMPARE(QFileInfo(earlier).size(), qint64(19));
        // Agreed to, the protocol is written from its procedure's start as ever: a wrong
        // multimeter port ends it with the file empty.
        for (const QStringList &extra :
             {QStringList{"--idc", empty}, QStringList{"--vdc", earlier, "--overwrite"}}) {
            const RunnerInvocation run =
                invokeRunner(QStringList{resource, "--multimeter", "/dev/null/none"} + extra);
            QCOMPARE(run.status, 2);
            QVERIFY2(run.err.contains("Поверка: ошибка инициализации мультиметра!"),
                     qPrintable(run.err));
        }
        QCOMPARE(QFileInfo(earlier).size(), qint64(0));
    }

    // The same readings make the same protocol, byte for byte, whichever way it was run.
    void sameProtocolAsTheWindow()
    {
        time().setWallClock(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        const auto seed = [this] {
            model->setSeed(11);
            meter->model().setSeed(13);
            model->execute("*RST\n");
        };
        seed();
        const QString fromRunner = dir.filePath("runner.html");
        QVERIFY(invokeRunner({resource, "--idc", fromRunner}).status != CommandLineRun::NotRun);
        seed();
        const QString fromWindow = dir.filePath("window.html");
        ViSession rm = VI_NULL;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        {
            ModuleThread thread;
            QCOMPARE(thread.session().open(rm, resource, 1000), VI_SUCCESS);
            Rvka5630Debug window(thread, nullptr);
            window.check_idc(fromWindow);
            QVERIFY(waitForModuleWork(&thread, 60000));
            QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
        }
        viClose(rm);
        time().resetWallClock();
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(fromRunner)).size(), 6);
        QCOMPARE(ProtocolFile::read(fromRunner), ProtocolFile::read(fromWindow));
    }

    // What each procedure takes on the simulated bench, against the time left it announced
    // when it began: within a tenth of the real duration.
    void timeLeftEstimate_data()
    {
        QTest::addColumn<int>("scenario");
        QTest::newRow("autocal") << int(Scenario::AutoCalibration);
        QTest::newRow("vdc") << int(Scenario::Vdc);
        QTest::newRow("vdcn") << int(Scenario::VdcCurr);
        QTest::newRow("vac") << int(Scenario::VacCurr);
        QTest::newRow("idc") << int(Scenario::Idc);
        QTest::newRow("idcn") << int(Scenario::IdcN);
        QTest::newRow("iac") << int(Scenario::Iac);
    }

    void timeLeftEstimate()
    {
        QFETCH(int, scenario);
        // Slower than the other tests: the host's own milliseconds count as many times over
        // as the clock runs faster, and a tenth of the shortest procedure is two seconds.
        time().setSpeedup(20.0);
        ViSession rm = VI_NULL;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        ModuleSession session;
        QCOMPARE(session.open(rm, resource, 1000), VI_SUCCESS);
        qint64 announced = -1;
        qint64 lasted = 0;
        {
            ScenarioRunner runner(session);
            QObject::connect(&runner, &ScenarioRunner::progressed,
                             [&](const ScenarioProgress &progress) {
                                 if (announced < 0)
                                     announced = progress.remainingMs;
                             });
            const qint64 start = time().elapsedMs();
            const QVector<ScenarioOutcome> outcomes =
                runner.run({{Scenario(scenario), dir.filePath(QTest::currentDataTag() +
                                                              QStringLiteral("-estimate.html"))}});
            lasted = time().elapsedMs() - start;
            QCOMPARE(outcomes.size(), 1);
            QCOMPARE(outcomes.first().failure, ScenarioFailure::None);
        }
        session.close();
        viClose(rm);
        // The second between procedures is not part of the procedure.
        lasted -= 1000;
        QVERIFY(announced > 0);
        QVERIFY2(
            qAbs(announced - lasted) * 10 <= lasted,
            qPrintable(QStringLiteral("announced %1 ms, lasted %2 ms").arg(announced).arg(lasted)));
    }

    // At full speed, SIGTERM in the first point's settling pause ends the procedure within a
    // second: output and load input off, the instruments back in local control, the protocol
    // empty, the rest of the selection skipped, exit status 2.
    void sigtermStopsSafely()
    {
        time().setSpeedup(1.0);
        module->transcript().clear();
        load->transcript().clear();
        meter->transcript().clear();
        const QString path = dir.filePath("stopped.html");
        SettlingPause settling(module, [] { std::raise(SIGTERM); });
        const RunnerInvocation run = invokeRunner({resource, "--idc", path, "--iac", path + "2"});
        const QElapsedTimer &sinceSignal = settling.acted();
        QVERIFY(sinceSignal.isValid());
        QVERIFY2(sinceSignal.elapsed() < 1000, qPrintable(QString::number(sinceSignal.elapsed())));
        QCOMPARE(run.status, 2);
        QCOMPARE(run.outLines(),
                 QStringList{"idc\tостановлена\tПоверка: остановлена оператором.\t"});
        QVERIFY(run.err.endsWith("Поверка: остановлена оператором.\nvoltadesk-run: остановлено\n"));
        QTRY_COMPARE(meter->transcript().messages().last(), QByteArray("SYST:LOC\n"));
        QTRY_COMPARE(load->transcript().messages().last(), QByteArray("SYST:LOCK OFF\n"));
        QCOMPARE(module->transcript().startingWith("OUTP").last(), QByteArray("OUTP 0\n"));
        QCOMPARE(load->transcript().startingWith("INP").last(), QByteArray("INP 0\n"));
        QVERIFY(!model->outputOn() && !load->model().inputOn());
        QVERIFY(QFileInfo(path).exists() && QFileInfo(path).size() == 0);
        QVERIFY(!QFileInfo::exists(path + "2"));
    }
};

QTEST_MAIN(TestCommandLineRun)
#include "tst_commandlinerun.moc"
