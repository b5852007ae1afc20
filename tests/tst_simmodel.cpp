// The simulated module's command language and state: compound messages, the error queue,
// output states and protections, calibration storage, debug codes and the self-test.

#include "rvka5630model.h"
#include "scpiparser.h"
#include "simdefiniteblock.h"
#include "simloadmodel.h"

#include <QtTest>

class tst_SimModel : public QObject
{
    Q_OBJECT

private slots:
    void compoundMessages_data();
    void compoundMessages();
    void blocksAreNotSplit();
    void errorQueue();
    void outputStates_data();
    void outputStates();
    void protectionTripsAndClears();
    void selfTestLocksOutput();
    void calibrationStorage();
    void debugCodesAndPins();
    void storedSelfTestBlock();
};

namespace {

QByteArray send(Rvka5630Model &module, const QByteArray &message)
{
    return module.execute(message).data;
}

// Fixed output errors, so that the expected values below do not move with the defaults.
OutputImperfections knownImperfections()
{
    OutputImperfections e;
    e.voltageGain = 0.0015;
    e.voltageOffset = 0.005;
    e.voltageReadbackGain = -0.0008;
    e.voltageReadbackOffset = -0.002;
    e.currentGain = 0.001;
    e.currentOffset = 0.004;
    e.currentReadbackOffset = -0.003;
    e.droopPerAmp = 0.0005;
    e.currentDriftPerVolt = -0.00002;
    return e;
}

QByteArrayList drainErrors(Rvka5630Model &module)
{
    QByteArrayList errors;
    for (;;) {
        const QByteArray entry = send(module, "*ERR?\n");
        if (entry.startsWith("0,"))
            return errors;
        errors.append(entry.trimmed());
        if (errors.size() > 32)
            return errors;
    }
}

} // namespace

void tst_SimModel::compoundMessages_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArrayList>("errors");

    QTest::newRow("identity without line end")
        << QByteArray() << QByteArray("*IDN?") << QByteArray("Korvalis,RVKA5630,0042,1.3\n")
        << QByteArrayList();
    QTest::newRow("placement, relative headers")
        << QByteArray() << QByteArray("CONF:PLACEID?;ADDRID?;SWITCHID?") << QByteArray("1;7;0\n")
        << QByteArrayList();
    QTest::newRow("placement with versions")
        << QByteArray() << QByteArray("CONF:PLACEID?;ADDRID?;SWITCHID?;HWV?;FWV?")
        << QByteArray("1;7;0;2.1;1.3\n") << QByteArrayList();
    QTest::newRow("regulator gains in one command")
        << QByteArray("CODE:PWMP 1500;PWMI 20;PWMD 0\n") << QByteArray("CODE:PWMP?;PWMI?;PWMD?\n")
        << QByteArray("1500;20;0\n") << QByteArrayList();
    QTest::newRow("leading colon returns to the root")
        << QByteArray("VOLT:PROT 50;:VOLT 10;:CURR 2\n") << QByteArray("VOLT?;:CURR?;:VOLT:PROT?\n")
        << QByteArray("10.000000;2.000000;50.000000\n") << QByteArrayList();
    QTest::newRow("relative header after a two-level header")
        << QByteArray() << QByteArray("VOLT:PROT 50;VOLT 10\n") << QByteArray()
        << QByteArrayList{"-113,Undefined header"};
    QTest::newRow("common commands keep the path")
        << QByteArray() << QByteArray("CONF:PLACEID?;*IDN?;ADDRID?\n")
        << QByteArray("1;Korvalis,RVKA5630,0042,1.3;7\n") << QByteArrayList();
    QTest::newRow("line feed ends the message and its path")
        << QByteArray() << QByteArray("CONF:PLACEID?\nADDRID?\n") << QByteArray("1\n")
        << QByteArrayList{"-113,Undefined header"};
    QTest::newRow("long forms in any case")
        << QByteArray("outPut:protection:clear\n") << QByteArray("Voltage:Protection? max\n")
        << QByteArray("88.000000\n") << QByteArrayList();
    QTest::newRow("limits") << QByteArray()
                            << QByteArray("VOLT? MIN;VOLT? MAX;CURR? MIN;CURR? MAX\n")
                            << QByteArray("0.000000;80.000000;0.000000;12.500000\n")
                            << QByteArrayList();
    QTest::newRow("protection limits and reset level")
        << QByteArray("*RST\n") << QByteArray("VOLT:PROT? MIN;PROT? MAX;PROT?\n")
        << QByteArray("1.000000;88.000000;88.000000\n") << QByteArrayList();
    QTest::newRow("unknown header in the middle")
        << QByteArray() << QByteArray("CONF:PLACEID?;BOGUS?;:CONF:ADDRID?\n") << QByteArray("1;7\n")
        << QByteArrayList{"-113,Undefined header"};
    QTest::newRow("bad parameters, FIFO")
        << QByteArray() << QByteArray("VOLT 90;:VOLT abc;:CURR;:OUTP 2;:VOLT? 3\n") << QByteArray()
        << QByteArrayList{"-222,Data out of range", "-104,Data type error",
                          "-109,Missing parameter", "-224,Illegal parameter value",
                          "-224,Illegal parameter value"};
    QTest::newRow("trigger master")
        << QByteArray("TRIG:CONF:SOUR MASTER,3;ERR 0\n") << QByteArray("TRIG:CONF:SOUR?;ERR?\n")
        << QByteArray("MASTER,3;0\n") << QByteArrayList();
    QTest::newRow("trigger slave")
        << QByteArray("TRIG:CONF:SOUR SLAVE,5\nTRIG:CONF:ERR 2\n")
        << QByteArray("TRIG:CONF:SOUR?;ERR?\n") << QByteArray("SLAVE,5;2\n") << QByteArrayList();
    QTest::newRow("trigger immediate after reset")
        << QByteArray("TRIG:CONF:SOUR SLAVE,5;ERR 4\n*RST\n")
        << QByteArray("TRIG:CONF:SOUR?;ERR?\n") << QByteArray("IMM;0\n") << QByteArrayList();
    QTest::newRow("trigger line out of range")
        << QByteArray() << QByteArray("TRIG:CONF:SOUR MASTER,13\n") << QByteArray()
        << QByteArrayList{"-222,Data out of range"};
}

void tst_SimModel::compoundMessages()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArrayList, errors);

    Rvka5630Model module;
    if (!setup.isEmpty())
        QCOMPARE(send(module, setup), QByteArray());
    QCOMPARE(drainErrors(module), QByteArrayList());
    QCOMPARE(send(module, message), reply);
    QCOMPARE(drainErrors(module), errors);
}

void tst_SimModel::blocksAreNotSplit()
{
    const QByteArray data("a;b\n#1x,\"y;*RST\n");
    const QVector<ScpiCommand> units = ScpiParser::parse("FLASH:TEMP:WRITE2 0x00000010,16," +
                                                         SimDefiniteBlock::encode(data) + ";*IDN?");
    QCOMPARE(units.size(), 2);
    QCOMPARE(units.at(0).path, QByteArrayList({"FLASH", "TEMP", "WRITE2"}));
    QCOMPARE(units.at(0).argument, "0x00000010,16," + SimDefiniteBlock::encode(data));
    QCOMPARE(units.at(0).parameters().size(), 3);
    QCOMPARE(units.at(1).path, QByteArrayList({"*IDN"}));

    Rvka5630Model module;
    send(module, "FLASH:TEMP:ERASE 1024\n");
    QCOMPARE(send(module,
                  "FLASH:TEMP:WRITE2 0x00000010,16," + SimDefiniteBlock::encode(data) + ";:VOLT?"),
             QByteArray("0.000000\n"));
    QCOMPARE(drainErrors(module), QByteArrayList());
    QCOMPARE(module.intermediateArea().mid(16, 16), data);
}

void tst_SimModel::errorQueue()
{
    Rvka5630Model module;
    QCOMPARE(send(module, "*ERR?\n"), QByteArray("0,No error\n"));
    for (int i = 0; i < 40; ++i)
        send(module, "NOSUCH:COMMAND\n");
    const QVector<QByteArray> pending = module.pendingErrors();
    QCOMPARE(pending.size(), 16);
    QCOMPARE(pending.first(), QByteArray("-113,Undefined header"));
    QCOMPARE(pending.last(), QByteArray("-350,Queue overflow"));
    QCOMPARE(drainErrors(module).size(), 16);
    QCOMPARE(send(module, "*ERR?\n"), QByteArray("0,No error\n"));
    send(module, "VOLT 1 V2\n");
    QCOMPARE(drainErrors(module), QByteArrayList({"-104,Data type error"}));
}

void tst_SimModel::outputStates_data()
{
    QTest::addColumn<QByteArrayList>("load"); // bench load lines, applied after the module setup
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("state");
    QTest::addColumn<double>("volts");
    QTest::addColumn<double>("amps");

    const QByteArrayList none;
    const QByteArrayList twoOhm{"RES 2", "CURR 12.2", "INP 1"};
    QTest::newRow("off") << none << QByteArray("VOLT 10\n") << 0 << 0.0 << 0.0;
    QTest::newRow("CV no load") << none << QByteArray("VOLT 10;:OUTP 1\n") << 1 << 10.02 << 0.0;
    QTest::newRow("CV resistive") << twoOhm << QByteArray("VOLT 10;:CURR 10;:OUTP 1\n") << 1
                                  << 10.02 << 5.01;
    QTest::newRow("CC resistive") << twoOhm << QByteArray("VOLT 30;:CURR 2.5;:OUTP 1\n") << 2
                                  << 5.013 << 2.5064;
    QTest::newRow("CV at the load's cap")
        << QByteArrayList{"RES 2", "CURR 4", "INP 1"} << QByteArray("VOLT 30;:CURR 5;:OUTP 1\n")
        << 1 << 30.048 << 4.0;
    QTest::newRow("load input off") << QByteArrayList{"RES 2", "CURR 4", "INP 0"}
                                    << QByteArray("VOLT 30;:CURR 1;:OUTP 1\n") << 1 << 30.05 << 0.0;
    QTest::newRow("output relay opened")
        << twoOhm << QByteArray("VOLT 10;:OUTP 1;:PIN:OUTRELE 0\n") << 12 << 0.0 << 0.0;
}

void tst_SimModel::outputStates()
{
    QFETCH(QByteArrayList, load);
    QFETCH(QByteArray, setup);
    QFETCH(int, state);
    QFETCH(double, volts);
    QFETCH(double, amps);

    Rvka5630Model module;
    module.setImperfections(knownImperfections());
    SimLoadModel bench(&module);
    bench.execute("SYST:LOCK ON\n");
    for (const QByteArray &line : load)
        bench.execute(line + '\n');
    send(module, setup);
    QCOMPARE(drainErrors(module), QByteArrayList());
    QCOMPARE(send(module, "OUTP? STATE\n"), QByteArray::number(state) + '\n');
    QCOMPARE(send(module, "OUTP?\n"), QByteArray::number(state) + '\n');
    const OperatingPoint point = module.outputPoint();
    QVERIFY2(qAbs(point.voltage - volts) < 0.005, QByteArray::number(point.voltage));
    QVERIFY2(qAbs(point.current - amps) < 0.005, QByteArray::number(point.current));
    QCOMPARE(send(module, "PIN:CVCTR?;CCCTR?\n"), QByteArray(state == 1   ? "1;0\n"
                                                             : state == 2 ? "0;1\n"
                                                                          : "0;0\n"));
}

void tst_SimModel::protectionTripsAndClears()
{
    Rvka5630Model module;
    send(module, "VOLT 50;:OUTP 1\n");
    QCOMPARE(send(module, "OUTP? STATE\n"), QByteArray("1\n"));
    send(module, "VOLT:PROT 45\n");
    QCOMPARE(send(module, "OUTP? STATE;:PIN:OVVOUT?\n"), QByteArray("5;1\n"));
    QVERIFY(!module.outputOn());
    send(module, "OUTP 1\n");
    QCOMPARE(drainErrors(module), QByteArrayList({"-221,Settings conflict"}));
    send(module, "OUTP:PROT:CLE\n");
    QCOMPARE(send(module, "OUTP? STATE;:PIN:OVVOUT?\n"), QByteArray("0;0\n"));

    // 40 V into 4 ohm is 400 W: over the normal 360 W limit, within the extended 500 W.
    ExternalLoad load;
    load.inputOn = true;
    load.resistanceOhm = 4.0;
    load.currentLimitA = 20.0;
    module.setExternalLoad(load);
    send(module, "VOLT:PROT 88;:VOLT 40;:CURR 12;:OUTP 1\n");
    QCOMPARE(send(module, "OUTP? STATE;:PIN:TTFOVC?\n"), QByteArray("8;1\n"));
    send(module, "OUTP:PROT:CLE;:OVPOWER 1;:OUTP 1\n");
    QCOMPARE(send(module, "OUTP? STATE\n"), QByteArray("1\n"));

    module.injectFault(9);
    QCOMPARE(send(module, "OUTP? STATE\n"), QByteArray("9\n"));
    send(module, "*RST\n");
    QCOMPARE(send(module, "OUTP? STATE;:OVPOWER?;:CURR?\n"), QByteArray("0;0;1.000000\n"));
}

void tst_SimModel::selfTestLocksOutput()
{
    Rvka5630Model module;
    module.setSelfTestVerdict("-1");
    module.setSelfTestDelayMs(12345);
    const ModelReply verdict = module.execute("*TST?\n");
    QCOMPARE(verdict.data, QByteArray("-1\n"));
    QCOMPARE(verdict.delayMs, 12345);
    QCOMPARE(send(module, "OUTP:PROT?;PROT:IGNORE?\n"), QByteArray("1;0\n"));
    send(module, "OUTP 1\n");
    QCOMPARE(drainErrors(module), QByteArrayList({"-221,Settings conflict"}));
    send(module, "OUTP:PROT:IGNORE\n");
    QCOMPARE(send(module, "OUTP:PROT:IGNORE?\n"), QByteArray("1\n"));
    send(module, "OUTP 1\n");
    QCOMPARE(send(module, "OUTP? STATE\n"), QByteArray("1\n"));

    module.setSelfTestVerdict("0");
    QCOMPARE(module.execute("*TST?\n").delayMs, 12345);
    QCOMPARE(send(module, "OUTP:PROT?\n"), QByteArray("0\n"));
    QCOMPARE(Rvka5630Model().execute("*TST?\n").delayMs, 8000);
}

void tst_SimModel::calibrationStorage()
{
    Rvka5630Model module;
    module.setImperfections(knownImperfections());
    send(module, "VOLT 10;:OUTP 1\n");
    send(module, "CAL:VOLT 1.00200000e+01\n");
    QCOMPARE(module.voltageCalibration().size(), 1);
    QCOMPARE(module.voltageCalibration().first().drive, 10.0);
    QCOMPARE(module.voltageCalibration().first().measured, 10.02);
    // The working point acts at once: the output moves towards the set-point.
    QVERIFY(qAbs(module.outputPoint().voltage - 10.0) < 0.0002);

    send(module, "*RST\n");
    QCOMPARE(module.voltageCalibration().size(), 1);
    QVERIFY(module.storedVoltageCalibration().isEmpty());

    send(module, "FLASH:TEMP:ERASE 1024;:FLASH:TEMP:FIRMWARE 1024\n");
    QCOMPARE(module.takeRestartMs(), 8000);
    QCOMPARE(module.takeRestartMs(), 0);
    QVERIFY(module.voltageCalibration().isEmpty()); // never saved

    send(module, "VOLT 10;:OUTP 1;:CAL:VOLT 10.010000;:CAL:SAVE\n");
    send(module, "VOLT 2;:CURR 1;:CAL:CURR 1.5;:CAL:VOLT:CLEAR\n");
    QVERIFY(module.voltageCalibration().isEmpty());
    QCOMPARE(module.currentCalibration().size(), 1);
    send(module, "FLASH:TEMP:FIRMWARE 1024\n");
    QVERIFY(module.takeRestartMs() > 0);
    QCOMPARE(module.voltageCalibration().size(), 1);
    QVERIFY(module.currentCalibration().isEmpty());

    send(module, "CAL:VOLT 5\n"); // output off after the restart: nothing to calibrate
    QCOMPARE(drainErrors(module), QByteArrayList({"-221,Settings conflict"}));
}

void tst_SimModel::debugCodesAndPins()
{
    Rvka5630Model module;
    module.setImperfections(knownImperfections());
    send(module, "CODE:IBALDACONE -25536;:CODE:PWMVALUE -1;:CODE:PWMP 1500;PWMI 20;PWMD 0\n");
    QCOMPARE(send(module, "CODE:IBALDACONE?;PWMVALUE?;PWMP?;PWMI?;PWMD?\n"),
             QByteArray("40000;65535;1500;20;0\n"));
    send(module, "CODE:PWMP -32769\n");
    QCOMPARE(drainErrors(module), QByteArrayList({"-222,Data out of range"}));

    send(module, "PIN:ADGCTR 1;ULPISTP 1\n");
    QCOMPARE(send(module, "PIN:ADGCTR?;OUTRELE?;ULPISTP?\n"), QByteArray("1;0;1\n"));
    send(module, "*RST\n");
    QCOMPARE(send(module, "PIN:ADGCTR?;OUTRELE?;ULPISTP?\n"), QByteArray("0;0;0\n"));
    QCOMPARE(send(module, "CODE:IBALDACONE?\n"), QByteArray("40000\n"));

    QCOMPARE(send(module, "CODE:VDROP?;FBVNS?\n"), QByteArray("0;0\n"));
    send(module, "VOLT 45;:OUTP 1\n");
    const QByteArrayList codes =
        send(module, "CODE:VDROP?;IBAL?;FBVDROP?;FBVNS?\n").trimmed().split(';');
    QCOMPARE(codes.size(), 4);
    QVERIFY(qAbs(codes.at(0).toInt() - 32768) < 100);
    QVERIFY(codes.at(1).toInt() < 20);
    QVERIFY(qAbs(codes.at(2).toInt() - 2048) < 5);
    QVERIFY(qAbs(codes.at(3).toInt() - 1740) < 5);
}

void tst_SimModel::storedSelfTestBlock()
{
    Rvka5630Model module;
    const QByteArray reply = send(module, "MEAS:SELFTEST?\n");
    int start = 0;
    int length = 0;
    QCOMPARE(SimDefiniteBlock::scan(reply, 0, &start, &length), SimDefiniteBlock::Scan::Ok);
    QCOMPARE(start + length, reply.size()); // no line feed after the data
    const QByteArrayList records = reply.mid(start).split(';');
    QVERIFY(records.size() > 2);
    QVERIFY(records.last().isEmpty());
    QCOMPARE(records.first().split(',').size(), 8);
    QVERIFY(records.first().contains('#'));

    module.setSelfTestRecords("1,2;3#4,5;");
    QCOMPARE(send(module, "MEAS:SELFTEST?\n"), QByteArray("#2101,2;3#4,5;"));
}

QTEST_GUILESS_MAIN(tst_SimModel)
#include "tst_simmodel.moc"
