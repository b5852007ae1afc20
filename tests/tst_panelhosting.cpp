// ctest-timeout: 120
// The main window hosting module panels: connecting from the instrument list, the panel's
// requests to be closed (repeated, or made while it was being built), and closing the window
// with a panel shown, which must give the panel's session back before the resource manager.
#include "dialoganswerer.h"
#include "modulework.h"
#include "logcapture.h"
#include "rvka5630debug.h"
#include "rvka5630panel.h"
#include "searchwait.h"
#include "simlan.h"
#include "toplevelwindow.h"
#include "widget.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {
const QString first = QStringLiteral("127.0.0.2");
const QString second = QStringLiteral("127.0.0.3");
const QString title = QStringLiteral("Модуль питания RVKA5630 AXIe-0");

struct Window
{
    Widget widget;
    QTableWidget *table = widget.findChild<QTableWidget *>("devicesTable");
    QStackedWidget *stack = widget.findChild<QStackedWidget *>("stackedWidget");
    QLabel *header = widget.findChild<QLabel *>("headerLabel");

    Window()
    {
        widget.show();
        refreshAndWait(widget);
    }

    QPoint cell(int row, int column) const
    {
        return table->visualItemRect(table->item(row, column)).center();
    }
    // Press and release, then the double-click itself, as the window system delivers them.
    void doubleClick(int row, int column)
    {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell(row, column));
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell(row, column));
        settle();
    }
    // settled: returns once the new panel's start-up has come back.
    void connectRow(int row, bool settled = true)
    {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell(row, 1));
        QTest::mouseClick(widget.findChild<QPushButton *>("connectButton"), Qt::LeftButton);
        if (settled)
            settle();
    }
    // Until the panels' start-up has come back from their modules.
    void settle() const
    {
        for (Rvka5630panel *panel : stack->findChildren<Rvka5630panel *>())
            QVERIFY(waitForModuleWork(&panel->moduleThread()));
    }
    Rvka5630panel *panel() const { return qobject_cast<Rvka5630panel *>(stack->currentWidget()); }
    QStringList addresses() const
    {
        QStringList result;
        for (int row = 0; row < table->rowCount(); ++row)
            result << table->item(row, 0)->text();
        return result;
    }
};

// The main window issues a taken-down panel's deletion from its own event loop once nothing of
// the panel runs any more; let that happen, then carry the deletions out.
void processDeferredDeletions()
{
    QTest::qWait(40);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class tst_PanelHosting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void connectAndDisconnect_data();
    void connectAndDisconnect();
    void laterRequestsChangeNothing();
    void panelThatFailedWhileBuilt_data();
    void panelThatFailedWhileBuilt();
    void connectWithoutSelection();
    void closingTheWindowDisposesOfThePanelFirst_data();
    void closingTheWindowDisposesOfThePanelFirst();
    void panelTakenDownWhileItsBoxIsOpen();

private:
    int links(const QString &address) { return lan.bench().openLinks(address); }
    int limitReads(const QString &address)
    {
        return lan.bench().module(address)->transcript().count("VOLT? MIN");
    }

    SimLan lan;
};

void tst_PanelHosting::initTestCase()
{
    QVERIFY(lan.addRvka5630(first));
    QVERIFY(lan.addRvka5630(second, "Korvalis,RVKA5630,0043,1.3", "1;8;0"));
    lan.publish();
}

void tst_PanelHosting::init()
{
    for (const QString &address : {first, second}) {
        lan.bench().module(address)->clearFaults();
        lan.bench().module(address)->transcript().clear();
    }
}

void tst_PanelHosting::connectAndDisconnect_data()
{
    QTest::addColumn<int>("column"); // -1: select and press the button
    QTest::newRow("connect button") << -1;
    QTest::newRow("double-click on the address") << 0;
    QTest::newRow("double-click on the identity") << 1;
    QTest::newRow("double-click on the placement") << 2;
}

void tst_PanelHosting::connectAndDisconnect()
{
    QFETCH(int, column);
    Window w;
    const QStringList listed = w.addresses();
    QCOMPARE(listed, QStringList({SimBench::resourceName(first), SimBench::resourceName(second)}));

    for (int round = 1; round <= 2; ++round) {
        if (column < 0)
            w.connectRow(1);
        else
            w.doubleClick(1, column);
        QPointer<Rvka5630panel> panel = w.panel();
        QVERIFY(panel);
        QCOMPARE(w.stack->currentIndex(), 1);
        QCOMPARE(w.header->text(), title);
        // Each connection is a new panel with a session of its own on that row's module.
        QCOMPARE(limitReads(second), round);
        QCOMPARE(limitReads(first), 0);
        QCOMPARE(links(second), 1);

        panel->findChild<QPushButton *>("disconnectButton")->click();
        QCOMPARE(w.stack->currentIndex(), 0);
        QCOMPARE(w.stack->count(), 1);
        QCOMPARE(w.header->text(), QStringLiteral("Korvalis"));
        QCOMPARE(w.addresses(), listed);
        // The double-click connected; it left no cell editor open on the list.
        QVERIFY(!w.table->findChild<QLineEdit *>());
        QVERIFY(panel); // deleted later, not inside its own slot
        processDeferredDeletions();
        QVERIFY(!panel);
        QTRY_COMPARE(links(second), 0);
    }
}

void tst_PanelHosting::laterRequestsChangeNothing()
{
    Window w;
    w.connectRow(0);
    Rvka5630panel *leaving = w.panel();
    emit leaving->disconnectDevice();
    emit leaving->disconnectDevice();
    QCOMPARE(w.stack->currentIndex(), 0);
    QCOMPARE(w.stack->count(), 1);
    QCOMPARE(w.header->text(), QStringLiteral("Korvalis"));

    // A panel on its way out may still be finishing a slot while the next one is shown.
    w.connectRow(1, false);
    Rvka5630panel *next = w.panel();
    QVERIFY(next && next != leaving);
    emit leaving->disconnectDevice();
    QCOMPARE(w.panel(), next);
    w.settle();
    QCOMPARE(w.header->text(), title);
    processDeferredDeletions();
    QCOMPARE(w.panel(), next);
}

void tst_PanelHosting::panelThatFailedWhileBuilt_data()
{
    QTest::addColumn<bool>("refuseSession");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("session refused") << true << QStringList{"Не удалось открыть соединение!"};
    QTest::newRow("limit query fails") << false << QStringList();
}

void tst_PanelHosting::panelThatFailedWhileBuilt()
{
    QFETCH(bool, refuseSession);
    QFETCH(QStringList, messages);

    Window w;
    SimModule *module = lan.bench().module(first);
    if (refuseSession)
        module->setRefuseLinks(true); // it answered the search, but takes no new session
    else
        module->failNth("VOLT? MAX", 1, SimModule::Fault::BreakLink);
    DialogAnswerer answers;
    for (int i = 0; i < messages.size(); ++i)
        answers.press("OK");
    w.connectRow(0);

    QStringList shown;
    for (const DialogAnswerer::Shown &box : answers.shown())
        shown << box.text;
    QCOMPARE(shown, messages);
    QCOMPARE(w.stack->currentIndex(), 0);
    QCOMPARE(w.stack->count(), 1);
    QCOMPARE(w.header->text(), QStringLiteral("Korvalis"));
    processDeferredDeletions();
    QVERIFY(w.stack->findChildren<Rvka5630panel *>().isEmpty());
    QTRY_COMPARE(links(first), 0);

    // The module stays listed and can be connected again.
    module->clearFaults();
    module->setRefuseLinks(false);
    w.connectRow(0);
    QCOMPARE(w.stack->currentIndex(), 1);
}

void tst_PanelHosting::connectWithoutSelection()
{
    Window w;
    w.table->clearSelection();
    QMetaObject::invokeMethod(&w.widget, "on_connectButton_clicked");
    QCOMPARE(w.stack->currentIndex(), 0);
    QCOMPARE(w.stack->count(), 1);
    QCOMPARE(limitReads(first) + limitReads(second), 0);
}

void tst_PanelHosting::closingTheWindowDisposesOfThePanelFirst_data()
{
    QTest::addColumn<bool>("eventLoopAfterClose");
    QTest::newRow("deferred deletions run") << true;
    QTest::newRow("window destroyed at once") << false;
}

void tst_PanelHosting::closingTheWindowDisposesOfThePanelFirst()
{
    QFETCH(bool, eventLoopAfterClose);

    auto w = std::make_unique<Window>();
    w->connectRow(0);
    QPointer<Rvka5630panel> panel = w->panel();
    panel->findChild<QPushButton *>("debugShowButton")->click();
    QPointer<Rvka5630Debug> debug = topLevelWindow<Rvka5630Debug>();
    QVERIFY(debug && debug->isVisible());

    const ViSession resourceManager = w->widget.resourceManager();
    LogCapture log;
    QVERIFY(w->widget.close());
    QCOMPARE(w->stack->currentIndex(), 0);
    QCOMPARE(w->header->text(), QStringLiteral("Korvalis"));
    if (eventLoopAfterClose)
        processDeferredDeletions();
    w.reset();
    processDeferredDeletions();
    log.stop();

    QVERIFY(!panel);
    QVERIFY(!debug);
    const QStringList logLines = log.lines();
    const int panelGone = logLines.indexOf("~Direrure5630");
    QVERIFY(panelGone >= 0);
    QVERIFY2(panelGone < logLines.indexOf("~Widget"), qPrintable(logLines.join(" / ")));
    // The window closed its resource manager: the handle no longer names an object.
    ViUInt32 unused = 0;
    QCOMPARE(viGetAttribute(resourceManager, VI_ATTR_TMO_VALUE, &unused), VI_ERROR_INV_OBJECT);
    QTRY_COMPARE(links(first), 0);
}

// The module fails a poll of the visible debug window while the panel shows one of its own
// message boxes: the main window takes the panel down at once, but the panel must live on
// until its slot has returned from the box.
void tst_PanelHosting::panelTakenDownWhileItsBoxIsOpen()
{
    Window w;
    w.connectRow(0);
    QPointer<Rvka5630panel> panel = w.panel();
    QVERIFY(panel);
    panel->findChild<QPushButton *>("debugShowButton")->click();
    SimModule *module = lan.bench().module(w.table->item(0, 0)->text().section("::", 1, 1));
    QVERIFY(module);

    panel->findChild<QSpinBox *>("sbInOutTrigger")->setValue(3);
    panel->findChild<QSpinBox *>("sbAbortTrigger")->setValue(3);
    // No code of the panel waits for its box: the panel goes at once, and its box with it.
    bool takenDownWhileOpen = false;
    bool boxWentWithPanel = false;
    DialogAnswerer answerer;
    answerer.press("OK").inspect([&](QDialog *box) {
        const QPointer<QDialog> shown(box);
        module->failNth("PIN:OVVOUT?", 1, SimModule::Fault::BreakLink);
        QElapsedTimer waited;
        waited.start();
        while ((w.stack->currentIndex() != 0 || panel) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        takenDownWhileOpen = w.stack->currentIndex() == 0 && !panel;
        boxWentWithPanel = !shown;
    });
    QVERIFY(QMetaObject::invokeMethod(panel, "on_setupTriggersButton_clicked"));
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY(answerer.unexpected().isEmpty());
    QCOMPARE(answerer.shown().value(0).text, QStringLiteral("Недопустимая комбинация!"));
    QCOMPARE(answerer.shown().value(0).answer, QStringLiteral("gone"));
    QVERIFY(takenDownWhileOpen);
    QVERIFY(boxWentWithPanel);
    QCOMPARE(w.header->text(), QStringLiteral("Korvalis"));
    module->clearFaults();
}

QTEST_MAIN(tst_PanelHosting)
#include "tst_panelhosting.moc"
