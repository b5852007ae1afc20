// ctest-timeout: 180
// The module's self-test on the panel: the status check that locks or releases the output,
// the operator's run with its progress wait and verdict, and the HTML report of the stored
// results, checked against what the module received and what the operator sees.
#include "dialoganswerer.h"
#include "modulethread.h"
#include "modulework.h"
#include "panelrig.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"
#include "timefacility.h"
#include "toplevelwindow.h"

#include <vdvisa_testing.h>

#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
using Messages = QVector<QByteArray>;

const Messages readBack = {"VOLT?\n",           "CURR?\n",          "VOLT:PROT?\n", "OUTP?\n",
                           "TRIG:CONF:SOUR?\n", "TRIG:CONF:ERR?\n", "OVPOWER?\n"};
const QString title = QStringLiteral("Самоконтроль");
const QString run = QStringLiteral("Выполнить");
const QString save = QStringLiteral("Сохранить результат");
const QString carryOn = QStringLiteral("Продолжить");
const QString ignore = QStringLiteral("Игнорировать");
const QString lockedText =
    QStringLiteral("Самотестирование не было пройдено.\nУправление выходом заблокировано.");

QByteArray reportFile(const QByteArray &identity, const QByteArray &rows)
{
    return "\xEF\xBB\xBF<style>TABLE{border-collapse: collapse;}TD, TH{padding: 3px; "
           "padding-top: 5px; padding-bottom: 5px; border: 1px solid black;}</style><table>"
           "<thead>Результат самотестирования источника питания <b>" +
           identity +
           "</b></thead><tr><td>#</td><td>Допустимый<br>диапазон<br>напряжения<br>(B)</td>"
           "<td>Измеренное<br>напряжение<br>(B)</td><td>Допустимый<br>диапазон<br>тока<br>(A)"
           "</td><td>Измеренный<br>ток<br>(A)</td><td>Допустимый<br>диапазон<br>кода<br>"
           "(Vdrop)</td><td>Измеренное<br>значение<br>кода<br>(Vdrop)</td><td>Измеренное<br>"
           "состояние<br>выхода<br>(Требуемое:<br>CV)</td><td>Результат<br>измерения<br>точки"
           "</td></tr>" +
           rows +
           "</table><br><br><div align=\"right\">06.12.2026\t\t</div><br><br>"
           "<div align=\"center\">Проверил:<br></div><hr align=\"right\" width=\"350\"/>";
}

QByteArray block(const QByteArray &text)
{
    const QByteArray length = QByteArray::number(text.size());
    return '#' + QByteArray::number(length.size()) + length + text;
}

} // namespace

class tst_PanelSelfTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void statusCheck_data();
    void statusCheck();
    void verdicts_data();
    void verdicts();
    void runsThatStop_data();
    void runsThatStop();
    void report_data();
    void report();

private:
    Rvka5630panel *openModule(const QString &address = PanelRig::moduleAddress);
    QPushButton *button(const char *name) const { return rig->widget<QPushButton>(name); }
    QTimer *pollTimer() const { return rig->panel->findChild<QTimer *>("pollTimer"); }

    PanelRig *rig = nullptr;
    QTemporaryDir dir;
};

void tst_PanelSelfTest::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());
    // 12 s of progress in 0.3 s; the module's verdict comes after 8 s of the same clock.
    TimeFacility::instance().setSpeedup(40);
    TimeFacility::instance().setWallClock(QDateTime(QDate(2026, 12, 6), QTime(10, 30)));
}

void tst_PanelSelfTest::cleanupTestCase()
{
    delete rig;
    TimeFacility::instance().setSpeedup(1);
    TimeFacility::instance().resetWallClock();
}

void tst_PanelSelfTest::init()
{
    rig->reset();
    TimeFacility::instance().clearRequests();
}

void tst_PanelSelfTest::cleanup()
{
    rig->close();
}

Rvka5630panel *tst_PanelSelfTest::openModule(const QString &address)
{
    Rvka5630panel *panel = rig->open(address);
    // The test polls by itself, so transcripts hold exactly what an action sent; the debug
    // window's read-back comes back from the module's thread first.
    pollTimer()->stop();
    waitForModuleWork(panel->findChild<ModuleThread *>());
    rig->module->transcript().clear();
    rig->scripted->transcript().clear();
    return panel;
}

void tst_PanelSelfTest::statusCheck_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer"); // empty: no box expected
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<bool>("outputFree");

    QTest::newRow("passed") << 0 << QString() << QByteArray() << true;
    QTest::newRow("failed, carry on") << 1 << carryOn << QByteArray() << false;
    QTest::newRow("failed, ignored") << 7 << ignore << QByteArray() << true;
    QTest::newRow("status query fails") << 0 << QString() << QByteArray("OUTP:PROT?") << false;
    QTest::newRow("ignore fails") << 1 << ignore << QByteArray("OUTP:PROT:IGNORE") << false;
}

void tst_PanelSelfTest::statusCheck()
{
    QFETCH(int, status);
    QFETCH(QString, answer);
    QFETCH(QByteArray, failing);
    QFETCH(bool, outputFree);

    rig->model->setSelfTestStatus(status);
    if (!failing.isEmpty())
        rig->module->failNth(failing, 1, SimModule::Fault::BreakLink);
    DialogAnswerer answerer;
    if (!answer.isEmpty())
        answerer.press(answer);
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);

    QVERIFY(answerer.unexpected().isEmpty());
    QCOMPARE(answerer.shown().size(), answer.isEmpty() ? 0 : 1);
    QCOMPARE(rig->disconnectRequested(), !failing.isEmpty());
    QCOMPARE(rig->module->transcript().contains("OUTP:PROT:IGNORE\n"), answer == ignore);
    if (!answer.isEmpty()) {
        const DialogAnswerer::Shown box = answerer.shown().first();
        QCOMPARE(box.title, title);
        QCOMPARE(box.text, lockedText);
        QVERIFY(box.detailedText.startsWith(QStringLiteral("Для нормальной работы модуля")));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QVERIFY(box.buttons.contains(ignore));
        QCOMPARE(box.defaultButton, carryOn);
    }
    if (!failing.isEmpty())
        return;
    // The output button follows the status on every poll, and the module agrees.
    QCOMPARE(button("outpButton")->isEnabled(), outputFree);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(button("outpButton")->isEnabled(), outputFree);
    if (outputFree) {
        button("outpButton")->click();
        QVERIFY(rig->settle());
        QVERIFY(rig->model->outputOn());
    }
}

void tst_PanelSelfTest::verdicts_data()
{
    QTest::addColumn<QByteArray>("verdict");
    QTest::addColumn<QString>("message"); // empty: no verdict box
    QTest::addColumn<bool>("locked");     // the module reports a failed status afterwards

    const QString passed = QStringLiteral("Самотестирование успешно пройдено!");
    const QString failed = QStringLiteral("Самотестирование не пройдено!");
    QTest::newRow("0 passes") << QByteArray("0") << passed << false;
    QTest::newRow("-1 fails") << QByteArray("-1") << failed << true;
    // Negative error codes never pass, whatever zeros they hold.
    QTest::newRow("-10 fails") << QByteArray("-10") << failed << true;
    QTest::newRow("-100 fails") << QByteArray("-100") << failed << true;
    QTest::newRow("-20 is neither") << QByteArray("-20") << QString() << true;
    QTest::newRow("10 passes, it holds a 0") << QByteArray("10") << passed << true;
    QTest::newRow("1 is neither") << QByteArray("1") << QString() << true;
}

void tst_PanelSelfTest::verdicts()
{
    QFETCH(QByteArray, verdict);
    QFETCH(QString, message);
    QFETCH(bool, locked);

    rig->model->setSelfTestVerdict(verdict);
    Rvka5630panel *panel = openModule();
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    DialogAnswerer answerer;
    answerer.press(run);
    if (!message.isEmpty())
        answerer.press(QStringLiteral("OK"));
    if (locked)
        answerer.press(carryOn);

    // Watch the progress dialog, and close it once as the window manager would.
    QPointer<QProgressDialog> progress;
    bool closed = false, shownAfterClose = false, quiet = true;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] {
        if (!progress)
            progress = panel->findChild<QProgressDialog *>();
        if (!progress || progress->isHidden())
            return;
        shownAfterClose = shownAfterClose || closed;
        quiet = quiet && !panel->isEnabled() && !topLevelWindow<Rvka5630Debug>()->isEnabled() &&
                !pollTimer()->isActive();
        if (!closed && progress->value() >= 30) {
            closed = true;
            progress->close();
        }
    });
    sampler.start(1);
    button("selfTestButton")->click();
    QVERIFY(rig->settle());
    sampler.stop();

    QVERIFY(answerer.unexpected().isEmpty());
    QCOMPARE(answerer.pending(), 0);
    const QVector<DialogAnswerer::Shown> shown = answerer.shown();
    QCOMPARE(shown.first().title, title);
    QCOMPARE(shown.first().text, QStringLiteral("Выполнить самоконтроль или сохранить результат?"));
    QCOMPARE(shown.first().defaultButton, save);
    if (!message.isEmpty())
        QCOMPARE(shown.at(1).text, message);
    QCOMPARE(shown.last().text == lockedText, locked);

    // The whole wait, in a dialog that came back, with the panel and its debug window quiet.
    QCOMPARE(TimeFacility::instance().requested(TimeFacility::Kind::Pause), QVector<int>(100, 120));
    QVERIFY(closed && shownAfterClose && quiet);
    QVERIFY(progress.isNull());
    // The disabled panel polls nothing after the verdict.
    QCOMPARE(rig->module->transcript().messages(),
             Messages{"*TST?\n"} + readBack + Messages{"OUTP:PROT?\n"} + readBack);
    QCOMPARE(requests.count(), 0);
    QVERIFY(panel->isEnabled() && topLevelWindow<Rvka5630Debug>()->isEnabled() &&
            pollTimer()->isActive());
    QCOMPARE(button("outpButton")->isEnabled(), !locked);
}

void tst_PanelSelfTest::runsThatStop_data()
{
    QTest::addColumn<QByteArray>("failing"); // a command of the module, or "viScanf"
    QTest::addColumn<int>("scanStatus");
    QTest::addColumn<int>("pauses");

    QTest::newRow("output on") << QByteArray() << 0 << 0;
    QTest::newRow("*TST? fails") << QByteArray("*TST?") << 0 << 0;
    QTest::newRow("verdict read fails") << QByteArray("viScanf") << int(VI_ERROR_TMO) << 100;
    // A warning is a failure on the panel.
    QTest::newRow("verdict read warns") << QByteArray("viScanf") << int(VI_SUCCESS_MAX_CNT) << 100;
}

void tst_PanelSelfTest::runsThatStop()
{
    QFETCH(QByteArray, failing);
    QFETCH(int, scanStatus);
    QFETCH(int, pauses);

    Rvka5630panel *panel = openModule();
    const bool outputOn = failing.isEmpty();
    if (outputOn) {
        rig->model->execute("OUTP 1\n");
        panel->gettableDataUpdate();
        QVERIFY(rig->settle());
        rig->module->transcript().clear();
    } else if (failing == "viScanf") {
        vdvisaInjectStatus("viScanf", 1, scanStatus);
    } else {
        rig->module->failNth(failing, 1, SimModule::Fault::BreakLink);
    }
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    DialogAnswerer answerer;
    answerer.press(run);
    if (outputOn)
        answerer.press(QStringLiteral("OK"));
    button("selfTestButton")->click();
    QVERIFY(rig->settle());

    QVERIFY(answerer.unexpected().isEmpty());
    QCOMPARE(answerer.pending(), 0);
    QCOMPARE(TimeFacility::instance().requested(TimeFacility::Kind::Pause).size(), pauses);
    if (outputOn) {
        QCOMPARE(answerer.shown().last().title, QStringLiteral("Ошибка"));
        QCOMPARE(answerer.shown().last().text, QStringLiteral("Включен выход!"));
        QVERIFY(rig->module->transcript().messages().isEmpty());
        QVERIFY(panel->isEnabled() && pollTimer()->isActive());
        return;
    }
    // Left as the failure found it, for the main window to remove.
    QCOMPARE(requests.count(), 1);
    QCOMPARE(rig->module->transcript().messages(), Messages{"*TST?\n"});
    QVERIFY(!panel->isEnabled() && !topLevelWindow<Rvka5630Debug>()->isEnabled() &&
            !pollTimer()->isActive());
}

void tst_PanelSelfTest::report_data()
{
    QTest::addColumn<QByteArray>("reply"); // to "MEAS:SELFTEST?"
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<QByteArray>("expected"); // empty: the earlier file stays

    const QByteArray idn = "Korvalis,RVKA5630,0042,1.3";
    const QByteArray records = "1,2;3#4,5;";
    QTest::newRow("two records") << "#210" + records << idn << QByteArray()
                                 << reportFile(idn, "<tr><td>1</td><td>1</td><td>2</td></tr>"
                                                    "<tr><td>2</td><td>3\xC2\xB1"
                                                    "4</td><td>5</td></tr>");
    // Text from the module cannot bring markup into the file; empty fields keep their cells.
    QTest::newRow("markup escaped")
        << block("<b>4.998</b>,,OK;trailing") << QByteArray("<script>x()</script>,RVKA5630")
        << QByteArray()
        << reportFile("&lt;script&gt;x()&lt;/script&gt;,RVKA5630",
                      "<tr><td>1</td><td>&lt;b&gt;4.998&lt;/b&gt;</td><td></td><td>OK</td></tr>");
    QTest::newRow("no record") << block("no separator") << idn << QByteArray()
                               << reportFile(idn, "");
    QTest::newRow("exactly what the buffer holds")
        << block(QByteArray(2045, 'x') + "a;") << idn << QByteArray()
        << reportFile(idn, "<tr><td>1</td><td>" + QByteArray(2045, 'x') + "a</td></tr>");
    QTest::newRow("more than the buffer holds")
        << block(QByteArray(2046, 'x') + "a;") << idn << QByteArray() << QByteArray();
    QTest::newRow("no #") << "X210" + records << idn << QByteArray() << QByteArray();
    QTest::newRow("digit count not a digit")
        << "#x10" + records << idn << QByteArray() << QByteArray();
    QTest::newRow("fewer bytes than announced")
        << QByteArray("#2201,2;") << idn << QByteArray() << QByteArray();
    QTest::newRow("negative count") << "#2-1" + records << idn << QByteArray() << QByteArray();
    QTest::newRow("query fails") << "#210" + records << idn << QByteArray("MEAS:SELFTEST?")
                                 << QByteArray();
    QTest::newRow("identity fails")
        << "#210" + records << idn << QByteArray("*IDN?") << QByteArray();
}

void tst_PanelSelfTest::report()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, failing);
    QFETCH(QByteArray, expected);

    rig->script->setReply("MEAS:SELFTEST?\n", reply);
    rig->script->setIdentity(identity);
    Rvka5630panel *panel = openModule(PanelRig::scriptedAddress);
    if (!failing.isEmpty())
        rig->scripted->failNth(failing, 1, SimModule::Fault::BreakLink);
    // An earlier report at the path, which the operator agrees to replace.
    const QString path = dir.filePath(QStringLiteral("selftest.html"));
    QFile earlier(path);
    QVERIFY(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
    earlier.write("earlier report");
    earlier.close();
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    DialogAnswerer answerer;
    std::unique_ptr<DialogAnswerer> replace;
    answerer.press(save).choosePath(path).inspect([&](QDialog *) {
        // The file dialog asks before it replaces a file, from within the answer to it.
        replace = std::make_unique<DialogAnswerer>();
        replace->press(QStringLiteral("&Yes"));
    });
    button("selfTestButton")->click();
    QVERIFY(rig->settle());

    QVERIFY(answerer.unexpected().isEmpty() && replace->unexpected().isEmpty());
    QCOMPARE(answerer.shown().size(), 2);
    QCOMPARE(answerer.shown().at(1).title, QStringLiteral("Сохранить отчет"));
    QCOMPARE(answerer.shown().at(1).nameFilter, QStringLiteral("HTML страница (*.html)"));
    // Every failure is silent: no message, the panel carries on.
    QCOMPARE(requests.count(), 0);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), expected.isEmpty() ? QByteArray("earlier report") : expected);
    if (!expected.isEmpty())
        QCOMPARE(rig->scripted->transcript().messages(), (Messages{"MEAS:SELFTEST?\n", "*IDN?"}));
}

QTEST_MAIN(tst_PanelSelfTest)
#include "tst_panelselftest.moc"
