// ctest-timeout: 240
// The debug window's command console against a simulated module hosted in a module panel:
// queries, commands with the error queue read after them, a block reply and a time-out, each
// in the module's transcript and the console's output; the history across a restart of the
// window; the console locked while a procedure or a calibration has the module, while the
// I/O monitor stays usable; and a failed call that leaves the panel open where a lost link
// closes it.
#include "commandconsole.h"
#include "consoleexchange.h"
#include "consolehistory.h"
#include "dialoganswerer.h"
#include "iomonitor.h"
#include "iorecorder.h"
#include "modulework.h"
#include "panelrig.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "timefacility.h"
#include "toplevelwindow.h"

#include <vdvisa_testing.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The panel's debug window with its console open.
struct ConsoleWindow
{
    Rvka5630Debug *debug = nullptr;
    CommandConsole *console = nullptr;

    explicit ConsoleWindow(PanelRig &rig) : rig(rig)
    {
        if (!rig.open(PanelRig::moduleAddress))
            return;
        debug = topLevelWindow<Rvka5630Debug>();
        if (!debug)
            return;
        child<QPushButton>("consoleButton")->click();
        console = debug->findChild<CommandConsole *>();
    }

    template <class T> T *child(const char *name) const
    {
        QWidget *inside = console ? static_cast<QWidget *>(console) : debug;
        T *found = inside->findChild<T *>(QString::fromLatin1(name));
        return found ? found : debug->findChild<T *>(QString::fromLatin1(name));
    }

    // Types line and presses Enter; returns what the output shows of it once its reply has
    // come back.
    QString type(const QString &line)
    {
        auto *output = child<QPlainTextEdit>("consoleOutput");
        const int before = output->toPlainText().size();
        child<QLineEdit>("consoleInput")->setText(line);
        QTest::keyClick(child<QLineEdit>("consoleInput"), Qt::Key_Return);
        rig.settle();
        const QString added = output->toPlainText().mid(before);
        return added.startsWith('\n') ? added.mid(1) : added;
    }

    PanelRig &rig;
};

void forgetHistory()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Korvalis", "voltaDesk")
        .remove("console/history");
}

} // namespace

class tst_CommandConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        rig = new PanelRig;
        QVERIFY(rig->ready());
        QVERIFY(dir.isValid());
    }

    void init()
    {
        rig->reset();
        vdvisaClearInjections();
        IoRecorder::instance().clear();
        forgetHistory();
    }

    void cleanup() { rig->close(); }

    void cleanupTestCase() { delete rig; }

    // What the console takes for a query, and how much of a block it still waits for.
    void queriesAndBlocksRecognised()
    {
        const QPair<const char *, bool> lines[] = {
            {"*IDN?", true},
            {"VOLT 5", false},
            {"VOLT?;CURR 1", true},
            {"OUTP 1;OUTP?", true},
            {"VOLT? MAX", true},
            {"MEAS:VOLT ?", true},
            {"DISP \"Ready?\"", false},
            {"DISP 'a;b?';OUTP 1", false},
            {"OUTP 1;", false},
            {"", false},
        };
        for (const auto &line : lines)
            QVERIFY2(ConsoleExchange::isQuery(line.first) == line.second, line.first);
        const QPair<QByteArray, qint64> replies[] = {
            {"#16abc", 3}, {"#16abcdef\n", 0}, {"#3", -1},    {"#", -1},
            {"#0\n", 0},   {"#1x", 0},         {"+1.5\n", 0}, {"", 0},
        };
        for (const auto &reply : replies)
            QVERIFY2(ConsoleExchange::blockRemainder(reply.first) == reply.second,
                     reply.first.constData());
    }

    void queriesCommandsBlocksAndTimeOut()
    {
        ConsoleWindow window(*rig);
        QVERIFY(window.console);
        QVERIFY(window.console->isWindow());
        QCOMPARE(window.console->parentWidget(), window.debug);
        SimTranscript &sent = rig->module->transcript();

        // A query shows its reply with control characters escaped, its status and duration.
        rig->model->setIdentity("Korvalis,RVKA5630,0042,1.3");
        QString shown = window.type("*IDN?");
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  ⇄ \\*IDN\\?\\\\n  ⇒  "
                                    "Korvalis,RVKA5630,0042,1\\.3\\\\n\\n +VI_SUCCESS, "
                                    "\\d+\\.\\d{3} мс$")
                     .match(shown)
                     .hasMatch(),
                 qPrintable(shown));
        QCOMPARE(sent.count("*IDN?\n"), 1);

        // A command, with the error queue read right after it in the same turn.
        window.child<QCheckBox>("errorQueueCheck")->setChecked(true);
        shown = window.type("VOLT 5;OUTP:PROT:IGNORE");
        QVERIFY2(shown.contains("→ VOLT 5;OUTP:PROT:IGNORE\\n\n") &&
                     shown.contains("\n              *ERR?  ⇒  0,"),
                 qPrintable(shown));
        const QVector<QByteArray> messages = sent.messages();
        const int command = messages.indexOf("VOLT 5;OUTP:PROT:IGNORE\n");
        QVERIFY(command >= 0);
        QCOMPARE(messages.value(command + 1), QByteArray("*ERR?\n"));
        // A query after a command unit is a query; its reply comes back.
        shown = window.type("OUTP 0;VOLT?");
        QVERIFY2(shown.contains("⇄ OUTP 0;VOLT?\\n  ⇒  5"), qPrintable(shown));
        QVERIFY(!shown.contains("*ERR?"));
        // A command the module does not know shows the module's error.
        shown = window.type("NO:SUCH 1");
        QVERIFY2(shown.contains("*ERR?  ⇒  ") && !shown.contains("*ERR?  ⇒  0,"),
                 qPrintable(shown));
        window.child<QCheckBox>("errorQueueCheck")->setChecked(false);

        // A definite-length block, line feeds inside its data, is read whole by its length
        // and its data saved on its own.
        const QByteArray records("\x01\n\x02\n\n\xff", 6);
        rig->model->setSelfTestRecords(records);
        QVERIFY(!window.child<QPushButton>("saveBlockButton")->isEnabled());
        shown = window.type("MEAS:SELFTEST?");
        QVERIFY2(shown.contains("⇄ MEAS:SELFTEST?\\n  ⇒  блок: заголовок #16, длина 6 байт\n"),
                 qPrintable(shown));
        QVERIFY(shown.contains("VI_SUCCESS"));
        QVERIFY(window.child<QPushButton>("saveBlockButton")->isEnabled());
        const QString blockFile = dir.filePath("records.bin");
        DialogAnswerer answerer;
        answerer.choosePath(blockFile);
        window.child<QPushButton>("saveBlockButton")->click();
        QVERIFY(answerer.waitUntilAnswered());
        QFile saved(blockFile);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), records);
        // The next exchange finds the module in step: nothing of the block was left unread.
        QVERIFY(window.type("*IDN?").contains("⇒  Korvalis,RVKA5630"));

        // A query the module does not know is never answered: it times out, and the panel
        // stays.
        shown = window.type("NO:SUCH?");
        QVERIFY2(shown.contains("⇄ NO:SUCH?\\n  ⇒  \n") &&
                     shown.contains("ошибка: 0xbfff0015 VI_ERROR_TMO"),
                 qPrintable(shown));
        QVERIFY(!rig->disconnectRequested());
        QVERIFY(rig->panel);
        QCOMPARE(sent.count("NO:SUCH?\n"), 1);

        // The I/O record holds each of them, marked as the console's.
        QStringList fromConsole;
        for (const IoExchange &exchange : IoRecorder::instance().since(0))
            if (exchange.fromConsole)
                fromConsole << QString::fromLatin1(exchange.sent);
        QCOMPARE(fromConsole, QStringList({"*IDN?\n", "VOLT 5;OUTP:PROT:IGNORE\n", "*ERR?\n",
                                           "OUTP 0;VOLT?\n", "NO:SUCH 1\n", "*ERR?\n",
                                           "MEAS:SELFTEST?\n", "*IDN?\n", "NO:SUCH?\n"}));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void historyAcrossRestart()
    {
        {
            ConsoleWindow window(*rig);
            QVERIFY(window.console);
            for (const char *line : {"*CLS", "VOLT?", "VOLT?", "CURR?"})
                window.type(line);
        }
        rig->close();
        ConsoleWindow window(*rig);
        QVERIFY(window.console);
        auto *input = window.child<QLineEdit>("consoleInput");
        input->setText("typed");
        QStringList walked;
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down,
                            Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(input, key);
            walked << input->text();
        }
        // A line repeated right after itself is kept once; past the newest the typed line
        // comes back.
        QCOMPARE(walked,
                 QStringList({"CURR?", "VOLT?", "*CLS", "*CLS", "VOLT?", "CURR?", "typed"}));

        // The filter finds earlier lines; one chosen goes to the input.
        window.child<QLineEdit>("historyFilter")->setText("volt");
        auto *list = window.child<QListWidget>("historyList");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("VOLT?"));
        emit list->itemActivated(list->item(0));
        QCOMPARE(input->text(), QStringLiteral("VOLT?"));

        // The settings keep the newest lines only.
        ConsoleHistory history;
        for (int i = 0; i < ConsoleHistory::capacity; ++i)
            history.add(QStringLiteral("LINE %1").arg(i));
        const QStringList kept = ConsoleHistory().lines();
        QCOMPARE(kept.size(), ConsoleHistory::capacity);
        QCOMPARE(kept.first(), QStringLiteral("LINE 0"));
        QCOMPARE(kept.last(), QStringLiteral("LINE %1").arg(ConsoleHistory::capacity - 1));
    }

    void lockedWhileTheModuleIsTaken()
    {
        SimSerialMultimeter *meter = rig->lan.addMultimeter(PanelRig::moduleAddress);
        SimSerialLoad *load = rig->lan.addLoad(PanelRig::moduleAddress);
        QVERIFY(meter && load);
        rig->lan.publishSerialPorts();
        ConsoleWindow window(*rig);
        QVERIFY(window.console);
        window.debug->show();
        window.child<QPushButton>("ioMonitorButton")->click();
        auto *monitor = topLevelWindow<IoMonitor>();
        QVERIFY(monitor);

        // A verification runs: the console is locked, the monitor pauses, filters and follows.
        window.child<QCheckBox>("cbVdc")->setChecked(true);
        window.child<QLineEdit>("leVdc")->setText(dir.filePath("vdc.html"));
        window.child<QPushButton>("runScriptsButton")->click();
        QTRY_VERIFY(window.debug->findChild<QProgressDialog *>() &&
                    window.debug->findChild<QProgressDialog *>()->isVisible());
        QTRY_VERIFY(!meter->transcript().messages().isEmpty());
        QVERIFY(!window.debug->isEnabled());
        QVERIFY(!window.console->isEnabled());
        QVERIFY(monitor->isEnabled());
        QVERIFY(!monitor->windowHandle() || !monitor->windowHandle()->transientParent());
        auto *filter = monitor->findChild<QComboBox *>("instrumentFilter");
        QTRY_VERIFY(filter->findText(meter->path()) > 0);
        filter->setCurrentIndex(filter->findText(meter->path()));
        const int shownBefore = monitor->shownText().count('\n');
        QTRY_VERIFY(monitor->shownText().count('\n') > shownBefore);
        for (const QString &row : monitor->shownText().split('\n', Qt::SkipEmptyParts))
            QCOMPARE(row.section('\t', 1, 1), meter->path());
        monitor->findChild<QPushButton *>("pauseButton")->click();
        const QString paused = monitor->shownText();
        QTest::qWait(600);
        QCOMPARE(monitor->shownText(), paused);
        monitor->findChild<QPushButton *>("pauseButton")->click();

        window.debug->findChild<QProgressDialog *>()->findChild<QPushButton *>()->click();
        QVERIFY(waitForModuleWork(&rig->panel->moduleThread(), 60000));
        QTRY_VERIFY(window.debug->isEnabled());
        QVERIFY(window.console->isEnabled());

        // A calibration is the panel's, but it takes the module too.
        DialogAnswerer answerer;
        bool lockedDuringCalibration = false;
        answerer.press("Отмена").inspect(
            [&](QDialog *) { lockedDuringCalibration = !window.console->isEnabled(); });
        rig->widget<QPushButton>("calibButton")->click();
        QVERIFY(answerer.waitUntilAnswered());
        QVERIFY(lockedDuringCalibration);
        QTRY_VERIFY(window.console->isEnabled());
        QVERIFY(answerer.unexpected().isEmpty());
        qputenv("VOLTADESK_SERIAL_PORTS", "");
    }

    void failedCallKeepsThePanelLostLinkClosesIt()
    {
        ConsoleWindow window(*rig);
        QVERIFY(window.console);
        // Only the console writes with viWrite: the panel's own calls are formatted.
        vdvisaInjectStatus("viWrite", 1, VI_ERROR_IO);
        QString shown = window.type("OUTP 1");
        QVERIFY2(shown.contains("ошибка: 0xbfff003e VI_ERROR_IO"), qPrintable(shown));
        QVERIFY(!rig->disconnectRequested());
        QTest::qWait(300);
        QVERIFY(!rig->disconnectRequested());
        QVERIFY(rig->panel && rig->panel->isVisible());

        vdvisaInjectStatus("viWrite", 1, VI_ERROR_CONN_LOST);
        shown = window.type("*IDN?");
        QVERIFY2(shown.contains("VI_ERROR_CONN_LOST"), qPrintable(shown));
        QVERIFY(rig->disconnectRequested());
    }

private:
    PanelRig *rig = nullptr;
    QTemporaryDir dir;
};

QTEST_MAIN(tst_CommandConsole)
#include "tst_commandconsole.moc"
