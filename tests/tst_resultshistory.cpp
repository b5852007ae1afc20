// ctest-timeout: 180
// The debug window's runs and their records: the register's question before a run, the
// record of each scenario, the operator told after the summary when the store cannot take it,
// and "История" drawing each point's error across the recorded runs inside its band.
#include "dialoganswerer.h"
#include "modulesession.h"
#include "modulethread.h"
#include "modulework.h"
#include "protocolfile.h"
#include "resultshistory.h"
#include "resultsstore.h"
#include "rvka5630debug.h"
#include "scenariosummary.h"
#include "simlan.h"
#include "timefacility.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString moduleAddress = QStringLiteral("127.0.0.2");
} // namespace

class TestResultsHistory : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    SimModule *module = nullptr;
    QTemporaryDir dir;
    ViSession rm = VI_NULL;
    ModuleThread moduleThread;
    ModuleSession &session = moduleThread.session();
    QString storeFile;

    // The debug window with only "Поверка уровня пульсаций выходного тока" ticked, run once
    // with answerer standing by; the window stays for a look at what it shows.
    std::unique_ptr<Rvka5630Debug> runIac(DialogAnswerer &answerer, const QString &path)
    {
        auto window = std::make_unique<Rvka5630Debug>(moduleThread, nullptr);
        window->start();
        waitForModuleWork(&moduleThread, 120000);
        window->show();
        for (QCheckBox *box : window->findChildren<QCheckBox *>())
            if (box->objectName().startsWith("cb") && box->objectName() != "cbOutRele" &&
                box->objectName() != "cbAdgCtr" && box->objectName() != "cbUlpiStp")
                box->setChecked(box->objectName() == "cbIac");
        window->findChild<QLineEdit *>("leIac")->setText(path);
        QTest::mouseClick(window->findChild<QPushButton *>("runScriptsButton"), Qt::LeftButton);
        waitForModuleWork(&moduleThread, 120000);
        answerer.waitUntilAnswered();
        return window;
    }

    QVector<RunRecord> recorded()
    {
        ResultsLocation location;
        location.file = storeFile;
        ResultsStore store(location);
        return store.open() ? store.runs(RunFilter(), true) : QVector<RunRecord>();
    }

    void writeRegister(const QString &loadDue)
    {
        QFile references(dir.filePath("references.txt"));
        QVERIFY(references.open(QIODevice::WriteOnly | QIODevice::Truncate));
        references.write("GEW-1;GDM-8341;C-1;2099-01-01\nEA-2;EL 9000 B;C-2;" + loadDue.toUtf8() +
                         "\n");
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(dir.isValid());
        module = lan.addBenchModule(moduleAddress);
        QVERIFY(module);
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(session.open(rm, SimBench::resourceName(moduleAddress), 1000), VI_SUCCESS);
        TimeFacility::instance().setSpeedup(50.0);
        lan.publishSerialPorts();
        QStringList ports = qEnvironmentVariable("VOLTADESK_SERIAL_PORTS").split(';');
        for (QString &entry : ports)
            entry += entry.contains("GWinstek") ? "|GEW-1" : "|EA-2";
        qputenv("VOLTADESK_SERIAL_PORTS", ports.join(';').toUtf8());
        qputenv("VOLTADESK_REFERENCES", dir.filePath("references.txt").toUtf8());
        storeFile = dir.filePath("results.sqlite");
        qputenv("VOLTADESK_RESULTS", storeFile.toUtf8());
    }

    void cleanupTestCase()
    {
        TimeFacility::instance().setSpeedup(1.0);
        session.close();
        viClose(rm);
    }

    // The load past its due date: "Нет" runs nothing, "Да" runs and records the load as
    // expired; with a valid register nobody is asked.
    void registerAskedBeforeTheRun()
    {
        writeRegister("2020-01-31");
        const QString path = dir.filePath("asked.html");
        {
            DialogAnswerer answerer;
            answerer.press("&No");
            runIac(answerer, path);
            QCOMPARE(answerer.shown().size(), 1);
            QCOMPARE(answerer.shown().first().title,
                     QStringLiteral("Эталонные средства измерений"));
            QVERIFY(answerer.shown().first().text.contains("срок поверки истёк 2020-01-31"));
            QVERIFY(!QFile::exists(path));
            QVERIFY(recorded().isEmpty());
        }
        {
            DialogAnswerer answerer;
            answerer.press("&Yes");
            runIac(answerer, path);
            QVERIFY(answerer.unexpected().isEmpty());
            const QVector<RunRecord> runs = recorded();
            QCOMPARE(runs.size(), 1);
            QCOMPARE(runs.first().serial, QStringLiteral("0042"));
            QCOMPARE(runs.first().references.size(), 2);
            QCOMPARE(runs.first().references.first().status, QStringLiteral("expired"));
        }
        writeRegister("2099-01-01");
        DialogAnswerer answerer;
        runIac(answerer, dir.filePath("not-asked.html"));
        QVERIFY(answerer.shown().isEmpty());
        QCOMPARE(recorded().size(), 2);
    }

    // A store that cannot take the record: the protocol is written, the summary shows, and
    // after it the operator reads why the record is missing.
    void notRecordedIsTold()
    {
        const QString corrupt = dir.filePath("corrupt.sqlite");
        QFile file(corrupt);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
        file.close();
        qputenv("VOLTADESK_RESULTS", corrupt.toUtf8());
        DialogAnswerer answerer;
        answerer.press("OK");
        const QString path = dir.filePath("unrecorded.html");
        auto window = runIac(answerer, path);
        qputenv("VOLTADESK_RESULTS", storeFile.toUtf8());
        QCOMPARE(answerer.shown().size(), 1);
        const DialogAnswerer::Shown box = answerer.shown().first();
        QCOMPARE(box.title, QStringLiteral("Хранилище результатов"));
        QVERIFY2(box.text.startsWith("Результат не сохранён в хранилище:\nПоверка уровня "
                                     "пульсаций выходного тока: "),
                 qPrintable(box.text));
        QVERIFY(window->findChild<ScenarioSummary *>());
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(path)).size(), 1);
    }

    // "История" for the module on this session: its runs, and for the chosen point the error
    // of each run with the band of ±tolerance around it.
    void historyCharts()
    {
        auto window = std::make_unique<Rvka5630Debug>(moduleThread, nullptr);
        window->start();
        waitForModuleWork(&moduleThread, 120000);
        window->findChild<QPushButton *>("historyButton")->click();
        auto *history = window->findChild<ResultsHistory *>();
        QVERIFY(history);
        QVERIFY(history->isVisible());
        QCOMPARE(history->serial(), QStringLiteral("0042"));
        const QVector<RunRecord> runs = recorded();
        QCOMPARE(history->runCount(), runs.size());
        QCOMPARE(history->findChild<QComboBox *>()->currentText(), QStringLiteral("iac"));
        const auto lines = history->plotted();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0).second.size(), runs.size());
        for (int i = 0; i < runs.size(); ++i) {
            QCOMPARE(QString::number(lines.at(0).second.at(i)), runs.at(i).points.first().error);
            QCOMPARE(lines.at(1).second.at(i), 20.0);
            QCOMPARE(lines.at(2).second.at(i), -20.0);
        }
    }
};

QTEST_MAIN(TestResultsHistory)
#include "tst_resultshistory.moc"
