// ctest-timeout: 120
// Calibration from the module panel: the operator's questions in their order, what reaches
// the module (and what does not) for every answer, and the panel going away while a point is
// being entered.
#include "dialoganswerer.h"
#include "panelrig.h"
#include "rvka5630model.h"
#include "rvka5630panel.h"

#include <QDoubleSpinBox>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <functional>

namespace {
using Messages = QVector<QByteArray>;

const QString voltage = QStringLiteral("Напряжение");
const QString current = QStringLiteral("Ток");
const QString cancel = QStringLiteral("Отмена");
const QString setPoint = QStringLiteral("Установить");
const QString clear = QStringLiteral("Сбросить");
const QString yes = QStringLiteral("Да");
const QString no = QStringLiteral("Нет");
const QString calibration = QStringLiteral("Калибровка");
const QString voltagePoint = QStringLiteral("Калибровка точки напряжения");
const QString currentPoint = QStringLiteral("Калибровка точки тока");
const QString warning =
    QStringLiteral("Внимание!\nНеправильная калибровка может сломать инструмент.\nПродолжить?");
const QString store = QStringLiteral("Сохранить калибровку?");
} // namespace

class tst_PanelCalibration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void flows_data();
    void flows();
    void valueDialogNeverGoesBelowZero();
    void panelGoneWhileAPointIsEntered();

private:
    Rvka5630panel *openModule();
    // A button text, "=<value>" for the value dialog or "cancel value"; onValue looks at the
    // value dialog before it is answered.
    void queue(DialogAnswerer &answerer, const QStringList &answers,
               const std::function<void(QDialog *)> &onValue = {});
    Messages calibrationSent() const { return rig->module->transcript().startingWith("CAL"); }
    QTimer *pollTimer() const { return rig->panel->findChild<QTimer *>("pollTimer"); }
    void clickCalibration()
    {
        rig->widget<QPushButton>("calibButton")->click();
        QVERIFY(rig->settle());
    }

    PanelRig *rig = nullptr;
};

void tst_PanelCalibration::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());
}

void tst_PanelCalibration::init()
{
    rig->reset();
    // A reset keeps the module's calibration: every test starts uncalibrated.
    rig->model->execute("CAL:VOLT:CLEAR;:CAL:CURR:CLEAR;:CAL:SAVE\n");
}

void tst_PanelCalibration::cleanup()
{
    rig->close();
}

Rvka5630panel *tst_PanelCalibration::openModule()
{
    Rvka5630panel *panel = rig->open(PanelRig::moduleAddress);
    // The module takes a point with its output on.
    rig->model->execute("VOLT 10;:CURR 2;:OUTP 1\n");
    rig->module->transcript().clear();
    return panel;
}

void tst_PanelCalibration::queue(DialogAnswerer &answerer, const QStringList &answers,
                                 const std::function<void(QDialog *)> &onValue)
{
    for (const QString &answer : answers) {
        if (answer.startsWith('='))
            answerer.enterValue(answer.mid(1).toDouble()).inspect(onValue);
        else if (answer == QLatin1String("cancel value"))
            answerer.dismiss(DialogAnswerer::Kind::InputDialog).inspect(onValue);
        else
            answerer.press(answer);
    }
}

void tst_PanelCalibration::flows_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("lastText");
    QTest::addColumn<Messages>("sent");
    QTest::addColumn<int>("stored");         // points stored in the module
    QTest::addColumn<QByteArray>("failing"); // a command that breaks the link

    const QString question = QStringLiteral("Установить калибровочную точку для напряжения/тока.");
    const QString setOrClear =
        QStringLiteral("Установить калибровочную точку или сбросить калибровку?");
    const QString volts = QStringLiteral("Введите значение напряжения.");
    const QStringList voltagePointTitles = {calibration, calibration, voltagePoint, voltagePoint,
                                            voltagePoint};
    const QStringList currentPointTitles = {calibration, calibration, currentPoint, currentPoint,
                                            currentPoint};

    QTest::newRow("voltage point, stored")
        << QStringList{voltage, setPoint, yes, "=10.123456", yes} << voltagePointTitles << store
        << Messages{"CAL:VOLT 10.123456\n", "CAL:SAVE\n"} << 1 << QByteArray();
    // The point stays in the module, unsaved.
    QTest::newRow("current point, not stored")
        << QStringList{current, setPoint, yes, "=2.5", no} << currentPointTitles << store
        << Messages{"CAL:CURR 2.500000\n"} << 0 << QByteArray();
    // Clearing asks no warning first; the store question then still carries it.
    QTest::newRow("current cleared, not stored")
        << QStringList{current, clear, no} << QStringList{calibration, calibration, calibration}
        << warning << Messages{"CAL:CURR:CLEAR\n"} << 0 << QByteArray();
    QTest::newRow("voltage cleared, stored")
        << QStringList{voltage, clear, yes} << QStringList{calibration, calibration, calibration}
        << warning << Messages{"CAL:VOLT:CLEAR\n", "CAL:SAVE\n"} << 0 << QByteArray();
    QTest::newRow("cancel the quantity") << QStringList{cancel} << QStringList{calibration}
                                         << question << Messages() << 0 << QByteArray();
    QTest::newRow("cancel set or clear")
        << QStringList{voltage, cancel} << QStringList{calibration, calibration} << setOrClear
        << Messages() << 0 << QByteArray();
    QTest::newRow("no at the warning")
        << QStringList{current, setPoint, no} << QStringList(currentPointTitles.mid(0, 3))
        << warning << Messages() << 0 << QByteArray();
    QTest::newRow("cancel the value")
        << QStringList{voltage, setPoint, yes, "cancel value"}
        << QStringList(voltagePointTitles.mid(0, 4)) << volts << Messages() << 0 << QByteArray();
    // A failed command asks for no more: the panel asks to be closed.
    QTest::newRow("set point fails")
        << QStringList{voltage, setPoint, yes, "=9.5"} << QStringList(voltagePointTitles.mid(0, 4))
        << volts << Messages{"CAL:VOLT 9.500000\n"} << 0 << QByteArray("CAL:VOLT");
    QTest::newRow("clear fails") << QStringList{current, clear}
                                 << QStringList{calibration, calibration} << setOrClear
                                 << Messages{"CAL:CURR:CLEAR\n"} << 0 << QByteArray("CAL:CURR");
    QTest::newRow("store fails") << QStringList{voltage, clear, yes}
                                 << QStringList{calibration, calibration, calibration} << warning
                                 << Messages{"CAL:VOLT:CLEAR\n", "CAL:SAVE\n"} << 0
                                 << QByteArray("CAL:SAVE");
}

void tst_PanelCalibration::flows()
{
    QFETCH(QStringList, answers);
    QFETCH(QStringList, titles);
    QFETCH(QString, lastText);
    QFETCH(Messages, sent);
    QFETCH(int, stored);
    QFETCH(QByteArray, failing);

    Rvka5630panel *panel = openModule();
    if (!failing.isEmpty())
        rig->module->failNth(failing, 1, SimModule::Fault::BreakLink);
    QSignalSpy requests(panel, &Rvka5630panel::disconnectDevice);
    bool valueAsked = false;
    bool pollingDuringValue = false;
    DialogAnswerer answerer;
    queue(answerer, answers, [&](QDialog *) {
        valueAsked = true;
        pollingDuringValue = pollTimer()->isActive();
    });
    clickCalibration();

    QVERIFY(answerer.unexpected().isEmpty());
    QStringList shownTitles;
    for (const DialogAnswerer::Shown &shown : answerer.shown())
        shownTitles << shown.title;
    QCOMPARE(shownTitles, titles);
    const DialogAnswerer::Shown last = answerer.shown().last();
    QCOMPARE(last.kind == DialogAnswerer::Kind::InputDialog ? last.label : last.text, lastText);
    QCOMPARE(calibrationSent(), sent);
    QCOMPARE(rig->model->storedVoltageCalibration().size() +
                 rig->model->storedCurrentCalibration().size(),
             stored);
    QVERIFY(rig->model->pendingErrors().isEmpty());
    // The read-outs stay live under the voltage's value dialog only.
    if (valueAsked)
        QCOMPARE(pollingDuringValue, answers.first() == voltage);
    QCOMPARE(requests.count(), failing.isEmpty() ? 0 : 1);
    if (!failing.isEmpty())
        return;
    QVERIFY(pollTimer()->isActive());
    QCOMPARE(pollTimer()->interval(), 250);
}

void tst_PanelCalibration::valueDialogNeverGoesBelowZero()
{
    openModule();
    rig->widget<QDoubleSpinBox>("dsbCurr")->setMinimum(-5);
    DialogAnswerer answerer;
    answerer.press(current).press(setPoint).press(yes).enterValue(-3).press(no);
    clickCalibration();

    QVERIFY(answerer.unexpected().isEmpty());
    const DialogAnswerer::Shown value = answerer.shown().at(3);
    QCOMPARE(value.label, QStringLiteral("Введите значение тока."));
    QCOMPARE(value.minimum, 0.0);
    QCOMPARE(value.value, 0.0);
    QCOMPARE(value.maximum, 12.5);
    QCOMPARE(value.decimals, 6);
    QCOMPARE(calibrationSent(), Messages{"CAL:CURR 0.000000\n"});
}

void tst_PanelCalibration::panelGoneWhileAPointIsEntered()
{
    Rvka5630panel *panel = openModule();
    // Hosted as the main window hosts it: a close request deletes the panel later.
    connect(panel, &Rvka5630panel::disconnectDevice, panel, [this] {
        rig->panel->deleteLater();
        rig->panel = nullptr;
    });
    QPointer<Rvka5630panel> alive(panel);
    DialogAnswerer answerer;
    answerer.press(voltage).press(setPoint).press(yes).enterValue(5).inspect([&](QDialog *) {
        // The read-outs keep polling under the voltage dialog; one of them fails.
        rig->module->failNth("MEAS:VOLT?", 1, SimModule::Fault::BreakLink);
        QTRY_VERIFY(alive.isNull());
    });
    clickCalibration();

    QVERIFY(alive.isNull());
    QVERIFY(answerer.unexpected().isEmpty());
    QVERIFY(calibrationSent().isEmpty());
}

QTEST_MAIN(tst_PanelCalibration)
#include "tst_panelcalibration.moc"
