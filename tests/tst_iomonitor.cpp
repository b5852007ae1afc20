// ctest-timeout: 120
// The I/O record and its window "Журнал обмена": what the program's I/O helpers record for a
// formatted query, a failed one, a block written and a block read, and a serial query; the
// filter, pause and clear of the window, its place kept across a filter change and the header
// of a saved log; and the ring that never holds more than its bound.
#include "definiteblock.h"
#include "commandchain.h"
#include "ioexchangemodel.h"
#include "iomonitor.h"
#include "iorecorder.h"
#include "panelrig.h"
#include "serialline.h"
#include "timefacility.h"

#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSerialPort>
#include <QTableView>
#include <QtTest>

class tst_IoMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void recordsExchanges();
    void windowFilterPauseClear();
    void filterKeepsPlaceAndSavedLogHasHeader();
    void ringBound();

private:
    // The rows the window shows, tab-separated columns, without the time and duration.
    static QStringList rows(const IoMonitor &monitor);

    PanelRig *rig = nullptr;
};

void tst_IoMonitor::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());
}

void tst_IoMonitor::cleanup()
{
    IoRecorder::instance().clear();
    IoRecorder::instance().setEnabled(true);
}

QStringList tst_IoMonitor::rows(const IoMonitor &monitor)
{
    QStringList shown;
    for (const QString &line : monitor.shownText().split('\n', Qt::SkipEmptyParts)) {
        QStringList cells = line.split('\t');
        cells.removeLast();  // duration
        cells.removeFirst(); // time
        shown << cells.join('\t');
    }
    return shown;
}

void tst_IoMonitor::recordsExchanges()
{
    const QString module = PanelRig::resource(PanelRig::scriptedAddress);
    ViSession vi = VI_NULL;
    QCOMPARE(viOpen(rig->resourceManager, module.toLatin1().constData(), VI_NULL, 1000, &vi),
             VI_SUCCESS);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300);
    rig->script->setReply("MEAS:VOLT?\n", "12.5\n");
    rig->script->setReply("MEMREAD? 0x08000000,0x00000004\n", QByteArray("#14\x01\r\0\xff", 8));
    IoRecorder::instance().clear();

    double volts = 0;
    char token[16];
    CommandChain(vi).query("MEAS:VOLT?\n", "%lf", &volts);
    CommandChain(vi).queryToken("NOTHING?\n", token); // no reply: times out
    const QByteArray image(4096, '\x55');
    QCOMPARE(DefiniteBlock::write(vi, "FLASH:TEMP:WRITE2 0,", image.constData(), image.size()),
             VI_SUCCESS);
    QByteArray block;
    CommandChain(vi).command("MEMREAD? 0x%08X,0x%08X\n", 0x08000000u, 4u);
    // The last read stops at the count asked for, a warning, not a failure.
    QCOMPARE(DefiniteBlock::read(vi, block, 4), VI_SUCCESS_MAX_CNT);
    viClose(vi);

    SimSerialMultimeter *meter = rig->lan.addMultimeter(PanelRig::moduleAddress);
    QVERIFY(meter);
    meter->setReplyOverride("+1.2500E+00\r\n");
    QSerialPort port;
    port.setPortName(meter->path());
    QVERIFY(openSerialLine(port));
    QCOMPARE(serialQuery(port, "MEAS:VOLT:DC?\n").outcome, SerialReading::Outcome::Value);
    port.close();

    IoMonitor monitor(nullptr);
    const QString timeout = rows(monitor).value(1).section('\t', 3);
    const QString countReached = rows(monitor).value(4).section('\t', 3);
    QCOMPARE(rows(monitor),
             QStringList({module + "\t⇄\tMEAS:VOLT?\\n  ⇒  12.5\tVI_SUCCESS",
                          module + "\t⇄\tNOTHING?\\n  ⇒  \t" + timeout,
                          module + "\t→\tFLASH:TEMP:WRITE2 0,#44096 [блок, длина 4096]\tVI_SUCCESS",
                          module + "\t→\tMEMREAD? 0x08000000,0x00000004\\n\tVI_SUCCESS",
                          module + "\t←\t#14 [блок, длина 4]\t" + countReached,
                          meter->path() + "\t⇄\tMEAS:VOLT:DC?\\n  ⇒  +1.2500E+00\\r\\n\tзначение"}));
    // The time-out shows its status code and what it means.
    // A status other than success shows its code and what it means.
    QVERIFY2(timeout.startsWith("0xbfff0015 VI_ERROR_TMO"), qPrintable(timeout));
    QVERIFY2(countReached.startsWith("0x3fff0006 "), qPrintable(countReached));
    QCOMPARE(block, QByteArray("\x01\r\0\xff", 4));
    // Every entry carries the time it was made and how long it took.
    const QVector<IoExchange> recorded = IoRecorder::instance().since(0);
    QCOMPARE(recorded.size(), 6);
    QVERIFY(recorded[1].durationUs >= 250000);
    QVERIFY(qAbs(recorded[5].msecsSinceEpoch - QDateTime::currentMSecsSinceEpoch()) < 60000);
}

void tst_IoMonitor::windowFilterPauseClear()
{
    auto entry = [](const char *instrument, const char *text) {
        IoExchange exchange;
        exchange.instrument = instrument;
        exchange.sent = text;
        exchange.outcome = "записано";
        IoRecorder::instance().record(exchange);
    };
    entry("/dev/pts/7", "SYST:REM\n");
    entry("TCPIP0::127.0.0.2::inst0::INSTR", "OUTP 1\n");
    IoMonitor monitor(nullptr);
    QCOMPARE(rows(monitor).size(), 2);
    // The window opens inside the screen's free area, however small the screen.
    monitor.show();
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(
        monitor.frameGeometry()));

    auto *filter = monitor.findChild<QComboBox *>("instrumentFilter");
    QCOMPARE(filter->count(), 3); // all, then each instrument as it first appears
    filter->setCurrentIndex(1);
    QCOMPARE(rows(monitor), QStringList({"/dev/pts/7\t→\tSYST:REM\\n\tзаписано"}));
    // The data column's whole text is its tooltip, however narrow the column.
    auto *table = monitor.findChild<QTableView *>("exchangeTable");
    QCOMPARE(table->model()->index(0, IoExchangeModel::Bytes).data(Qt::ToolTipRole),
             QVariant("SYST:REM\\n"));

    // Paused, the list stands still; the record goes on and the list catches up on resume.
    monitor.findChild<QPushButton *>("pauseButton")->click();
    entry("/dev/pts/7", "SYST:LOC\n");
    monitor.refresh();
    QCOMPARE(rows(monitor).size(), 1);
    monitor.findChild<QPushButton *>("pauseButton")->click();
    QCOMPARE(rows(monitor).size(), 2);

    monitor.findChild<QPushButton *>("clearButton")->click();
    QCOMPARE(IoRecorder::instance().size(), 0);
    filter->setCurrentIndex(0);
    QVERIFY(rows(monitor).isEmpty());
    entry("/dev/pts/7", "SYST:REM\n");
    monitor.refresh();
    QCOMPARE(rows(monitor).size(), 1);
}

void tst_IoMonitor::filterKeepsPlaceAndSavedLogHasHeader()
{
    const QString module = PanelRig::resource(PanelRig::moduleAddress);
    for (int i = 0; i < 200; ++i) {
        IoExchange exchange;
        exchange.instrument = i % 2 ? QStringLiteral("/dev/pts/7") : module;
        exchange.sent = "N" + QByteArray::number(i);
        exchange.outcome = "записано";
        exchange.fromConsole = i == 0;
        IoRecorder::instance().record(exchange);
    }
    IoMonitor monitor(nullptr);
    monitor.resize(700, 300);
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    auto *table = monitor.findChild<QTableView *>("exchangeTable");
    auto *filter = monitor.findChild<QComboBox *>("instrumentFilter");
    const auto topRow = [table] {
        return table->indexAt(QPoint(1, 1)).siblingAtColumn(IoExchangeModel::Bytes).data();
    };
    // What the console sent is marked as the console's.
    QCOMPARE(table->model()->index(0, IoExchangeModel::Direction).data(), QVariant("→ консоль"));
    QCOMPARE(table->model()->index(1, IoExchangeModel::Direction).data(), QVariant("→"));

    // Scrolled back to entry 100, the operator shows one instrument: the view stays there, at
    // the next entry of that instrument.
    table->scrollTo(table->model()->index(100, 0), QAbstractItemView::PositionAtTop);
    QCOMPARE(topRow(), QVariant("N100"));
    filter->setCurrentIndex(2);
    QCOMPARE(filter->currentText(), QStringLiteral("/dev/pts/7"));
    QCOMPARE(topRow(), QVariant("N101"));
    // A chosen entry in view stays in view, at the top, when everything is shown again.
    table->setCurrentIndex(table->model()->index(60, IoExchangeModel::Bytes));
    QCOMPARE(table->currentIndex().data(), QVariant("N121"));
    filter->setCurrentIndex(0);
    QCOMPARE(topRow(), QVariant("N121"));
    QCOMPARE(table->currentIndex().data(), QVariant("N121"));
    // At the newest entry, the view follows the newest one.
    table->setCurrentIndex(QModelIndex());
    table->scrollToBottom();
    filter->setCurrentIndex(1);
    QCOMPARE(table->verticalScrollBar()->value(), table->verticalScrollBar()->maximum());
    QVERIFY(table->verticalScrollBar()->maximum() > 0);

    // The saved log says what it is, when it was saved, which instruments it names in full and
    // whether it holds the filtered view; then come the column titles and the rows shown.
    TimeFacility::instance().setWallClock(QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    filter->setCurrentIndex(2);
    const QStringList saved = monitor.savedText().split('\n');
    TimeFacility::instance().resetWallClock();
    const QRegularExpression title("^Журнал обмена voltaDesk \\d+\\.\\d+$");
    QVERIFY2(title.match(saved.value(0)).hasMatch(), qPrintable(saved.value(0)));
    QVERIFY2(saved.value(1).startsWith("Сохранён: 2026-12-08 09:30:00"),
             qPrintable(saved.value(1)));
    QCOMPARE(saved.mid(2, 6),
             QStringList({"Приборы:", "  " + module, "  /dev/pts/7",
                          "Записи: только прибор /dev/pts/7 (фильтр), 100 из 200", "",
                          "Время\tПрибор\tНаправление\tДанные\tСостояние\tДлительность, мс"}));
    QCOMPARE(saved.mid(8).join('\n'), monitor.shownText());
    filter->setCurrentIndex(0);
    QCOMPARE(monitor.savedText().split('\n').value(5), QStringLiteral("Записи: все, 200"));
}

void tst_IoMonitor::ringBound()
{
    IoRecorder &recorder = IoRecorder::instance();
    IoMonitor monitor(nullptr);
    auto record = [&recorder](int count) {
        for (int i = 0; i < count; ++i) {
            IoExchange exchange;
            exchange.sent = QByteArray::number(i);
            recorder.record(exchange);
        }
    };
    record(1);
    const quint64 first = recorder.since(0).last().number;
    record(IoRecorder::capacity - 11);
    monitor.refresh();
    record(15);
    QCOMPARE(recorder.size(), IoRecorder::capacity);
    const QVector<IoExchange> held = recorder.since(0);
    QCOMPARE(held.size(), IoRecorder::capacity);
    QCOMPARE(held.first().number, first + 5);
    QCOMPARE(held.last().number, first + IoRecorder::capacity + 4);
    QCOMPARE(recorder.since(held.last().number - 3).size(), 3);

    // The window keeps as many rows, the newest; so does it after a pause that outlasted the
    // ring.
    monitor.refresh();
    auto *table = monitor.findChild<QTableView *>("exchangeTable");
    QCOMPARE(table->model()->rowCount(), IoRecorder::capacity);
    QCOMPARE(table->model()->index(IoRecorder::capacity - 1, IoExchangeModel::Bytes).data(),
             QVariant("14"));
    monitor.findChild<QPushButton *>("pauseButton")->click();
    record(IoRecorder::capacity + 7);
    monitor.findChild<QPushButton *>("pauseButton")->click();
    QCOMPARE(table->model()->rowCount(), IoRecorder::capacity);
    QCOMPARE(table->model()->index(0, IoExchangeModel::Bytes).data(), QVariant("7"));

    // A long text keeps its first bytes, and says it was cut.
    recorder.clear();
    IoExchange longLine;
    longLine.sent = QByteArray(IoRecorder::textBytes + 1, 'A');
    recorder.record(longLine);
    QCOMPARE(recorder.since(0).last().sent, QByteArray(IoRecorder::textBytes, 'A'));
    QVERIFY(recorder.since(0).last().sentCut);
    monitor.refresh();
    QVERIFY(monitor.shownText().contains(QByteArray(IoRecorder::textBytes, 'A') + "…\t"));

    // Switched off, as the query benchmark does, the helpers record nothing.
    recorder.clear();
    recorder.setEnabled(false);
    IoCall(QStringLiteral("COM1")).finishAs("записано");
    QCOMPARE(recorder.size(), 0);
}

QTEST_MAIN(tst_IoMonitor)
#include "tst_iomonitor.moc"
