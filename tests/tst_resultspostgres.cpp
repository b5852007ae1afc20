// ctest-timeout: 180
// The results store on a real PostgreSQL server, shared as the stations of a line share it:
// two stations record at once, the history reads back what both recorded, and a server that
// goes down in the middle of a run costs that run nothing but its record.
#include "commandlinerun.h"
#include "postgresserver.h"
#include "protocolfile.h"
#include "resultsstore.h"
#include "runnerinvocation.h"
#include "rvka5630model.h"
#include "simlan.h"
#include "timefacility.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {

const char *const writerVariable = "VOLTADESK_TEST_STATION";
const QString moduleAddress = QStringLiteral("127.0.0.2");
constexpr int runsPerStation = 40;

QJsonObject json(const QString &line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

// One station's share of the concurrency test: its runs of module 0042, one after another.
int station(const QString &name)
{
    for (int i = 0; i < runsPerStation; ++i) {
        ResultsStore store(ResultsLocation::configured());
        RunRecord run;
        run.started = run.ended =
            QStringLiteral("2026-12-08T10:00:%1.000Z").arg(i, 2, 10, QChar('0'));
        run.station = name;
        run.serial = QStringLiteral("0042");
        run.procedure = QStringLiteral("vdc");
        run.result = QStringLiteral("pass");
        run.points.append({1, "0.1", "0.1;0.1", "0;0", "0.015", "норма", {}});
        if (!store.open() || !store.record(run)) {
            QTextStream(stderr) << store.error() << '\n';
            return 1;
        }
    }
    return 0;
}

} // namespace

class TestResultsPostgres : public QObject
{
    Q_OBJECT

private:
    PostgresServer server;
    SimLan lan;
    SimModule *module = nullptr;
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY2(PostgresServer::available(), "Debian's postgresql package is not installed");
        QVERIFY2(server.start(), qPrintable(server.problem()));
        QVERIFY2(server.createDatabase("results"), qPrintable(server.problem()));
        qputenv("VOLTADESK_RESULTS", server.url("results").toUtf8());
        module = lan.addBenchModule(moduleAddress);
        QVERIFY(module);
        lan.publishSerialPorts();
        TimeFacility::instance().setSpeedup(50.0);
    }

    void cleanupTestCase()
    {
        TimeFacility::instance().setSpeedup(1.0);
        server.stop();
    }

    // Two stations at once on one fresh store: every record arrives, numbered without a gap,
    // the chain holds, and the module's history holds both stations' runs.
    void twoStationsAtOnce()
    {
        QProcess stations[2];
        const QString names[] = {"station-A", "station-B"};
        for (int i = 0; i < 2; ++i) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(writerVariable, names[i]);
            stations[i].setProcessEnvironment(environment);
            stations[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            stations[i].start(QCoreApplication::applicationFilePath(), QStringList());
        }
        for (QProcess &one : stations) {
            QVERIFY(one.waitForFinished(60000));
            QCOMPARE(one.exitCode(), 0);
        }
        ResultsStore store(ResultsLocation::configured());
        QVERIFY2(store.open(), qPrintable(store.error()));
        const QVector<RunRecord> history = store.runs({"0042", "vdc", {}}, true);
        QCOMPARE(history.size(), 2 * runsPerStation);
        QCOMPARE(history.last().id, qint64(2 * runsPerStation));
        int fromA = 0;
        for (const RunRecord &run : history) {
            fromA += run.station == names[0] ? 1 : 0;
            QCOMPARE(run.points.size(), 1);
        }
        QCOMPARE(fromA, runsPerStation);
        const RunnerInvocation verified = invokeRunner({"results", "--verify"});
        QCOMPARE(verified.status, 0);
        const RunnerInvocation listed = invokeRunner({"results", "--serial", "0042", "--csv"});
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.outLines().size(), 1 + 2 * runsPerStation);
        QCOMPARE(listed.outLines().filter(",station-B,").size(), runsPerStation);
    }

    // A server that refuses the login: the run and its protocol stand, the operator is told.
    void loginRefused()
    {
        const QByteArray kept = qgetenv("VOLTADESK_RESULTS");
        qputenv("VOLTADESK_RESULTS",
                QString(server.url("results")).replace("station@", "intruder@").toUtf8());
        const QString path = dir.filePath("refused.html");
        const RunnerInvocation run =
            invokeRunner({lan.bench().resourceName(moduleAddress), "--iac", path, "--json"});
        qputenv("VOLTADESK_RESULTS", kept);
        QVERIFY2(run.status == 0 || run.status == 1, qPrintable(run.err));
        QVERIFY(json(run.outLines().first()).value("record").isNull());
        QVERIFY2(run.err.contains("voltadesk-run: результат не сохранён в хранилище: не удалось "
                                  "открыть хранилище postgresql://intruder@"),
                 qPrintable(run.err));
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(path)).size(), 1);
    }

    // The server stops while the second procedure runs: the first procedure's record is
    // stored, the second's is not and the operator is told, both protocols are written and
    // the exit status is the verdicts'. Once the server is back, the next run records again.
    void serverStoppedInTheMiddle()
    {
        module->transcript().clear();
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [this, &poll] {
            if (module->transcript().messages().contains("VOLT 31.000000\n")) {
                poll.stop();
                server.signalStop();
            }
        });
        poll.start(5);
        const QString first = dir.filePath("vdcn.html");
        const QString second = dir.filePath("iac.html");
        const RunnerInvocation run = invokeRunner(
            {lan.bench().resourceName(moduleAddress), "--vdcn", first, "--iac", second, "--json"});
        QVERIFY(!poll.isActive());
        QVERIFY2(run.status == 0 || run.status == 1, qPrintable(run.err));
        QCOMPARE(run.outLines().size(), 2);
        const qint64 stored = json(run.outLines().first()).value("record").toVariant().toLongLong();
        QVERIFY(stored > 0);
        QVERIFY(json(run.outLines().last()).value("record").isNull());
        QVERIFY2(run.err.contains("voltadesk-run: результат не сохранён в хранилище: "),
                 qPrintable(run.err));
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(first)).size(), 2);
        QCOMPARE(ProtocolFile::rows(ProtocolFile::read(second)).size(), 1);

        QVERIFY2(server.start(), qPrintable(server.problem()));
        const RunnerInvocation again =
            invokeRunner({lan.bench().resourceName(moduleAddress), "--iac", second, "--json",
                          "--require-record", "--overwrite"});
        QVERIFY2(again.status == 0 || again.status == 1, qPrintable(again.err));
        QCOMPARE(json(again.outLines().first()).value("record").toVariant().toLongLong(),
                 stored + 1);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsSet(writerVariable))
        return station(qEnvironmentVariable(writerVariable));
    TestResultsPostgres test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_resultspostgres.moc"
