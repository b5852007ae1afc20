// ctest-timeout: 120
// The operator's setting commands of the module panel against the simulated module: what
// reaches the module, in which order, what the panel shows afterwards, and what a failing
// command stops.
#include "dialoganswerer.h"
#include "panelrig.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

namespace {
using Messages = QVector<QByteArray>;

const Messages readBack = {"VOLT?\n",           "CURR?\n",          "VOLT:PROT?\n", "OUTP?\n",
                           "TRIG:CONF:SOUR?\n", "TRIG:CONF:ERR?\n", "OVPOWER?\n"};
} // namespace

class tst_PanelControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void setPoints_data();
    void setPoints();
    void triggerConfiguration_data();
    void triggerConfiguration();
    void powerLimit();
    void resetShowsTheModulesDefaults();
    void outputRegulationAndProtection();
    void failingCommandEndsTheAction_data();
    void failingCommandEndsTheAction();
    void renderConnectedPanel();

private:
    Rvka5630panel *openModule();
    Messages sent() const { return rig->module->transcript().messages(); }
    QPushButton *button(const char *name) const { return rig->widget<QPushButton>(name); }
    void setPointsTo(double protection, double voltage, double current);

    PanelRig *rig = nullptr;
};

void tst_PanelControl::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());
}

void tst_PanelControl::init()
{
    rig->reset();
}

void tst_PanelControl::cleanup()
{
    rig->close();
}

Rvka5630panel *tst_PanelControl::openModule()
{
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);
    // The test polls by itself, so transcripts hold exactly what an action sent.
    panel->findChild<QTimer *>("pollTimer")->stop();
    rig->module->transcript().clear();
    return panel;
}

void tst_PanelControl::setPointsTo(double protection, double voltage, double current)
{
    rig->widget<QDoubleSpinBox>("dsbOvp")->setValue(protection);
    rig->widget<QDoubleSpinBox>("dsbVolt")->setValue(voltage);
    rig->widget<QDoubleSpinBox>("dsbCurr")->setValue(current);
}

void tst_PanelControl::setPoints_data()
{
    QTest::addColumn<QByteArray>("failing"); // empty: none
    QTest::addColumn<Messages>("expected");

    const Messages commands = {"VOLT:PROT 30.000000\n", "VOLT 12.345600\n", "CURR 2.500000\n"};
    QTest::newRow("all succeed") << QByteArray() << commands + readBack;
    QTest::newRow("protection level fails") << QByteArray("VOLT:PROT ") << commands.mid(0, 1);
    QTest::newRow("voltage fails") << QByteArray("VOLT 1") << commands.mid(0, 2);
    QTest::newRow("current fails") << QByteArray("CURR ") << commands;
}

void tst_PanelControl::setPoints()
{
    QFETCH(QByteArray, failing);
    QFETCH(Messages, expected);

    Rvka5630panel *panel = openModule();
    setPointsTo(30, 12.3456, 2.5);
    if (!failing.isEmpty())
        rig->module->failNth(failing, 1, SimModule::Fault::BreakLink);
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    button("setupParametersButton")->click();
    QVERIFY(rig->settle());

    QCOMPARE(sent(), expected);
    QCOMPARE(requests.count(), failing.isEmpty() ? 0 : 1);
    if (failing.isEmpty()) {
        QCOMPARE(rig->model->protectionLevel(), 30.0);
        QCOMPARE(rig->model->voltageSetpoint(), 12.3456);
        QCOMPARE(rig->model->currentSetpoint(), 2.5);
        QCOMPARE(rig->widget<QDoubleSpinBox>("dsbVolt")->value(), 12.3456);
        QVERIFY(rig->model->pendingErrors().isEmpty());
    }
}

void tst_PanelControl::triggerConfiguration_data()
{
    QTest::addColumn<bool>("slave");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("abortLine");
    QTest::addColumn<bool>("outputOn");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<Messages>("expected");

    const QString invalid = QStringLiteral("Недопустимая комбинация!");
    const QString outputOn = QStringLiteral("Включен выход!");
    QTest::newRow("master, no lines") << false << 0 << 0 << false << QString()
                                      << Messages{"TRIG:CONF:SOUR IMM\n", "TRIG:CONF:ERR 0\n"};
    QTest::newRow("slave, no lines") << true << 0 << 0 << false << invalid << Messages();
    QTest::newRow("slave, abort only") << true << 0 << 5 << false << QString()
                                       << Messages{"TRIG:CONF:SOUR IMM\n", "TRIG:CONF:ERR 5\n"};
    QTest::newRow("master, abort only") << false << 0 << 12 << false << QString()
                                        << Messages{"TRIG:CONF:SOUR IMM\n", "TRIG:CONF:ERR 12\n"};
    QTest::newRow("master, same lines") << false << 3 << 3 << false << invalid << Messages();
    QTest::newRow("slave, same lines") << true << 3 << 3 << false << invalid << Messages();
    QTest::newRow("master on 3") << false << 3 << 0 << false << QString()
                                 << Messages{"TRIG:CONF:SOUR MASTER,3\n", "TRIG:CONF:ERR 0\n"};
    QTest::newRow("slave on 12, abort 1")
        << true << 12 << 1 << false << QString()
        << Messages{"TRIG:CONF:SOUR SLAVE,12\n", "TRIG:CONF:ERR 1\n"};
    QTest::newRow("output on") << false << 3 << 0 << true << outputOn << Messages();
    // The output is checked before the combination.
    QTest::newRow("output on, same lines") << true << 3 << 3 << true << outputOn << Messages();
}

void tst_PanelControl::triggerConfiguration()
{
    QFETCH(bool, slave);
    QFETCH(int, line);
    QFETCH(int, abortLine);
    QFETCH(bool, outputOn);
    QFETCH(QString, refusal);
    QFETCH(Messages, expected);

    Rvka5630panel *panel = openModule();
    if (outputOn) {
        rig->model->execute("OUTP 1\n");
        panel->gettableDataUpdate();
        QVERIFY(rig->settle());
        QVERIFY(button("outpButton")->isChecked());
    }
    QTimer *timer = panel->findChild<QTimer *>("pollTimer");
    timer->start(); // polling, as while the operator fills in the group
    rig->widget<QGroupBox>("groupBoxConfTrig")->setChecked(true);
    QVERIFY(rig->settle());
    rig->widget<QRadioButton>(slave ? "rbSlave" : "rbMaster")->setChecked(true);
    QVERIFY(rig->settle());
    rig->widget<QSpinBox>("sbInOutTrigger")->setValue(line);
    rig->widget<QSpinBox>("sbAbortTrigger")->setValue(abortLine);

    DialogAnswerer answers;
    bool pollingWhileOpen = true;
    if (!refusal.isEmpty())
        answers.press("OK").inspect([&](QDialog *) { pollingWhileOpen = timer->isActive(); });
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    rig->module->transcript().clear();
    button("setupTriggersButton")->click();
    QVERIFY(rig->settle());
    const bool pollingAfter = timer->isActive() && timer->interval() == 250;
    timer->stop();

    Messages commands;
    for (const QByteArray &message : sent())
        if (message.startsWith("TRIG:"))
            commands << message;
    QCOMPARE(commands, expected);
    QCOMPARE(requests.count(), 0);
    if (refusal.isEmpty()) {
        QVERIFY(answers.shown().isEmpty());
        QVERIFY(rig->model->pendingErrors().isEmpty());
    } else {
        QCOMPARE(answers.shown().size(), 1);
        QCOMPARE(answers.shown().first().title, QStringLiteral("Ошибка"));
        QCOMPARE(answers.shown().first().text, refusal);
        QCOMPARE(answers.shown().first().icon, QMessageBox::Critical);
        QVERIFY(!pollingWhileOpen);
        QVERIFY(pollingAfter);
    }
}

void tst_PanelControl::powerLimit()
{
    openModule();
    auto *normal = rig->widget<QRadioButton>("rbNormalWatt");
    auto *over = rig->widget<QRadioButton>("rbOverWatt");

    normal->click(); // already the module's mode
    QVERIFY(rig->settle());
    QCOMPARE(sent(), Messages());

    over->click();
    QVERIFY(rig->settle());
    QCOMPARE(sent(), Messages{"OVPOWER 1\n"} + readBack);
    QVERIFY(rig->model->overPowerMode());
    QVERIFY(over->isChecked());

    rig->module->transcript().clear();
    over->click();
    QVERIFY(rig->settle());
    QCOMPARE(sent(), Messages());

    normal->click();
    QVERIFY(rig->settle());
    QCOMPARE(sent(), Messages{"OVPOWER 0\n"} + readBack);
    QVERIFY(!rig->model->overPowerMode());
    QVERIFY(normal->isChecked());
}

void tst_PanelControl::resetShowsTheModulesDefaults()
{
    Rvka5630panel *panel = openModule();
    for (const char *command : {"VOLT:PROT 50\n", "VOLT 24\n", "CURR 3\n", "OVPOWER 1\n",
                                "TRIG:CONF:SOUR SLAVE,4\n", "TRIG:CONF:ERR 2\n"})
        rig->model->execute(command);
    panel->settableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbVolt")->value(), 24.0);
    QVERIFY(rig->widget<QRadioButton>("rbOverWatt")->isChecked());
    QVERIFY(rig->widget<QRadioButton>("rbSlave")->isChecked());
    rig->module->transcript().clear();

    button("resetButton")->click();
    QVERIFY(rig->settle());
    QCOMPARE(sent(), Messages{"*RST\n"} + readBack);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbVolt")->value(), 0.0);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbCurr")->value(), 1.0);
    QCOMPARE(rig->widget<QDoubleSpinBox>("dsbOvp")->value(), 88.0);
    QVERIFY(rig->widget<QRadioButton>("rbNormalWatt")->isChecked());
    QVERIFY(rig->widget<QRadioButton>("rbMaster")->isChecked());
    QCOMPARE(rig->widget<QSpinBox>("sbInOutTrigger")->value(), 0);
    QCOMPARE(rig->widget<QSpinBox>("sbAbortTrigger")->value(), 0);

    // The panel follows the module's reset power mode: 500 sends again.
    rig->module->transcript().clear();
    rig->widget<QRadioButton>("rbOverWatt")->click();
    QVERIFY(rig->settle());
    QCOMPARE(sent().value(0), QByteArray("OVPOWER 1\n"));
}

void tst_PanelControl::outputRegulationAndProtection()
{
    Rvka5630panel *panel = openModule();
    QPushButton *output = button("outpButton");
    QPushButton *clear = button("clearFaultsButton");
    auto *state = rig->widget<QLabel>("dispOutp");
    setPointsTo(15, 12, 2);
    button("setupParametersButton")->click();
    QVERIFY(rig->settle());

    // The self-test status check unlocks the button; here the test stands in for it, after
    // every poll that locked it again.
    auto switchOutput = [&](const QByteArray &command, const QString &caption) {
        rig->module->transcript().clear();
        output->setEnabled(true);
        output->click();
        QVERIFY(rig->settle());
        QCOMPARE(output->text(), caption);
        QCOMPARE(sent(), Messages{command});
    };
    switchOutput("OUTP 1\n", QStringLiteral("Выкл"));
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(state->text(), QStringLiteral("CV"));
    QVERIFY(output->isChecked());

    // A load that wants more than the current limit.
    ExternalLoad load;
    load.inputOn = true;
    load.resistanceOhm = 1.0;
    load.currentLimitA = 10.0;
    rig->model->setExternalLoad(load);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(state->text(), QStringLiteral("CC"));
    QVERIFY(qAbs(rig->widget<QLineEdit>("dispCurr")->text().toDouble() - 2.0) < 0.05);
    rig->model->setExternalLoad(ExternalLoad());

    switchOutput("OUTP 0\n", QStringLiteral("Вкл"));
    QVERIFY(!rig->model->outputOn());
    switchOutput("OUTP 1\n", QStringLiteral("Выкл"));

    // Lowering the protection level under the output voltage trips it.
    setPointsTo(10, 12, 2);
    button("setupParametersButton")->click();
    QVERIFY(rig->settle());
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(state->text(), QStringLiteral("OV"));
    QVERIFY(!output->isChecked());
    QCOMPARE(output->text(), QStringLiteral("Вкл"));
    QVERIFY(clear->isEnabled());

    rig->module->transcript().clear();
    clear->click();
    QVERIFY(rig->settle());
    QCOMPARE(sent(), Messages{"OUTP:PROT:CLE\n"});
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(state->text(), QStringLiteral("OFF"));
    QVERIFY(!clear->isEnabled());
    QVERIFY(!rig->disconnectRequested());
}

void tst_PanelControl::failingCommandEndsTheAction_data()
{
    QTest::addColumn<QByteArray>("widget");
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<Messages>("expected");

    QTest::newRow("output") << QByteArray("outpButton") << QByteArray("OUTP 1")
                            << Messages{"OUTP 1\n"};
    QTest::newRow("clear faults") << QByteArray("clearFaultsButton") << QByteArray("OUTP:PROT:CLE")
                                  << Messages{"OUTP:PROT:CLE\n"};
    QTest::newRow("reset") << QByteArray("resetButton") << QByteArray("*RST") << Messages{"*RST\n"};
    QTest::newRow("power limit") << QByteArray("rbOverWatt") << QByteArray("OVPOWER")
                                 << Messages{"OVPOWER 1\n"};
    QTest::newRow("trigger source")
        << QByteArray("setupTriggersButton") << QByteArray("TRIG:CONF:SOUR")
        << Messages{"TRIG:CONF:SOUR IMM\n"};
    QTest::newRow("abort line") << QByteArray("setupTriggersButton") << QByteArray("TRIG:CONF:ERR")
                                << Messages{"TRIG:CONF:SOUR IMM\n", "TRIG:CONF:ERR 0\n"};
}

void tst_PanelControl::failingCommandEndsTheAction()
{
    QFETCH(QByteArray, widget);
    QFETCH(QByteArray, failing);
    QFETCH(Messages, expected);

    Rvka5630panel *panel = openModule();
    rig->widget<QGroupBox>("groupBoxConfTrig")->setChecked(true);
    QVERIFY(rig->settle());
    rig->model->injectFault(5);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    button("outpButton")->setEnabled(true);
    rig->module->transcript().clear();

    rig->module->failNth(failing, 1, SimModule::Fault::BreakLink);
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    rig->widget<QAbstractButton>(widget.constData())->click();
    QVERIFY(rig->settle());

    QCOMPARE(sent(), expected); // no later command, no read-back
    QCOMPARE(requests.count(), 1);
    if (widget == "outpButton") // the caption changed before the command went out
        QCOMPARE(button("outpButton")->text(), QStringLiteral("Выкл"));
}

void tst_PanelControl::renderConnectedPanel()
{
    Rvka5630panel *panel = openModule();
    setPointsTo(30, 24, 5);
    button("setupParametersButton")->click();
    QVERIFY(rig->settle());
    rig->model->execute("OUTP 1\n");
    ExternalLoad load;
    load.inputOn = true;
    load.resistanceOhm = 8.0;
    load.currentLimitA = 10.0;
    rig->model->setExternalLoad(load);
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
    QCOMPARE(rig->widget<QLabel>("dispOutp")->text(), QStringLiteral("CV"));

    const QPixmap image = panel->grab();
    QCOMPARE(image.size(), panel->size());
    const QString path = QStringLiteral(VOLTADESK_BINARY_DIR "panel-connected.png");
    QVERIFY(image.save(path));
    qInfo("rendered %s", qPrintable(path));
}

QTEST_MAIN(tst_PanelControl)
#include "tst_panelcontrol.moc"
