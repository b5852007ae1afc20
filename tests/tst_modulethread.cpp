// The module's thread: work runs there in order and its results come back to the GUI thread;
// a receiver that has gone gets nothing; a module that stops answering never holds the window,
// still closes its panel after its I/O time-out, and "Отключиться" during the hang returns at
// once.
#include "eventloopgaps.h"
#include "logcapture.h"
#include "modulethread.h"
#include "modulework.h"
#include "panelrig.h"
#include "rvka5630panel.h"
#include "simmodule.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <memory>

class tst_ModuleThread : public QObject
{
    Q_OBJECT

private slots:
    void workRunsInOrderOffTheGuiThread();
    void aSilentModuleNeverHoldsTheWindow();
};

void tst_ModuleThread::workRunsInOrderOffTheGuiThread()
{
    ModuleThread module;
    QVector<int> ran, shown;
    QThread *ranOn = nullptr;
    for (int i = 1; i <= 5; ++i)
        module.run(
            this,
            [&ran, &ranOn, i](ModuleSession &) {
                ran.append(i);
                ranOn = QThread::currentThread();
                return i * 10;
            },
            [&shown](int result) {
                QCOMPARE(QThread::currentThread(), qApp->thread());
                shown.append(result);
            });
    QVERIFY(module.busy());
    QVERIFY(waitForModuleWork(&module));
    QCOMPARE(ran, QVector<int>({1, 2, 3, 4, 5}));
    QCOMPARE(shown, QVector<int>({10, 20, 30, 40, 50}));
    QCOMPARE(ranOn, module.workThread());

    // The receiver goes while its work is out: the work runs, its result is dropped.
    auto receiver = std::make_unique<QObject>();
    bool doneRan = false;
    std::atomic<bool> workRan{false};
    module.run(receiver.get(), [&workRan](ModuleSession &) { workRan = true; },
               [&doneRan] { doneRan = true; });
    receiver.reset();
    QVERIFY(waitForModuleWork(&module));
    QVERIFY(workRan);
    QVERIFY(!doneRan);

    // What a piece of work posts to the window before its result (a procedure's queued
    // progress) is shown before that result, even when an earlier result is still waiting to
    // be shown as the work ends.
    QStringList order;
    module.run(this, [](ModuleSession &) {}, [&order] { order << "first result"; });
    module.run(
        this,
        [this, &order](ModuleSession &) {
            QMetaObject::invokeMethod(this, [&order] { order << "posted"; }, Qt::QueuedConnection);
        },
        [&order] { order << "second result"; });
    // The window busy meanwhile: both pieces of work end before it looks at its events.
    QThread::msleep(200);
    QVERIFY(waitForModuleWork(&module));
    QCOMPARE(order, QStringList({"first result", "posted", "second result"}));
}

void tst_ModuleThread::aSilentModuleNeverHoldsTheWindow()
{
    PanelRig rig;
    QVERIFY(rig.ready());
    Rvka5630panel *panel = rig.open(PanelRig::moduleAddress);
    QVERIFY(panel && !rig.disconnectRequested());

    // The module stops answering while it is polled: the panel asks to be closed once a
    // read-out has waited out its 2 s time-out, and says which call failed.
    {
        LogCapture log;
        EventLoopGaps gaps;
        QElapsedTimer hang;
        hang.start();
        rig.module->setMute(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.disconnectRequested(), 10000);
        QVERIFY2(hang.elapsed() >= 2000, qPrintable(QString::number(hang.elapsed())));
        QVERIFY2(gaps.longestMs() < 50, qPrintable(QString::number(gaps.longestMs())));
        log.stop();
        QVERIFY(log.lines().filter("VISA call failed: \"MEAS:").size() == 1);
        QVERIFY(log.lines().filter("VI_ERROR_TMO").size() == 1);
    }
    // The simulated module serves one output for all its links: a read of the panel's last poll
    // still waiting out its time-out there would take the next panel's first reply.
    rig.close();
    QTest::qWait(2500);
    rig.module->setMute(false);

    // "Отключиться" while a read-out hangs: the click and the panel's deletion return at once,
    // and the call under way is interrupted rather than waited out.
    panel = rig.open(PanelRig::moduleAddress);
    QVERIFY(panel && !rig.disconnectRequested());
    const QPointer<QThread> thread = panel->moduleThread().workThread();
    rig.module->setMute(true);
    QTRY_VERIFY(panel->moduleThread().busy()); // the next poll is out, and hangs
    EventLoopGaps gaps;
    QElapsedTimer clock;
    clock.start();
    rig.widget<QPushButton>("disconnectButton")->click();
    rig.close();
    QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(rig.disconnectRequested());
    // The interrupted thread ends well before the 2 s time-out.
    QTRY_VERIFY_WITH_TIMEOUT(!thread || thread->isFinished(), 1000);
    QVERIFY(gaps.longestMs() < 50);
    rig.module->setMute(false);
}

QTEST_MAIN(tst_ModuleThread)
#include "tst_modulethread.moc"
