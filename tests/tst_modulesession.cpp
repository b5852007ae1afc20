// ctest-timeout: 120
// The one owner of a module's session: a reopen that every user follows, a session that is
// lost, and the trace of a failure. A module panel that closes itself, or a procedure that
// ends, because a VISA call failed leaves one line in the debug log: the call, the resource
// and the status with its description. A panel closed by the operator leaves none.
#include "commandchain.h"
#include "dialoganswerer.h"
#include "logcapture.h"
#include "modulesession.h"
#include "modulethread.h"
#include "modulework.h"
#include "panelrig.h"
#include "rvka5630debug.h"
#include "timefacility.h"
#include "toplevelwindow.h"

#include <vdvisa_testing.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

enum class Failure
{
    None,
    SessionRefused,
    LimitQuery,
    PanelPoll,
    DebugPoll,
    Procedure,
};

} // namespace

Q_DECLARE_METATYPE(Failure)

class tst_ModuleSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        rig = new PanelRig;
        QVERIFY(rig->ready());
        QVERIFY(rig->lan.addMultimeter(PanelRig::moduleAddress));
        QVERIFY(dir.isValid());
    }
    void init()
    {
        rig->reset();
        rig->lan.publishSerialPorts();
        TimeFacility::instance().setSpeedup(20);
    }
    void cleanupTestCase()
    {
        TimeFacility::instance().setSpeedup(1);
        delete rig;
    }

    // A reopen puts a new handle in place for everyone who asks; a module that takes no new
    // link leaves no handle. Only the latest chain's failure is there to trace.
    void reopenAndLoss()
    {
        ModuleSession session;
        QSignalSpy replaced(&session, &ModuleSession::replaced);
        QSignalSpy lost(&session, &ModuleSession::lost);
        const QString resource = PanelRig::resource(PanelRig::moduleAddress);
        QCOMPARE(session.open(rig->resourceManager, resource, 1000), VI_SUCCESS);
        const ViSession first = session.vi();
        QVERIFY(first != VI_NULL);

        QCOMPARE(session.reopen(1000), VI_SUCCESS);
        QVERIFY(session.vi() != VI_NULL && session.vi() != first);
        QCOMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 1);
        QCOMPARE(replaced.count(), 1);
        char identity[256];
        QVERIFY(CommandChain(session).queryToken("*IDN?\n", identity).ok());

        rig->module->setRefuseLinks(true);
        QVERIFY(session.reopen(1000) != VI_SUCCESS);
        QCOMPARE(session.vi(), ViSession(VI_NULL));
        QCOMPARE(lost.count(), 1);
        rig->module->setRefuseLinks(false);
        QCOMPARE(session.open(rig->resourceManager, resource, 1000), VI_SUCCESS);

        LogCapture log;
        vdvisaInjectStatus("viPrintf", 1, VI_ERROR_TMO);
        QVERIFY(!CommandChain(session).command("*CLS\n").ok());
        QVERIFY(CommandChain(session).queryToken("*IDN?\n", identity).ok());
        session.traceFailure();
        session.close();
        QCOMPARE(lost.count(), 2);
        session.close();
        QCOMPARE(lost.count(), 2);
        QCOMPARE(replaced.count(), 1);
        log.stop();
        QCOMPARE(log.lines().filter(QStringLiteral("VISA call failed")), QStringList());
        QTRY_COMPARE(rig->lan.bench().openLinks(PanelRig::moduleAddress), 0);
    }

    void oneLinePerFailure_data()
    {
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("call"); // as the line shows it; empty: no line at all
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // the operator's box, if any

        QTest::newRow("closed by the operator") << Failure::None << QString() << 0 << QString();
        QTest::newRow("session refused")
            << Failure::SessionRefused << "viOpen" << int(VI_ERROR_RSRC_NFOUND)
            << "Не удалось открыть соединение!";
        QTest::newRow("limit query while starting")
            << Failure::LimitQuery << "VOLT? MAX\\n" << int(VI_ERROR_TMO) << QString();
        QTest::newRow("panel poll") << Failure::PanelPoll << "MEAS:CURR?\\n" << int(VI_ERROR_TMO)
                                    << QString();
        QTest::newRow("warning in a debug poll")
            << Failure::DebugPoll << "PIN:OVVOUT?\\n" << int(VI_SUCCESS_MAX_CNT) << QString();
        QTest::newRow("procedure on a lost module")
            << Failure::Procedure << "*RST\\n" << int(VI_ERROR_CONN_LOST)
            << "Поверка: связь с устройством разорвана!";
    }

    void oneLinePerFailure()
    {
        QFETCH(Failure, failure);
        QFETCH(QString, call);
        QFETCH(int, status);
        QFETCH(QString, message);

        DialogAnswerer answers;
        if (!message.isEmpty())
            answers.press(QStringLiteral("OK"));
        LogCapture log;
        if (failure == Failure::SessionRefused)
            vdvisaInjectStatus("viOpen", 1, status);
        if (failure == Failure::LimitQuery)
            vdvisaInjectStatus("viQueryf", 2, status);
        // The debug window polls alone: its panel is not shown.
        rig->open(PanelRig::moduleAddress, failure != Failure::DebugPoll);
        // The debug window's read-back comes back from the module's thread before anything is
        // injected.
        if (rig->panel)
            QVERIFY(waitForModuleWork(rig->panel->findChild<ModuleThread *>()));
        if (failure == Failure::PanelPoll) {
            vdvisaInjectStatus("viQueryf", 2, status);
            QMetaObject::invokeMethod(rig->panel, "gettableDataUpdate");
            QVERIFY(rig->settle());
        }
        if (failure == Failure::DebugPoll) {
            vdvisaInjectStatus("viQueryf", 1, status);
            topLevelWindow<Rvka5630Debug>()->show();
            QTRY_VERIFY(rig->disconnectRequested());
        }
        if (failure == Failure::Procedure) {
            vdvisaInjectStatus("viPrintf", 1, status);
            topLevelWindow<Rvka5630Debug>()->check_vdc(dir.filePath(QStringLiteral("vdc.html")));
            QTRY_VERIFY(rig->disconnectRequested());
        }
        if (failure == Failure::None)
            rig->widget<QPushButton>("disconnectButton")->click();
        QVERIFY(rig->disconnectRequested());
        rig->close();
        log.stop();

        QCOMPARE(answers.shown().size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(answers.shown().first().text, message);
        const QStringList traced = log.lines().filter(QStringLiteral("VISA call failed"));
        if (call.isEmpty()) {
            QCOMPARE(traced, QStringList());
            return;
        }
        ViChar description[256] = {};
        viStatusDesc(rig->resourceManager, status, description);
        const QString expected =
            QStringLiteral("VISA call failed: \"%1\" on %2, status 0x%3 (%4)")
                .arg(call, PanelRig::resource(PanelRig::moduleAddress),
                     QString::number(quint32(status), 16).toUpper(),
                     QString::fromLatin1(description));
        QCOMPARE(traced, QStringList{expected});
    }

private:
    PanelRig *rig = nullptr;
    QTemporaryDir dir;
};

QTEST_MAIN(tst_ModuleSession)
#include "tst_modulesession.moc"
