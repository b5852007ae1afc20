// ctest-timeout: 120
// The module panel's live readout and read-back against exact replies: the output state
// codes and the buttons that follow them, the number formats, trigger-source replies of any
// length, what a failing query leaves on screen, and the rule that a hidden or disabled panel
// sends nothing.
#include "panelrig.h"
#include "rvka5630panel.h"

#include <vdvisa_testing.h>

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

class tst_PanelReadout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outputStates_data();
    void outputStates();
    void shownValues_data();
    void shownValues();
    void failingPollQuery_data();
    void failingPollQuery();
    void hiddenOrDisabledPanelSendsNothing_data();
    void hiddenOrDisabledPanelSendsNothing();
    void triggerSourceReply_data();
    void triggerSourceReply();
    void outputAndPowerReadBack_data();
    void outputAndPowerReadBack();
    void failingReadBackQuery();

private:
    Rvka5630panel *openScripted();
    void reply(const QByteArray &query, const QByteArray &answer);
    QString text(const char *name) const;

    PanelRig *rig = nullptr;
};

void tst_PanelReadout::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());
}

void tst_PanelReadout::init()
{
    rig->reset();
}

void tst_PanelReadout::cleanup()
{
    rig->close();
}

Rvka5630panel *tst_PanelReadout::openScripted()
{
    Rvka5630panel *panel = rig->open(PanelRig::scriptedAddress);
    // Only the test drives the polls here.
    if (auto *timer = panel->findChild<QTimer *>("pollTimer"))
        timer->stop();
    rig->scripted->transcript().clear();
    return panel;
}

void tst_PanelReadout::reply(const QByteArray &query, const QByteArray &answer)
{
    rig->script->setReply(query, answer + '\n');
}

QString tst_PanelReadout::text(const char *name) const
{
    if (auto *edit = rig->widget<QLineEdit>(name))
        return edit->text();
    if (auto *label = rig->widget<QLabel>(name))
        return label->text();
    return rig->widget<QPushButton>(name)->text();
}

void tst_PanelReadout::outputStates_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("outputOn");
    QTest::addColumn<bool>("clearable");

    QTest::newRow("0 off") << 1 << 0 << "OFF" << false << false;
    QTest::newRow("1 constant voltage") << 0 << 1 << "CV" << true << false;
    QTest::newRow("2 constant current") << 0 << 2 << "CC" << true << false;
    QTest::newRow("3 unknown fault") << 1 << 3 << "UNKNOWN" << false << true;
    const char *faults[] = {"WTG", "OV", "OC", "PF", "CP PLUS", "OT", "CP MINUS", "INH"};
    for (int code = 4; code <= 11; ++code)
        QTest::addRow("%d fault", code) << 1 << code << faults[code - 4] << false << true;
    QTest::newRow("12 unregulated, on") << 5 << 12 << "UNREG" << true << false;
    QTest::newRow("13 protection") << 2 << 13 << "PROT" << false << true;
    QTest::newRow("above 13") << 0 << 14 << "UNKNOWN" << false << true;
    // A negative code changes no button: both keep what the code before set.
    QTest::newRow("negative after on") << 1 << -1 << "UNKNOWN" << true << false;
    QTest::newRow("negative after a fault") << 5 << -1 << "UNKNOWN" << false << true;
}

void tst_PanelReadout::outputStates()
{
    QFETCH(int, before);
    QFETCH(int, code);
    QFETCH(QString, shown);
    QFETCH(bool, outputOn);
    QFETCH(bool, clearable);

    Rvka5630panel *panel = openScripted();
    auto *output = rig->widget<QPushButton>("outpButton");
    auto *clear = rig->widget<QPushButton>("clearFaultsButton");
    reply("OUTP? STATE\n", QByteArray::number(before));
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    reply("OUTP? STATE\n", QByteArray::number(code));
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());

    QCOMPARE(text("dispOutp"), shown);
    QCOMPARE(output->isChecked(), outputOn);
    QCOMPARE(output->text(), outputOn ? QStringLiteral("Выкл") : QStringLiteral("Вкл"));
    QCOMPARE(clear->isEnabled(), clearable);
    // The self-test status allows the output: it is locked exactly while a fault waits.
    QCOMPARE(output->isEnabled(), !clearable);
}

void tst_PanelReadout::shownValues_data()
{
    QTest::addColumn<QByteArray>("voltage");
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("temperature");
    QTest::addColumn<QStringList>("shown"); // volts, amperes, watts, degrees

    QTest::newRow("power of the shown values")
        << QByteArray("1.23456") << QByteArray("2") << QByteArray("36.74")
        << QStringList{"1.2346", "2.0000", "2.4692", "36.7"};
    // Unrounded, 9.99996 * 0.33334 would show 3.3334.
    QTest::newRow("rounded before multiplying")
        << QByteArray("9.99996") << QByteArray("0.33334") << QByteArray("-5.06")
        << QStringList{"10.0000", "0.3333", "3.3330", "-5.1"};
}

void tst_PanelReadout::shownValues()
{
    QFETCH(QByteArray, voltage);
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, temperature);
    QFETCH(QStringList, shown);

    Rvka5630panel *panel = openScripted();
    reply("MEAS:VOLT?\n", voltage);
    reply("MEAS:CURR?\n", current);
    reply("MEAS:TEMP?\n", temperature);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());

    QCOMPARE(QStringList(
                 {text("dispVolt"), text("dispCurr"), text("dispWatt"), text("temperatureLabel")}),
             shown);
    QCOMPARE(
        rig->scripted->transcript().messages(),
        QVector<QByteArray>({"MEAS:VOLT?\n", "MEAS:CURR?\n", "OUTP? STATE\n", "MEAS:TEMP?\n"}));
}

void tst_PanelReadout::failingPollQuery_data()
{
    QTest::addColumn<int>("failing"); // which of the four queries
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("shown"); // volts, amperes, watts, state, degrees

    const QStringList before = {"1.0000", "1.0000", "1.0000", "OFF", "20.0"};
    QTest::newRow("voltage") << 1 << int(VI_ERROR_TMO) << before;
    QTest::newRow("current, link broken")
        << 2 << 0 << QStringList{"5.5000", "1.0000", "1.0000", "OFF", "20.0"};
    QTest::newRow("current with a warning")
        << 2 << int(VI_SUCCESS_MAX_CNT) << QStringList{"5.5000", "1.0000", "1.0000", "OFF", "20.0"};
    QTest::newRow("state") << 3 << int(VI_ERROR_TMO)
                           << QStringList{"5.5000", "2.0000", "11.0000", "OFF", "20.0"};
    QTest::newRow("temperature") << 4 << int(VI_ERROR_TMO)
                                 << QStringList{"5.5000", "2.0000", "11.0000", "CC", "20.0"};
}

void tst_PanelReadout::failingPollQuery()
{
    QFETCH(int, failing);
    QFETCH(int, status);
    QFETCH(QStringList, shown);

    Rvka5630panel *panel = openScripted();
    reply("MEAS:VOLT?\n", "1");
    reply("MEAS:CURR?\n", "1");
    reply("MEAS:TEMP?\n", "20");
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    reply("MEAS:VOLT?\n", "5.5");
    reply("MEAS:CURR?\n", "2");
    reply("OUTP? STATE\n", "2");
    reply("MEAS:TEMP?\n", "40");
    rig->scripted->transcript().clear();

    if (status == 0)
        rig->scripted->failNth("MEAS:CURR?", 1, SimModule::Fault::BreakLink);
    else
        vdvisaInjectStatus("viQueryf", unsigned(failing), status);
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());

    QCOMPARE(requests.count(), 1);
    QCOMPARE(QStringList({text("dispVolt"), text("dispCurr"), text("dispWatt"), text("dispOutp"),
                          text("temperatureLabel")}),
             shown);
    // Nothing is asked after the failing query.
    const QVector<QByteArray> poll = {"MEAS:VOLT?\n", "MEAS:CURR?\n", "OUTP? STATE\n",
                                      "MEAS:TEMP?\n"};
    const int sent = status < 0 ? failing - 1 : failing;
    QCOMPARE(rig->scripted->transcript().messages(), poll.mid(0, sent));
}

void tst_PanelReadout::hiddenOrDisabledPanelSendsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("not the current page") << "hidden";
    QTest::newRow("panel disabled") << "disabled";
    QTest::newRow("host disabled") << "host disabled";
}

void tst_PanelReadout::hiddenOrDisabledPanelSendsNothing()
{
    QFETCH(QString, how);

    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress, how != "hidden");
    if (how == "disabled")
        panel->setEnabled(false);
    if (how == "host disabled")
        rig->host.setEnabled(false);
    SimTranscript &sent = rig->module->transcript();
    sent.clear();

    // Several ticks of the 250 ms timer pass without a single query.
    QTest::qWait(700);
    QCOMPARE(sent.messages().size(), 0);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(sent.messages().size(), 0);

    rig->host.setEnabled(true);
    panel->setEnabled(true);
    rig->host.setCurrentWidget(panel);
    QTRY_VERIFY(sent.contains("MEAS:TEMP?\n"));
    QTRY_VERIFY(rig->widget<QLabel>("temperatureLabel")->text() != "--.--  ");
}

void tst_PanelReadout::triggerSourceReply_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("slave");
    QTest::addColumn<int>("line");

    QTest::newRow("slave on line 5") << QByteArray("SLAVE,5") << true << 5;
    QTest::newRow("master alone") << QByteArray("MASTER") << false << 0;
    QTest::newRow("immediate") << QByteArray("IMM") << false << 0;
    QTest::newRow("unknown role") << QByteArray("ARBITER,4") << false << 0;
    // Beyond 15 characters the reply is cut; the box clamps the rest.
    QTest::newRow("longer than the buffer")
        << QByteArray("MASTER,00000000000000000009") << false << 0;
    QTest::newRow("line beyond 12") << QByteArray("SLAVE,999999999999999999") << true << 12;
}

void tst_PanelReadout::triggerSourceReply()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, slave);
    QFETCH(int, line);

    Rvka5630panel *panel = openScripted();
    // Start from the opposite role and a line that the reply must overwrite.
    (slave ? rig->widget<QRadioButton>("rbMaster") : rig->widget<QRadioButton>("rbSlave"))
        ->setChecked(true);
        QVERIFY(rig->settle());
    rig->widget<QSpinBox>("sbInOutTrigger")->setValue(line == 6 ? 7 : 6);
    reply("TRIG:CONF:SOUR?\n", source);
    reply("TRIG:CONF:ERR?\n", "9");
    panel->settableDataUpdate();
    QVERIFY(rig->settle());

    QCOMPARE(rig->widget<QRadioButton>("rbSlave")->isChecked(), slave);
    QCOMPARE(rig->widget<QRadioButton>("rbMaster")->isChecked(), !slave);
    QCOMPARE(rig->widget<QSpinBox>("sbInOutTrigger")->value(), line);
    // The next query reads its own reply, not the rest of a long one.
    QCOMPARE(rig->widget<QSpinBox>("sbAbortTrigger")->value(), 9);
    QVERIFY(!rig->disconnectRequested());
}

void tst_PanelReadout::outputAndPowerReadBack_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("overPower");
    QTest::addColumn<bool>("outputOn");
    QTest::addColumn<bool>("clearable");
    QTest::addColumn<bool>("over");

    // The panel starts with the output button off and the 360 W choice.
    QTest::newRow("off, normal") << QByteArray("0") << QByteArray("0") << false << false << false;
    QTest::newRow("CC, over-power") << QByteArray("2") << QByteArray("1") << true << false << true;
    QTest::newRow("unregulated") << QByteArray("12") << QByteArray("0") << true << false << false;
    QTest::newRow("OV fault") << QByteArray("5") << QByteArray("1") << false << true << true;
    QTest::newRow("fault above 13")
        << QByteArray("20") << QByteArray("0") << false << true << false;
    QTest::newRow("negative, unknown power")
        << QByteArray("-1") << QByteArray("2") << false << false << false;
}

void tst_PanelReadout::outputAndPowerReadBack()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, overPower);
    QFETCH(bool, outputOn);
    QFETCH(bool, clearable);
    QFETCH(bool, over);

    Rvka5630panel *panel = openScripted();
    reply("VOLT?\n", "12.34567");
    reply("CURR?\n", "99");
    reply("VOLT:PROT?\n", "0.5");
    reply("OUTP?\n", output);
    reply("OVPOWER?\n", overPower);
    panel->settableDataUpdate();
    QVERIFY(rig->settle());

    // Values beyond the module's limits are clamped by the boxes.
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbVolt")->value(), 12.3457);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbCurr")->value(), 12.5);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbOvp")->value(), 1.0);
    auto *outputButton = rig->widget<QPushButton>("outpButton");
    QCOMPARE(outputButton->isChecked(), outputOn);
    QCOMPARE(outputButton->text(), outputOn ? QStringLiteral("Выкл") : QStringLiteral("Вкл"));
    QCOMPARE(rig->widget<QPushButton>("clearFaultsButton")->isEnabled(), clearable);
    QCOMPARE(rig->widget<QRadioButton>("rbOverWatt")->isChecked(), over);
    QCOMPARE(rig->widget<QRadioButton>("rbNormalWatt")->isChecked(), !over);
    // Only a read-back: the panel sent queries and nothing else.
    for (const QByteArray &message : rig->scripted->transcript().messages())
        QVERIFY2(message.endsWith("?\n"), message.constData());
}

void tst_PanelReadout::failingReadBackQuery()
{
    Rvka5630panel *panel = openScripted();
    reply("VOLT?\n", "7");
    reply("CURR?\n", "3");
    rig->scripted->failNth("CURR?", 1, SimModule::Fault::BreakLink);
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    panel->settableDataUpdate();
    QVERIFY(rig->settle());

    QCOMPARE(requests.count(), 1);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbVolt")->value(), 7.0);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbCurr")->value(), 1.0);
    QCOMPARE(rig->scripted->transcript().messages(), QVector<QByteArray>({"VOLT?\n", "CURR?\n"}));
}

QTEST_MAIN(tst_PanelReadout)
#include "tst_panelreadout.moc"
