// Our VISA library against simulated VXI-11 instruments: sessions, formatted I/O, binary
// blocks, time-outs, faults, and the program's calling conventions on top.
#include "commandchain.h"
#include "definiteblock.h"
#include "errorquery.h"
#include "simlan.h"
#include "termcharscope.h"

#include <vdvisa_testing.h>
#include <visa.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtConcurrent>
#include <QtTest>

#include <clocale>
#include <cstring>
#include <limits>
#include <unistd.h>

class TestVisaLayer : public QObject
{
    Q_OBJECT

private:
    SimLan lan;
    ScriptedModel *model = nullptr;
    SimModule *module = nullptr;
    ViSession rm = VI_NULL;
    ViSession vi = VI_NULL;

    static constexpr const char *address = "TCPIP0::127.0.0.2::inst0::INSTR";

private slots:
    void initTestCase()
    {
        module = lan.addScripted(QStringLiteral("127.0.0.2"), &model);
        QVERIFY(module);
        lan.addScripted(QStringLiteral("127.0.0.3"), nullptr, "Korvalis,RVKA5630,0043,1.3");
        lan.publish({QStringLiteral("127.0.0.9")});
        // Not published: the resource search above lists the IPv4 bench only.
        QVERIFY(lan.addScripted(QStringLiteral("::1"), nullptr, "Korvalis,RVKA5630,0061,1.3"));
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    }

    void init()
    {
        module->clearFaults();
        model->reset();
        module->transcript().clear();
        vdvisaClearInjections();
        QCOMPARE(viOpen(rm, address, VI_NULL, 1000, &vi), VI_SUCCESS);
    }

    void cleanup() { viClose(vi); }

    void cleanupTestCase() { viClose(rm); }

    void queryRoundTrip()
    {
        char reply[256] = {};
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis,RVKA5630,0042,1.3"));
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{"*IDN?\n"});
    }

    void discoveryQueriesWithoutLineFeed()
    {
        // The message ends with END only; the device sees exactly the text.
        char reply[256] = {};
        QCOMPARE(viQueryf(vi, "*IDN?", "%255s", reply), VI_SUCCESS);
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{"*IDN?"});
    }

    void tokenStopsAtSpace()
    {
        model->setReply("MODEL?", "Korvalis RVKA5630\n");
        char reply[256] = {};
        QCOMPARE(viQueryf(vi, "MODEL?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis"));
    }

    void replyLongerThanBufferIsCut()
    {
        model->setReply("LONG?", QByteArray(40, 'x') + '\n');
        char buffer[24];
        std::memset(buffer, '#', sizeof buffer);
        // 16 bytes for the reply, the rest is a canary that must survive.
        QCOMPARE(viQueryf(vi, "LONG?\n", "%15s", buffer), VI_SUCCESS);
        QCOMPARE(QByteArray(buffer), QByteArray(15, 'x'));
        QCOMPARE(QByteArray(buffer + 16, 8), QByteArray(8, '#'));

        CommandChain chain(vi);
        char line[16];
        chain.queryLine("LONG?\n", line);
        QVERIFY(chain.ok());
        QCOMPARE(QByteArray(line), QByteArray(15, 'x'));
    }

    void numbersInCommaLocale()
    {
        // A locale whose decimal separator is a comma must not reach instrument messages.
        QTemporaryDir localeDir;
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-i"), QStringLiteral("ru_RU"), QStringLiteral("-f"),
                         QStringLiteral("UTF-8"),
                         localeDir.filePath(QStringLiteral("ru_RU.UTF-8"))});
        QVERIFY(localedef.waitForFinished(60000));
        qputenv("LOCPATH", localeDir.path().toLocal8Bit());
        QVERIFY(std::setlocale(LC_ALL, "ru_RU.UTF-8"));
        char check[32];
        std::snprintf(check, sizeof check, "%.1f", 1.5);
        QCOMPARE(QByteArray(check), QByteArray("1,5"));

        model->setReply("MEAS:VOLT?", "12.345\n");
        QCOMPARE(viPrintf(vi, "VOLT %lf\n", 12.5), VI_SUCCESS);
        QCOMPARE(viPrintf(vi, "CAL:VOLT %.8e\n", 80.012), VI_SUCCESS);
        double measured = 0;
        QCOMPARE(viQueryf(vi, "MEAS:VOLT?\n", "%lf", &measured), VI_SUCCESS);
        std::setlocale(LC_ALL, "C");
        qunsetenv("LOCPATH");
        QCOMPARE(measured, 12.345);
        QCOMPARE(module->transcript().startingWith("VOLT").value(0),
                 QByteArray("VOLT 12.500000\n"));
        QCOMPARE(module->transcript().startingWith("CAL").value(0),
                 QByteArray("CAL:VOLT 8.00120000e+01\n"));
    }

    void formattedArguments_data()
    {
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("short wraps") << QByteArray("CODE:IBALDACONE -25536\n");
        QTest::newRow("gains") << QByteArray("CODE:PWMP 1500;PWMI 20;PWMD 0\n");
        QTest::newRow("address") << QByteArray("MEMREAD? 0x080A1000,0x00001000\n");
    }
    void formattedArguments()
    {
        QFETCH(QByteArray, expected);
        const QByteArray tag = QTest::currentDataTag();
        if (tag == "short wraps")
            QCOMPARE(viPrintf(vi, "CODE:IBALDACONE %hd\n", short(40000)), VI_SUCCESS);
        else if (tag == "gains")
            QCOMPARE(viPrintf(vi, "CODE:PWMP %hd;PWMI %hd;PWMD %hd\n", 1500, 20, 0), VI_SUCCESS);
        else
            QCOMPARE(viPrintf(vi, "MEMREAD? 0x%08X,0x%08X\n", 0x080A1000u, 0x1000u), VI_SUCCESS);
        QCOMPARE(module->transcript().messages().value(0), expected);
    }

    void formattedWriteBufferEndsMessagesAtFormatLineFeeds()
    {
        // A line feed that comes from an argument ends nothing: both commands reach the
        // module as one message, as they would under a vendor VISA.
        QCOMPARE(viPrintf(vi, "%s", "*RST\n"), VI_SUCCESS);
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{});
        QCOMPARE(viPrintf(vi, "OUTP 1\n"), VI_SUCCESS);
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{"*RST\nOUTP 1\n"});

        // Each line feed of a format ends a message; what follows the last one waits.
        module->transcript().clear();
        QCOMPARE(viPrintf(vi, "VOLT %d\nCURR %d\n*IDN", 5, 1), VI_SUCCESS);
        QCOMPARE(module->transcript().messages(), (QVector<QByteArray>{"VOLT 5\n", "CURR 1\n"}));
        // viQueryf sends what waits together with its own write format, with END.
        char reply[256] = {};
        QCOMPARE(viQueryf(vi, "?", "%255t", reply), VI_SUCCESS);
        QCOMPARE(module->transcript().messages().value(2), QByteArray("*IDN?"));
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis,RVKA5630,0042,1.3\n"));

        // viFlush sends with END; viClear discards; VI_FLUSH_ON_ACCESS sends every call.
        module->transcript().clear();
        QCOMPARE(viPrintf(vi, "*CLS"), VI_SUCCESS);
        QCOMPARE(viFlush(vi, VI_WRITE_BUF), VI_SUCCESS);
        QCOMPARE(viPrintf(vi, "*RST"), VI_SUCCESS);
        QCOMPARE(viClear(vi), VI_SUCCESS);
        QCOMPARE(viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
        QCOMPARE(viPrintf(vi, "%s", "OUTP 0"), VI_SUCCESS);
        QCOMPARE(module->transcript().messages(), (QVector<QByteArray>{"*CLS", "OUTP 0"}));
    }

    void scannedIntegersMustFit_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<qlonglong>("value");
        const int ok = VI_SUCCESS, bad = VI_ERROR_INV_FMT, nsup = VI_ERROR_NSUP_FMT;
        QTest::newRow("int max") << QByteArray("%d") << QByteArray("2147483647") << ok
                                 << 2147483647LL;
        QTest::newRow("2^32+1") << QByteArray("%d") << QByteArray("4294967297") << bad << 0LL;
        QTest::newRow("below int min")
            << QByteArray("%d") << QByteArray("-2147483649") << bad << 0LL;
        QTest::newRow("short 70000") << QByteArray("%hd") << QByteArray("70000") << bad << 0LL;
        QTest::newRow("short min") << QByteArray("%hd") << QByteArray("-32768") << ok << -32768LL;
        QTest::newRow("int64 min") << QByteArray("%lld") << QByteArray("-9223372036854775808") << ok
                                   << std::numeric_limits<qlonglong>::min();
        QTest::newRow("over 64 bits")
            << QByteArray("%lld") << QByteArray("99999999999999999999") << bad << 0LL;
        QTest::newRow("unsigned -1") << QByteArray("%u") << QByteArray("-1") << bad << 0LL;
        QTest::newRow("hex pattern") << QByteArray("%x") << QByteArray("ffffffff") << ok << -1LL;
        QTest::newRow("%i hex") << QByteArray("%i") << QByteArray("0x1F") << ok << 31LL;
        QTest::newRow("%hhd") << QByteArray("%hhd") << QByteArray("1") << nsup << 0LL;
        QTest::newRow("%zd") << QByteArray("%zd") << QByteArray("1") << nsup << 0LL;
        QTest::newRow("%ld then %n") << QByteArray("%ld%n") << QByteArray("1") << nsup << 0LL;
    }
    void scannedIntegersMustFit()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(qlonglong, value);
        model->setReply("NUM?", reply + '\n');
        const qint64 canary = 0x5a5a5a5a5a5a5a5aLL;
        qint64 slot = canary;
        QCOMPARE(viQueryf(vi, "NUM?\n", format.constData(), &slot), ViStatus(status));
        if (status == VI_ERROR_NSUP_FMT)
            QCOMPARE(module->transcript().messages(), QVector<QByteArray>{});
        if (status != VI_SUCCESS) {
            QCOMPARE(slot, canary);
            return;
        }
        qint16 narrow = 0;
        qint32 wide = 0;
        std::memcpy(&narrow, &slot, sizeof narrow);
        std::memcpy(&wide, &slot, sizeof wide);
        const qlonglong stored = format.contains("ll")  ? slot
                                 : format.contains('h') ? qlonglong(narrow)
                                                        : qlonglong(wide);
        QCOMPARE(stored, value);
    }

    void scanSetsTakeRanges_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("range") << QByteArray("%31[a-z]") << QByteArray("abc123")
                               << QByteArray("abc");
        QTest::newRow("two ranges")
            << QByteArray("%31[0-9A-F]") << QByteArray("12AFg") << QByteArray("12AF");
        QTest::newRow("negated") << QByteArray("%31[^,]") << QByteArray("1.5,2")
                                 << QByteArray("1.5");
        QTest::newRow("bracket first")
            << QByteArray("%31[]a]") << QByteArray("]a]b") << QByteArray("]a]");
        QTest::newRow("dash last")
            << QByteArray("%31[a-]") << QByteArray("a-b") << QByteArray("a-");
    }
    void scanSetsTakeRanges()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, expected);
        model->setReply("SET?", reply + '\n');
        char text[32] = {};
        QCOMPARE(viQueryf(vi, "SET?\n", format.constData(), text), VI_SUCCESS);
        QCOMPARE(QByteArray(text), expected);
    }

    void unsupportedWriteFormatsSendNothing_data()
    {
        QTest::addColumn<QByteArray>("format");
        for (const char *format : {"VOLT %ls\n", "CODE %hhd\n", "N %zd\n", "N %n\n", "BLK %b\n",
                                   "P %p\n", "W %99999999d\n"})
            QTest::newRow(format) << QByteArray(format);
    }
    void unsupportedWriteFormatsSendNothing()
    {
        QFETCH(QByteArray, format);
        QCOMPARE(viPrintf(vi, format.constData(), "x"), ViStatus(VI_ERROR_NSUP_FMT));
        char reply[16];
        QCOMPARE(viQueryf(vi, format.constData(), "%15s", "x", reply), ViStatus(VI_ERROR_NSUP_FMT));
        QCOMPARE(module->transcript().messages(), QVector<QByteArray>{});
    }

    void resourceNames_data()
    {
        QTest::addColumn<QByteArray>("resource");
        QTest::newRow("unbracketed IPv6") << QByteArray("TCPIP0::fe80::1::INSTR");
        QTest::newRow("unbracketed IPv6 with device")
            << QByteArray("TCPIP0::fe80::1::inst0::INSTR");
        QTest::newRow("control character in device")
            << QByteArray("TCPIP0::127.0.0.2::inst0\n*RST::INSTR");
        QTest::newRow("space in device") << QByteArray("TCPIP0::127.0.0.2::inst 0::INSTR");
        QTest::newRow("IPv4 in brackets") << QByteArray("TCPIP0::[127.0.0.2]::inst0::INSTR");
        QTest::newRow("unclosed bracket") << QByteArray("TCPIP0::[::1::inst0::INSTR");
    }
    void resourceNames()
    {
        QFETCH(QByteArray, resource);
        ViSession session = VI_NULL;
        QCOMPARE(viOpen(rm, resource.constData(), VI_NULL, 1000, &session),
                 ViStatus(VI_ERROR_INV_RSRC_NAME));
    }

    void openOverIpv6()
    {
        ViSession session = VI_NULL;
        QCOMPARE(viOpen(rm, "TCPIP0::[::1]::inst0::INSTR", VI_NULL, 1000, &session), VI_SUCCESS);
        char text[VI_FIND_BUFLEN] = {};
        QCOMPARE(viQueryf(session, "*IDN?\n", "%255s", text), VI_SUCCESS);
        QCOMPARE(QByteArray(text), QByteArray("Korvalis,RVKA5630,0061,1.3"));
        QCOMPARE(viGetAttribute(session, VI_ATTR_TCPIP_ADDR, text), VI_SUCCESS);
        QCOMPARE(QByteArray(text), QByteArray("::1"));
        QCOMPARE(viGetAttribute(session, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
        QCOMPARE(QByteArray(text), QByteArray("TCPIP0::[::1]::inst0::INSTR"));
        viClose(session);
    }

    void integerReplies()
    {
        model->setReply("OUTP? STATE", "12\n");
        model->setReply("CODE:PWMP?", "40000\n");
        int state = -1;
        short code = 0;
        QCOMPARE(viQueryf(vi, "OUTP? STATE\n", "%d", &state), VI_SUCCESS);
        QCOMPARE(state, 12);
        QCOMPARE(viQueryf(vi, "CODE:PWMP?\n", "%hd", &code), VI_SUCCESS);
        QCOMPARE(code, short(-25536));
    }

    void errorQueryJudgement_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("noError");
        QTest::newRow("no error") << QByteArray("0,No error\n") << true;
        QTest::newRow("undefined header") << QByteArray("-113,Undefined header\n") << false;
        QTest::newRow("only first char") << QByteArray("0-113,odd\n") << true;
    }
    void errorQueryJudgement()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, noError);
        model->setReply("*ERR?", reply);
        char text[256];
        QCOMPARE(ErrorQuery::query(vi, text), VI_SUCCESS);
        QCOMPARE(QByteArray(text), reply);
        QCOMPARE(ErrorQuery::isNoError(text), noError);
    }

    void unknownCommandQueuesError()
    {
        QCOMPARE(viPrintf(vi, "BOGUS 1\n"), VI_SUCCESS);
        char text[256];
        QCOMPARE(ErrorQuery::query(vi, text), VI_SUCCESS);
        QVERIFY(!ErrorQuery::isNoError(text));
    }

    void warningFailsUnderPanelRule()
    {
        // The query itself goes through; the library completes it with a warning.
        vdvisaInjectStatus("viQueryf", 2, VI_SUCCESS_MAX_CNT);
        double value = 0;
        model->setReply("VOLT?", "1.5\n");
        CommandChain panel(vi);
        panel.query("VOLT?\n", "%lf", &value).query("VOLT?\n", "%lf", &value).command("OUTP 1\n");
        QVERIFY(!panel.ok());
        QCOMPARE(panel.status(), ViStatus(VI_SUCCESS_MAX_CNT));
        QCOMPARE(module->transcript().count("VOLT?"), 2);
        QCOMPARE(module->transcript().count("OUTP 1"), 0);

        vdvisaInjectStatus("viQueryf", 1, VI_SUCCESS_MAX_CNT);
        CommandChain flash(vi, FailureRule::Flash);
        flash.query("VOLT?\n", "%lf", &value).command("OUTP 1\n");
        QVERIFY(flash.ok());
        QCOMPARE(module->transcript().count("OUTP 1"), 1);
    }

    void chainStopsAtFirstFailure()
    {
        module->failNth("VOLT:PROT", 1, SimModule::Fault::BreakLink);
        CommandChain chain(vi);
        chain.command("VOLT:PROT %lf\n", 10.0)
            .command("VOLT %lf\n", 5.0)
            .command("CURR %lf\n", 1.0);
        QVERIFY(!chain.ok());
        QCOMPARE(chain.status(), ViStatus(VI_ERROR_CONN_LOST));
        QCOMPARE(module->transcript().count("VOLT "), 0);
        QCOMPARE(module->transcript().count("CURR"), 0);
    }

    void blockWriteSetsTimeoutAndTermChar()
    {
        QCOMPARE(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
        const QByteArray data("\n\x00\x01\xff\n", 5);
        QCOMPARE(DefiniteBlock::write(vi, "FLASH:TEMP:WRITE2 0x00000000,5,", data.constData(), 5),
                 VI_SUCCESS);
        QCOMPARE(module->transcript().messages().value(0),
                 QByteArray("FLASH:TEMP:WRITE2 0x00000000,5,#15") + data);
        ViBoolean termChar = VI_FALSE;
        QCOMPARE(viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &termChar), VI_SUCCESS);
        QCOMPARE(termChar, ViBoolean(VI_TRUE));
        QCOMPARE(DefiniteBlock::header(4096), QByteArray("#44096"));
        QCOMPARE(DefiniteBlock::header(131072), QByteArray("#6131072"));
    }

    void timeoutAttribute()
    {
        ViUInt32 timeout = 0;
        QCOMPARE(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
        QCOMPARE(timeout, ViUInt32(2000));
        QCOMPARE(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
        QCOMPARE(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
        QCOMPARE(timeout, ViUInt32(2000));
        char name[VI_FIND_BUFLEN];
        QCOMPARE(viGetAttribute(vi, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
        QCOMPARE(QByteArray(name), QByteArray(address));
    }

    void blockReads_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("good") << QByteArray("#210"
                                            "1,2;3#4,5;")
                              << int(VI_SUCCESS) << QByteArray("1,2;3#4,5;");
        QTest::newRow("no hash") << QByteArray("210"
                                               "1,2;3#4,5;")
                                 << int(VI_ERROR_IO) << QByteArray();
        QTest::newRow("d not a digit") << QByteArray("#x10abc") << int(VI_ERROR_IO) << QByteArray();
        QTest::newRow("indefinite") << QByteArray("#0abc\n") << int(VI_ERROR_IO) << QByteArray();
        QTest::newRow("length not digits")
            << QByteArray("#2a0") << int(VI_ERROR_IO) << QByteArray();
        QTest::newRow("fewer bytes") << QByteArray("#210abc") << int(VI_ERROR_IO) << QByteArray();
        QTest::newRow("too long") << QByteArray("#43000") + QByteArray(3000, 'z')
                                  << int(VI_ERROR_INV_LENGTH) << QByteArray();
        QTest::newRow("empty block") << QByteArray("#10") << int(VI_SUCCESS) << QByteArray();
    }
    void blockReads()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(QByteArray, data);
        model->setReply("MEAS:SELFTEST?", reply);
        QCOMPARE(viPrintf(vi, "MEAS:SELFTEST?\n"), VI_SUCCESS);
        QByteArray block;
        QCOMPARE(int(DefiniteBlock::read(vi, block, 2047)), status);
        QCOMPARE(block, data);
        ViBoolean termChar = VI_FALSE;
        viGetAttribute(vi, VI_ATTR_TERMCHAR_EN, &termChar);
        QCOMPARE(termChar, ViBoolean(VI_TRUE));
    }

    // Blocks of every size arrive whole, whatever their reply record takes on the way: header
    // and data in one receive, data straight into the caller's buffer, many receives. A buffer
    // the caller reads blocks into again is used again, and the link stays in step.
    void bulkBlocksArriveWhole_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("in one receive") << 400;
        QTest::newRow("beyond the reply head") << 4099;
        QTest::newRow("straight to the caller") << 100003;
        QTest::newRow("larger than the socket buffers") << (6 << 20) + 1;
    }
    void bulkBlocksArriveWhole()
    {
        QFETCH(int, size);
        QByteArray data(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            data[i] = char(i * 131 + (i >> 9));
        model->setReply("DATA?", DefiniteBlock::header(quint64(size)) + data);
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, 10000);
        QByteArray block(size + 100, '?');
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(viPrintf(vi, "DATA?\n"), VI_SUCCESS);
            QCOMPARE(DefiniteBlock::read(vi, block, quint64(size)), VI_SUCCESS);
            QVERIFY(block == data);
        }
        char reply[256] = {};
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis,RVKA5630,0042,1.3"));
    }

    void readInPiecesKeepsTheRest()
    {
        model->setReply("DATA?", "#15hello");
        QCOMPARE(viPrintf(vi, "DATA?\n"), VI_SUCCESS);
        char piece[8] = {};
        ViUInt32 count = 0;
        QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(piece), 2, &count),
                 ViStatus(VI_SUCCESS_MAX_CNT));
        QCOMPARE(QByteArray(piece, int(count)), QByteArray("#1"));
        QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(piece), 1, &count),
                 ViStatus(VI_SUCCESS_MAX_CNT));
        QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(piece), 5, &count), VI_SUCCESS);
        QCOMPARE(QByteArray(piece, int(count)), QByteArray("hello"));
    }

    void replyWithoutEndFails()
    {
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300);
        module->setSendEnd(false);
        model->setReply("VOLT?", "1.5");
        double value = 0;
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viQueryf(vi, "VOLT?\n", "%lf", &value), ViStatus(VI_ERROR_TMO));
        QVERIFY(elapsed.elapsed() < 1500);
        module->setSendEnd(true);
        model->setReply("MEAS:SELFTEST?", "#15ab");
        QCOMPARE(viPrintf(vi, "MEAS:SELFTEST?\n"), VI_SUCCESS);
        module->setSendEnd(false);
        QByteArray block;
        QVERIFY(DefiniteBlock::read(vi, block, 2047) < VI_SUCCESS);
    }

    void responseInSmallPieces()
    {
        // A device with a small output buffer hands the response out piece by piece.
        module->setReadPieceLimit(3);
        char reply[256] = {};
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis,RVKA5630,0042,1.3"));
        model->setReply("DATA?", "#15hello");
        QCOMPARE(viPrintf(vi, "DATA?\n"), VI_SUCCESS);
        char data[16] = {};
        ViUInt32 count = 0;
        QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(data), sizeof data, &count), VI_SUCCESS);
        QCOMPARE(QByteArray(data, int(count)), QByteArray("#15hello"));

        // Empty pieces that never end the response: a time-out, not a hang.
        module->setReadPieceLimit(0);
        viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300);
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), ViStatus(VI_ERROR_TMO));
        QCOMPARE(viPrintf(vi, "*IDN?\n"), VI_SUCCESS);
        QCOMPARE(viRead(vi, reinterpret_cast<ViPBuf>(data), sizeof data, &count),
                 ViStatus(VI_ERROR_TMO));
        QVERIFY2(elapsed.elapsed() < 1500, qPrintable(QString::number(elapsed.elapsed())));
    }

    void silentModuleTimesOutAndNextQueryGetsItsOwnReply()
    {
        // The identity answer comes 3 s late, after the 2 s time-out: it must never be read
        // as the answer to the next query.
        model->setReply("SLOW?", "late\n", 3000);
        char reply[256] = {};
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viQueryf(vi, "SLOW?\n", "%255s", reply), ViStatus(VI_ERROR_TMO));
        QVERIFY2(elapsed.elapsed() >= 1900 && elapsed.elapsed() < 2600,
                 qPrintable(QString::number(elapsed.elapsed())));
        QTest::qWait(1200);
        QCOMPARE(viQueryf(vi, "*ERR?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("0,No"));

        module->setMute(true);
        elapsed.restart();
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), ViStatus(VI_ERROR_TMO));
        QVERIFY(elapsed.elapsed() < 2600);
        module->setMute(false);
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis,RVKA5630,0042,1.3"));
    }

    void unansweredCallTimesOut()
    {
        module->failNth("*IDN?", 1, SimModule::Fault::NoResponse);
        char reply[256] = {};
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), ViStatus(VI_ERROR_TMO));
        QVERIFY(elapsed.elapsed() < 2700);
        QCOMPARE(viQueryf(vi, "*IDN?\n", "%255s", reply), VI_SUCCESS);
        QCOMPARE(QByteArray(reply), QByteArray("Korvalis,RVKA5630,0042,1.3"));
    }

    void droppedLinkFailsAndReopenWorks()
    {
        module->dropLinks();
        char reply[256] = {};
        QVERIFY(viQueryf(vi, "*IDN?\n", "%255s", reply) < VI_SUCCESS);
        ViSession again = VI_NULL;
        QCOMPARE(viOpen(rm, address, VI_NULL, 1000, &again), VI_SUCCESS);
        QCOMPARE(viQueryf(again, "*IDN?\n", "%255s", reply), VI_SUCCESS);
        viClose(again);
    }

    void refusedLink()
    {
        module->setRefuseLinks(true);
        ViSession refused = VI_NULL;
        QVERIFY(viOpen(rm, address, VI_NULL, 1000, &refused) < VI_SUCCESS);
        QCOMPARE(refused, ViSession(VI_NULL));
    }

    void nothingListensAtAddress()
    {
        ViSession none = VI_NULL;
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viOpen(rm, "TCPIP0::127.0.0.9::inst0::INSTR", VI_NULL, 1000, &none),
                 ViStatus(VI_ERROR_RSRC_NFOUND));
        QVERIFY(elapsed.elapsed() < 1000);
    }

    void unreachableHostWithinOpenTimeout()
    {
        // A host on a link that drops everything: the connection attempt is never answered.
        // (A veth pair whose far end is down, inside this test's own network namespace.)
        QProcess ip;
        ip.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("ip link add lost0 type veth peer name lost1 && "
                                                  "ip addr add 10.254.0.1/24 dev lost0 && "
                                                  "ip link set lost0 up")});
        QVERIFY(ip.waitForFinished(10000));
        QCOMPARE(ip.exitCode(), 0);
        ViSession none = VI_NULL;
        QElapsedTimer elapsed;
        elapsed.start();
        const ViStatus status =
            viOpen(rm, "TCPIP0::10.254.0.77::inst0::INSTR", VI_NULL, 1000, &none);
        QVERIFY(status < VI_SUCCESS);
        QVERIFY2(elapsed.elapsed() >= 900 && elapsed.elapsed() < 1500,
                 qPrintable(QString::number(elapsed.elapsed())));
    }

    void findResources()
    {
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        char desc[VI_FIND_BUFLEN] = {};
        QCOMPARE(viFindRsrc(rm, "TCPIP?*INSTR", &list, &count, desc), VI_SUCCESS);
        QCOMPARE(count, ViUInt32(3));
        QCOMPARE(QByteArray(desc), QByteArray("TCPIP0::127.0.0.2::inst0::INSTR"));
        QCOMPARE(viFindNext(list, desc), VI_SUCCESS);
        QCOMPARE(QByteArray(desc), QByteArray("TCPIP0::127.0.0.3::inst0::INSTR"));
        QCOMPARE(viFindNext(list, desc), VI_SUCCESS);
        QCOMPARE(viFindNext(list, desc), ViStatus(VI_ERROR_RSRC_NFOUND));
        QCOMPARE(viClose(list), VI_SUCCESS);
        QCOMPARE(viFindNext(list, desc), ViStatus(VI_ERROR_INV_OBJECT));
        QCOMPARE(viClose(list), ViStatus(VI_ERROR_INV_OBJECT));

        QCOMPARE(viFindRsrc(rm, "GPIB?*INSTR", &list, &count, desc),
                 ViStatus(VI_ERROR_RSRC_NFOUND));
        QCOMPARE(viFindRsrc(rm, "TCPIP0::127.0.0.[23]::inst0::INSTR", &list, &count, desc),
                 VI_SUCCESS);
        QCOMPARE(count, ViUInt32(2));
        viClose(list);
        QCOMPARE(viFindRsrc(rm, "tcpip?*instr", &list, &count, desc), VI_SUCCESS);
        QCOMPARE(count, ViUInt32(3));
        viClose(list);
    }

    void resourceExpressionsInLinearTime_data()
    {
        QTest::addColumn<QByteArray>("expression");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("count");
        const int found = VI_SUCCESS, none = VI_ERROR_RSRC_NFOUND, invalid = VI_ERROR_INV_EXPR;
        QTest::newRow("list range")
            << QByteArray("TCPIP0::127.0.0.[2-3]::inst0::INSTR") << found << 2;
        QTest::newRow("negated list") << QByteArray("TCPIP0::127.0.0.[^2]::?*") << found << 2;
        QTest::newRow("alternatives") << QByteArray("(GPIB|TCPIP)?*::127.0.0.9::?*") << found << 1;
        QTest::newRow("catastrophic for backtracking")
            << QByteArray("(?*)*(?*)*(?*)*X") << none << 0;
        QTest::newRow("deeply nested")
            << QByteArray(400, '(') + "TCPIP?*" + QByteArray(400, ')') << found << 3;
        QTest::newRow("longest allowed")
            << QByteArray("TCPI") + QByteArray("?*").repeated(510) << found << 3;
        QTest::newRow("too long") << QByteArray("TCPIP") + QByteArray("?*").repeated(510) << invalid
                                  << 0;
        QTest::newRow("unclosed list") << QByteArray("TCPIP[0") << invalid << 0;
        QTest::newRow("unbalanced group") << QByteArray("(TCPIP?*") << invalid << 0;
    }
    void resourceExpressionsInLinearTime()
    {
        QFETCH(QByteArray, expression);
        QFETCH(int, status);
        QFETCH(int, count);
        ViFindList list = VI_NULL;
        ViUInt32 matches = 0;
        char desc[VI_FIND_BUFLEN] = {};
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(viFindRsrc(rm, expression.constData(), &list, &matches, desc), ViStatus(status));
        QVERIFY(elapsed.elapsed() < 1000);
        QCOMPARE(int(matches), count);
        if (status == VI_SUCCESS)
            viClose(list);
    }

    void configuredEntriesThatAreNotResourcesAreSkipped()
    {
        const QByteArray published = qgetenv("VDVISA_RESOURCES");
        qputenv("VDVISA_RESOURCES", "TCPIP0::127.0.0.2::inst0::INSTR;" + QByteArray(50000, 'a') +
                                        ";TCPIP0::fe80::1::INSTR;127.0.0.3");
        QTemporaryFile log;
        QVERIFY(log.open());
        const int savedStderr = ::dup(2);
        ::dup2(log.handle(), 2);
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        char desc[VI_FIND_BUFLEN] = {};
        const ViStatus status = viFindRsrc(rm, "?*", &list, &count, desc);
        ::dup2(savedStderr, 2);
        ::close(savedStderr);
        qputenv("VDVISA_RESOURCES", published);
        QCOMPARE(status, VI_SUCCESS);
        QCOMPARE(count, ViUInt32(2));
        viClose(list);
        QVERIFY(log.seek(0));
        const QByteArray warnings = log.readAll();
        QCOMPARE(warnings.count("configured resource skipped"), 2);
        QVERIFY(warnings.contains("TCPIP0::fe80::1::INSTR"));
    }

    // Entries end at ";" and line ends only, so a gateway's device name keeps its comma; white
    // space around an entry and a comment in the file are no part of it.
    void configuredDeviceNamesKeepTheirCommas()
    {
        const QByteArray published = qgetenv("VDVISA_RESOURCES");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath("vdvisa"));
        QFile file(home.filePath("vdvisa/resources"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("  TCPIP0::127.0.0.4::gpib0,7::INSTR  # behind the gateway\n127.0.0.5\r\n");
        file.close();
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        qputenv("VDVISA_RESOURCES", "TCPIP0::127.0.0.2::gpib0,5::INSTR ; 127.0.0.3");
        QStringList found;
        ViFindList list = VI_NULL;
        ViUInt32 count = 0;
        char desc[VI_FIND_BUFLEN] = {};
        ViStatus status = viFindRsrc(rm, "?*", &list, &count, desc);
        for (ViUInt32 i = 0; status == VI_SUCCESS && i < count; ++i) {
            found << QString::fromLatin1(desc);
            if (i + 1 < count)
                status = viFindNext(list, desc);
        }
        if (list != VI_NULL)
            viClose(list);
        qputenv("VDVISA_RESOURCES", published);
        qputenv("XDG_CONFIG_HOME", config);
        QCOMPARE(
            found,
            (QStringList{"TCPIP0::127.0.0.2::gpib0,5::INSTR", "TCPIP0::127.0.0.3::inst0::INSTR",
                         "TCPIP0::127.0.0.4::gpib0,7::INSTR", "TCPIP0::127.0.0.5::inst0::INSTR"}));
    }

    void findListClosedFromAnotherThread()
    {
        ViFindList list = VI_NULL;
        char desc[VI_FIND_BUFLEN] = {};
        QCOMPARE(viFindRsrc(rm, "TCPIP?*INSTR", &list, nullptr, desc), VI_SUCCESS);
        QtConcurrent::run([list] { viClose(list); }).waitForFinished();
        QCOMPARE(viFindNext(list, desc), ViStatus(VI_ERROR_INV_OBJECT));
    }

    void closeInterruptsCallOnAnotherThread()
    {
        module->setMute(true);
        QElapsedTimer elapsed;
        elapsed.start();
        QFuture<ViStatus> query = QtConcurrent::run([this] {
            char reply[256];
            return viQueryf(vi, "*IDN?\n", "%255s", reply);
        });
        QTest::qWait(200);
        viClose(vi);
        QVERIFY(query.result() < VI_SUCCESS);
        QVERIFY(elapsed.elapsed() < 1500);
        QCOMPARE(viOpen(rm, address, VI_NULL, 1000, &vi), VI_SUCCESS); // for cleanup()
    }

    void staleHandles()
    {
        char reply[256];
        QCOMPARE(viQueryf(0xdeadbeef, "*IDN?\n", "%255s", reply), ViStatus(VI_ERROR_INV_OBJECT));
        QCOMPARE(viPrintf(rm, "*IDN?\n"), ViStatus(VI_ERROR_INV_OBJECT));
        ViSession closed = VI_NULL;
        QCOMPARE(viOpen(rm, address, VI_NULL, 1000, &closed), VI_SUCCESS);
        viClose(closed);
        QCOMPARE(viClear(closed), ViStatus(VI_ERROR_INV_OBJECT));
        QCOMPARE(viOpen(rm, "GPIB0::5::INSTR", VI_NULL, 1000, &closed),
                 ViStatus(VI_ERROR_INV_RSRC_NAME));
    }

    void statusDescriptions_data()
    {
        QTest::addColumn<int>("status");
        for (int s : {VI_SUCCESS, VI_SUCCESS_TERM_CHAR, VI_SUCCESS_MAX_CNT, VI_ERROR_TMO,
                      VI_ERROR_RSRC_NFOUND, VI_ERROR_INV_OBJECT, VI_ERROR_BERR, VI_ERROR_IO,
                      VI_ERROR_CONN_LOST, VI_ERROR_INV_LENGTH, VI_ERROR_INV_FMT})
            QTest::newRow(QByteArray::number(s, 16).constData()) << s;
    }
    void statusDescriptions()
    {
        QFETCH(int, status);
        char text[256] = {};
        QCOMPARE(viStatusDesc(rm, status, text), VI_SUCCESS);
        QVERIFY(std::strlen(text) > 10);
        QVERIFY(!QByteArray(text).startsWith("Unknown"));
    }

    void closingManagerClosesItsSessions()
    {
        ViSession manager = VI_NULL, session = VI_NULL;
        QCOMPARE(viOpenDefaultRM(&manager), VI_SUCCESS);
        QCOMPARE(viOpen(manager, address, VI_NULL, 1000, &session), VI_SUCCESS);
        QCOMPARE(viClose(manager), VI_SUCCESS);
        char reply[256];
        QCOMPARE(viQueryf(session, "*IDN?\n", "%255s", reply), ViStatus(VI_ERROR_INV_OBJECT));
    }
};

QTEST_GUILESS_MAIN(TestVisaLayer)
#include "tst_visalayer.moc"
