// ctest-timeout: 120
// The module's debug window against a simulated module: what it sends when started, on
// every poll and from each setter, how it fails, and the availability check of the bench's
// serial instruments.
#include "dialoganswerer.h"
#include "modulesession.h"
#include "modulethread.h"
#include "modulework.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "simlan.h"

#include <vdvisa_testing.h>
#include <visa.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <memory>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.2");

const QString lampOn = QStringLiteral("background-color: rgb(0, 255, 0);");
const QString lampOff = QStringLiteral("background-color: rgb(244, 244, 244);");

const QVector<QByteArray> readBackQueries = {
    "PIN:ADGCTR?\n",    "PIN:OUTRELE?\n", "PIN:ULPISTP?\n", "CODE:IBALDACONE?\n",
    "CODE:PWMVALUE?\n", "CODE:PWMP?\n",   "CODE:PWMI?\n",   "CODE:PWMD?\n",
};

const QVector<QByteArray> pollQueries = {
    "PIN:OVVOUT?\n", "PIN:CVCTR?\n", "PIN:CCCTR?\n",    "PIN:TTFOVC?\n", "PIN:OCP?\n",
    "CODE:VDROP?\n", "CODE:IBAL?\n", "CODE:FBVDROP?\n", "CODE:FBVNS?\n", "OUTP:PROT:IGNORE?\n",
};

const QStringList lamps = {"led_OVV_OUT", "led_CV_CTR", "led_CC_CTR", "led_TTF_OVC", "led_OCP"};
const QStringList codeLabels = {"lblVdrop", "lblIbal", "lblVdrop334", "lblVns334", "lblSelfTest"};

enum class Setter
{
    Ibaldac,
    PwmMax,
    Gains,
    OutRele,
    AdgCtr,
    UlpiStp,
};

} // namespace

Q_DECLARE_METATYPE(Setter)

class TestRvka5630Debug : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    SimModule *module = nullptr;
    Rvka5630Model *model = nullptr;
    ViSession rm = VI_NULL;
    ModuleThread moduleThread;
    ModuleSession &session = moduleThread.session();

    template <class T> static T *widget(QWidget *window, const QString &name)
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }

    void send(const QByteArray &command) { model->execute(command); }

    std::unique_ptr<Rvka5630Debug> makeWindow()
    {
        auto window = std::make_unique<Rvka5630Debug>(moduleThread, nullptr);
        window->start();
        waitForModuleWork(&moduleThread, 120000);
        module->transcript().clear();
        return window;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        module = lan.addRvka5630(moduleAddress);
        QVERIFY(module);
        model = lan.rvka5630(moduleAddress);
        lan.publish();
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(session.open(rm, SimBench::resourceName(moduleAddress), 1000), VI_SUCCESS);
    }

    void init()
    {
        vdvisaClearInjections();
        send("*RST\n");
        for (const char *command :
             {"PIN:ADGCTR 0\n", "PIN:OUTRELE 0\n", "PIN:ULPISTP 0\n", "CODE:IBALDACONE 0\n",
              "CODE:PWMVALUE 0\n", "CODE:PWMP 0\n", "CODE:PWMI 0\n", "CODE:PWMD 0\n"})
            send(command);
        module->transcript().clear();
    }

    void cleanupTestCase()
    {
        session.close();
        viClose(rm);
    }

    void startReadsBackAndStaysQuietWhileHidden()
    {
        send("PIN:OUTRELE 1\n");
        send("CODE:IBALDACONE 40000\n");
        send("CODE:PWMVALUE 1234\n");
        send("CODE:PWMP 1500\n");
        send("CODE:PWMI 20\n");
        Rvka5630Debug window(moduleThread, nullptr);
        // Construction only builds the form; the read-back waits for start().
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>());
        window.start();
        waitForModuleWork(&moduleThread, 120000);
        QCOMPARE(module->transcript().messages(), readBackQueries);
        QVERIFY(!window.isVisible());

        QVERIFY(!widget<QCheckBox>(&window, "cbAdgCtr")->isChecked());
        QVERIFY(widget<QCheckBox>(&window, "cbOutRele")->isChecked());
        QCOMPARE(widget<QSpinBox>(&window, "sbIbaldac1")->value(), 40000);
        QCOMPARE(widget<QSpinBox>(&window, "sbPwmMax")->value(), 1234);
        QCOMPARE(widget<QDoubleSpinBox>(&window, "dsbKp")->text(), QStringLiteral("1.500"));
        QCOMPARE(widget<QDoubleSpinBox>(&window, "dsbKi")->text(), QStringLiteral("0.020"));

        // Hidden: a second of timer ticks sends nothing at all, and no read-back went back
        // to the module as a command.
        QTest::qWait(1000);
        QCOMPARE(module->transcript().messages(), readBackQueries);
    }

    void pollShowsPinsAndCodesWhileVisible()
    {
        send("VOLT 10\n");
        send("OUTP 1\n");
        send("OUTP:PROT:IGNORE\n");
        auto window = makeWindow();
        window->show();
        QTRY_VERIFY(module->transcript().contains("OUTP:PROT:IGNORE?\n"));
        QCOMPARE(module->transcript().messages().mid(0, pollQueries.size()), pollQueries);
        QCoreApplication::processEvents();

        QCOMPARE(widget<QPushButton>(window.get(), "led_CV_CTR")->styleSheet(), lampOn);
        for (const char *off : {"led_OVV_OUT", "led_CC_CTR", "led_TTF_OVC", "led_OCP"})
            QCOMPARE(widget<QPushButton>(window.get(), off)->styleSheet(), lampOff);
        // 10 V on the 12-bit, 90 V feedback is about 455; the raw codes are shown as is.
        const int feedback = widget<QLabel>(window.get(), "lblVdrop334")->text().toInt();
        QVERIFY2(feedback > 400 && feedback < 500, qPrintable(QString::number(feedback)));
        QVERIFY(widget<QLabel>(window.get(), "lblVdrop")->text().toInt() > 0);
        QCOMPARE(widget<QLabel>(window.get(), "lblSelfTest")->text(), QStringLiteral("1"));

        window->setEnabled(false);
        QCoreApplication::processEvents();
        module->transcript().clear();
        QTest::qWait(800);
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>());
    }

    // Ticks that come while a poll is still on its way to a slow module are skipped: one poll
    // at a time, and the window's event loop keeps going meanwhile.
    void pollNeverPilesUp()
    {
        auto window = makeWindow();
        window->show();
        // The ticks come from here alone.
        window->findChild<QTimer *>()->stop();
        QVERIFY(waitForModuleWork(&moduleThread));
        module->transcript().clear();
        module->setReplyDelayMs(30);
        for (int tick = 0; tick < 5; ++tick)
            window->gettableDataUpdate();
        QCOMPARE(moduleThread.outstanding(), 1);
        QVERIFY(waitForModuleWork(&moduleThread));
        module->setReplyDelayMs(0);
        QCOMPARE(module->transcript().messages().mid(0, pollQueries.size()), pollQueries);
        QCOMPARE(module->transcript().count("PIN:OVVOUT?\n"), 1);
    }

    void settersSendSixteenBitFields_data()
    {
        QTest::addColumn<Setter>("setter");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("stored");

        QTest::newRow("ibaldac 40000")
            << Setter::Ibaldac << QVector<double>{40000} << QByteArray("CODE:IBALDACONE -25536\n")
            << QByteArray("CODE:IBALDACONE?\n") << QByteArray("40000");
        QTest::newRow("ibaldac 65535")
            << Setter::Ibaldac << QVector<double>{65535} << QByteArray("CODE:IBALDACONE -1\n")
            << QByteArray("CODE:IBALDACONE?\n") << QByteArray("65535");
        QTest::newRow("ibaldac 32767")
            << Setter::Ibaldac << QVector<double>{32767} << QByteArray("CODE:IBALDACONE 32767\n")
            << QByteArray("CODE:IBALDACONE?\n") << QByteArray("32767");
        QTest::newRow("pwm max 32768")
            << Setter::PwmMax << QVector<double>{32768} << QByteArray("CODE:PWMVALUE -32768\n")
            << QByteArray("CODE:PWMVALUE?\n") << QByteArray("32768");
        QTest::newRow("gains 40, 0.5, 0") << Setter::Gains << QVector<double>{40.0, 0.5, 0.0}
                                          << QByteArray("CODE:PWMP -25536;PWMI 500;PWMD 0\n")
                                          << QByteArray("CODE:PWMP?\n") << QByteArray("40000");
        QTest::newRow("gains 1.5, 0.02, 0") << Setter::Gains << QVector<double>{1.5, 0.02, 0.0}
                                            << QByteArray("CODE:PWMP 1500;PWMI 20;PWMD 0\n")
                                            << QByteArray("CODE:PWMI?\n") << QByteArray("20");
        // 1.001 is held as 1.00099999...; truncated it would go out as 1000.
        QTest::newRow("gains 1.001, 65.535, 0.001")
            << Setter::Gains << QVector<double>{1.001, 65.535, 0.001}
            << QByteArray("CODE:PWMP 1001;PWMI -1;PWMD 1\n") << QByteArray("CODE:PWMP?\n")
            << QByteArray("1001");
        QTest::newRow("out rele on")
            << Setter::OutRele << QVector<double>{} << QByteArray("PIN:OUTRELE 1\n")
            << QByteArray("PIN:OUTRELE?\n") << QByteArray("1");
        QTest::newRow("adg ctr on")
            << Setter::AdgCtr << QVector<double>{} << QByteArray("PIN:ADGCTR 1\n")
            << QByteArray("PIN:ADGCTR?\n") << QByteArray("1");
        QTest::newRow("ulpi stp on")
            << Setter::UlpiStp << QVector<double>{} << QByteArray("PIN:ULPISTP 1\n")
            << QByteArray("PIN:ULPISTP?\n") << QByteArray("1");
    }

    void settersSendSixteenBitFields()
    {
        QFETCH(Setter, setter);
        QFETCH(QVector<double>, values);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, stored);

        auto window = makeWindow();
        QSignalSpy failures(window.get(), &Rvka5630Debug::debugDisconnectDevice);
        QWidget *w = window.get();
        switch (setter) {
        case Setter::Ibaldac:
            widget<QSpinBox>(w, "sbIbaldac1")->setValue(int(values[0]));
            widget<QPushButton>(w, "ibaldacButton")->click();
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Setter::PwmMax:
            widget<QSpinBox>(w, "sbPwmMax")->setValue(int(values[0]));
            widget<QPushButton>(w, "pwmMaxButton")->click();
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Setter::Gains:
            widget<QDoubleSpinBox>(w, "dsbKp")->setValue(values[0]);
            widget<QDoubleSpinBox>(w, "dsbKi")->setValue(values[1]);
            widget<QDoubleSpinBox>(w, "dsbKd")->setValue(values[2]);
            widget<QPushButton>(w, "pidButton")->click();
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Setter::OutRele:
            widget<QCheckBox>(w, "cbOutRele")->click();
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Setter::AdgCtr:
            widget<QCheckBox>(w, "cbAdgCtr")->click();
            waitForModuleWork(&moduleThread, 120000);
            break;
        case Setter::UlpiStp:
            widget<QCheckBox>(w, "cbUlpiStp")->click();
            waitForModuleWork(&moduleThread, 120000);
            break;
        }
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{sent});
        QCOMPARE(model->execute(query).data.trimmed(), stored);
        QCOMPARE(failures.count(), 0);
    }

    void failingPollQueryLeavesLaterWidgets_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("error") << int(VI_ERROR_TMO);
        QTest::newRow("warning") << int(VI_SUCCESS_MAX_CNT);
    }

    void failingPollQueryLeavesLaterWidgets()
    {
        QFETCH(int, status);
        send("VOLT 10\n");
        send("OUTP 1\n");
        auto window = makeWindow();
        QSignalSpy failures(window.get(), &Rvka5630Debug::debugDisconnectDevice);
        const QString untouched = QStringLiteral("untouched");
        for (const QString &lamp : lamps)
            widget<QPushButton>(window.get(), lamp)->setStyleSheet(untouched);
        for (const QString &label : codeLabels)
            widget<QLabel>(window.get(), label)->setText(untouched);
        window->show();

        // The fourth query of this tick is "PIN:TTFOVC?\n".
        vdvisaInjectStatus("viQueryf", 4, status);
        window->gettableDataUpdate();
        waitForModuleWork(&moduleThread, 120000);
        QCOMPARE(failures.count(), 1);
        QCOMPARE(widget<QPushButton>(window.get(), "led_OVV_OUT")->styleSheet(), lampOff);
        QCOMPARE(widget<QPushButton>(window.get(), "led_CV_CTR")->styleSheet(), lampOn);
        QCOMPARE(widget<QPushButton>(window.get(), "led_CC_CTR")->styleSheet(), lampOff);
        QCOMPARE(widget<QPushButton>(window.get(), "led_TTF_OVC")->styleSheet(), untouched);
        QCOMPARE(widget<QPushButton>(window.get(), "led_OCP")->styleSheet(), untouched);
        for (const QString &label : codeLabels)
            QCOMPARE(widget<QLabel>(window.get(), label)->text(), untouched);
        // A replaced call sends nothing; a warning comes back after the query went out.
        const int sent = status < 0 ? 3 : 4;
        QCOMPARE(module->transcript().messages(), pollQueries.mid(0, sent));
    }

    void failingReadBackIsHeardByTheOwner()
    {
        send("PIN:ADGCTR 1\n");
        send("PIN:OUTRELE 1\n");
        send("PIN:ULPISTP 1\n");
        send("CODE:PWMP 1500\n");
        vdvisaInjectStatus("viQueryf", 3, VI_ERROR_TMO);
        Rvka5630Debug window(moduleThread, nullptr);
        QSignalSpy failures(&window, &Rvka5630Debug::debugDisconnectDevice);
        window.start();
        waitForModuleWork(&moduleThread, 120000);
        // Heard at once: the owner connected before the start.
        QCOMPARE(failures.count(), 1);
        QVERIFY(widget<QCheckBox>(&window, "cbAdgCtr")->isChecked());
        QVERIFY(widget<QCheckBox>(&window, "cbOutRele")->isChecked());
        QVERIFY(!widget<QCheckBox>(&window, "cbUlpiStp")->isChecked());
        QCOMPARE(widget<QDoubleSpinBox>(&window, "dsbKp")->value(), 0.0);
        QCOMPARE(module->transcript().messages(), readBackQueries.mid(0, 2));
        QTest::qWait(50);
        QCOMPARE(failures.count(), 1);
    }

    void failingSetterAsksForDisconnection()
    {
        auto window = makeWindow();
        QSignalSpy failures(window.get(), &Rvka5630Debug::debugDisconnectDevice);
        vdvisaInjectStatus("viPrintf", 1, VI_ERROR_TMO);
        widget<QPushButton>(window.get(), "pwmMaxButton")->click();
        waitForModuleWork(&moduleThread, 120000);
        QCOMPARE(failures.count(), 1);
        vdvisaInjectStatus("viPrintf", 1, VI_SUCCESS_MAX_CNT);
        widget<QCheckBox>(window.get(), "cbAdgCtr")->click();
        waitForModuleWork(&moduleThread, 120000);
        QCOMPARE(failures.count(), 2);
    }

    void closingHidesAndKeepsTheValues()
    {
        send("VOLT 20\n");
        send("OUTP 1\n");
        auto window = makeWindow();
        QPointer<Rvka5630Debug> alive(window.get());
        window->show();
        QTRY_VERIFY(widget<QLabel>(window.get(), "lblVns334")->text() != QStringLiteral("0"));
        widget<QSpinBox>(window.get(), "sbIbaldac1")->setValue(777);
        const QString feedback = widget<QLabel>(window.get(), "lblVns334")->text();

        QVERIFY(!window->close());
        QVERIFY(alive);
        QVERIFY(!window->isVisible());
        send("OUTP 0\n");
        QTest::qWait(600);
        module->transcript().clear();
        QTest::qWait(600);
        QCOMPARE(module->transcript().count(""), 0);

        // Shown again, it still holds what it showed (until the next tick polls anew).
        window->show();
        QCOMPARE(widget<QSpinBox>(window.get(), "sbIbaldac1")->value(), 777);
        QCOMPARE(widget<QLabel>(window.get(), "lblVns334")->text(), feedback);

        QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
        window.reset();
    }

    void availabilityCheck_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("report");

        const QString both = QStringLiteral("Мультиметр найден.\nНагрузка электронная найдена.");
        const QString loadOnly =
            QStringLiteral("Мультиметр не найден!\nНагрузка электронная найдена.");
        const QString meterOnly =
            QStringLiteral("Мультиметр найден.\nНагрузка электронная не найдена!");
        const QString none =
            QStringLiteral("Мультиметр не найден!\nНагрузка электронная не найдена!");
        QTest::newRow("both present") << "" << both;
        QTest::newRow("no ports at all") << "no ports" << none;
        QTest::newRow("maker in lower case") << "lower-case maker" << loadOnly;
        QTest::newRow("description without GDM") << "no GDM" << loadOnly;
        QTest::newRow("meter held by another program") << "meter held" << loadOnly;
        QTest::newRow("load held by another program") << "load held" << meterOnly;
    }

    void availabilityCheck()
    {
        QFETCH(QString, fault);
        QFETCH(QString, report);

        SimSerialMultimeter *meter = lan.bench().multimeter();
        SimSerialLoad *load = lan.bench().load();
        if (!meter) {
            meter = lan.addMultimeter(moduleAddress);
            load = lan.addLoad(moduleAddress);
        }
        QVERIFY(meter && load);
        meter->clearFaults();
        load->clearFaults();
        meter->setUsbStrings(SimSerialMultimeter::defaultManufacturer,
                             SimSerialMultimeter::defaultDescription);
        if (fault == "lower-case maker")
            meter->setLowerCaseMaker(true);
        if (fault == "no GDM")
            meter->setUsbStrings(SimSerialMultimeter::defaultManufacturer, "Digital Multimeter");
        meter->setHeldOpen(fault == "meter held");
        load->setHeldOpen(fault == "load held");
        lan.publishSerialPorts();
        if (fault == "no ports")
            qputenv("VOLTADESK_SERIAL_PORTS", "");
        meter->transcript().clear();
        load->transcript().clear();

        auto window = makeWindow();
        window->show();
        DialogAnswerer answerer;
        answerer.press(QStringLiteral("OK"));
        QTest::mouseClick(widget<QPushButton>(window.get(), "addHwCheckButton"), Qt::LeftButton);
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(answerer.shown().size(), 1);
        const DialogAnswerer::Shown box = answerer.shown().first();
        QCOMPARE(box.title, QStringLiteral("Проверка доступности дополнительного оборудования"));
        QCOMPARE(box.text, report);
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.buttons, QStringList{"OK"});
        QVERIFY(answerer.unexpected().isEmpty());

        // Nothing is written to either instrument, and neither port stays open.
        QTest::qWait(50);
        QCOMPARE(meter->transcript().messages(), QVector<QByteArray>());
        QCOMPARE(load->transcript().messages(), QVector<QByteArray>());
        meter->clearFaults();
        load->clearFaults();
        QSerialPort probe;
        probe.setPortName(meter->path());
        QVERIFY(probe.open(QIODevice::ReadWrite));
    }
};

QTEST_MAIN(TestRvka5630Debug)
#include "tst_rvka5630debug.moc"
