// The flash rewrite against a simulated module: the image test, the block headers, the
// intermediate-area and direct sequences as the module receives them, the flash contents,
// the progress messages, the failures at each step, the memory-read replies, the module's
// restart, short read-backs, stale errors and image files that cannot be firmware.
// ctest-timeout: 120
#include "blockcommandheader.h"
#include "firmwarelog.h"
#include "fwrewriter.h"
#include "modulesession.h"
#include "rvka5630model.h"
#include "simfirmwareimage.h"
#include "simlan.h"
#include "timefacility.h"

#include <vdvisa_testing.h>
#include <visa.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <thread>

namespace {

const char moduleAddress[] = "TCPIP0::127.0.0.2::inst0::INSTR";
const char scriptedAddress[] = "TCPIP0::127.0.0.3::inst0::INSTR";
const QByteArray restartWarning = "Внимание! \nПосле перезаписи прошивки инструмент "
                                  "перезагружается, \nпоэтому сеанс связи с ним должен быть "
                                  "закрыт и открыт повторно!";

// A Cortex-M vector table: the first `shared` interrupt vectors share one handler, the rest
// are zero except word 105, which holds lastVector.
QByteArray vectorTable(int size, quint32 stack, int shared, quint32 lastVector = 0)
{
    // The table is built apart and copied in: GCC's overflow check cannot see that the image
    // is always longer than the table when writing into it directly.
    QByteArray image(size, '\x5A');
    uchar bytes[106 * 4];
    for (int k = 0; k < 106; ++k) {
        quint32 word = 0;
        if (k == 0)
            word = stack;
        else if (k < 16 && (k < 8 || k > 10))
            word = 0x08000301;
        else if (k >= 16 && k < 16 + shared)
            word = 0x08000201;
        else if (k == 105)
            word = lastVector;
        qToLittleEndian(word, bytes + 4 * k);
    }
    image.replace(0, std::min<int>(size, sizeof bytes), reinterpret_cast<const char *>(bytes),
                  std::min<int>(size, sizeof bytes));
    return image;
}

QByteArrayList messages(const FirmwareLog &log)
{
    return log.snapshot().split(FirmwareLog::separator);
}

QByteArray hex8(quint32 value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(8, '0');
}

QByteArray blockMessage(quint32 offset)
{
    return "Запись в промежуточное РПЗУ 4096 байт по смещению " + hex8(offset) + "...";
}

QByteArray padded(const QByteArray &image, int length)
{
    return image + QByteArray(length - image.size(), char(0xFF));
}

} // namespace

class tst_FwRewriter : public QObject
{
    Q_OBJECT

    SimLan lan;
    SimModule *module = nullptr;
    Rvka5630Model *model = nullptr;
    ScriptedModel *scripted = nullptr;
    SimModule *scriptedModule = nullptr;
    QTemporaryDir files;
    ViSession rm = VI_NULL;
    ModuleSession link;
    FirmwareLog log;

    QByteArray imageFile(const QByteArray &image)
    {
        const QString path = files.filePath(QString::number(qHash(image)) + ".bin");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            qFatal("cannot write %s", qPrintable(path));
        return path.toUtf8();
    }

    // A module still restarting from an earlier test refuses links for a while.
    ViStatus openModule()
    {
        ViStatus status = VI_ERROR_RSRC_NFOUND;
        for (int attempt = 0; attempt < 40 && status != VI_SUCCESS; ++attempt) {
            status = link.open(rm, moduleAddress, 1000);
            if (status != VI_SUCCESS)
                TimeFacility::instance().sleep(1000);
        }
        return status;
    }

    // A session on the scripted instrument, which answers only what the test tells it.
    void openScripted(ModuleSession &session)
    {
        if (session.open(rm, scriptedAddress, 1000) != VI_SUCCESS)
            qFatal("cannot open the scripted instrument");
        scripted->reset();
        scriptedModule->transcript().clear();
        viSetAttribute(session.vi(), VI_ATTR_TMO_VALUE, 300);
    }

private slots:
    void initTestCase()
    {
        TimeFacility::instance().setSpeedup(50);
        module = lan.addRvka5630(QStringLiteral("127.0.0.2"));
        scriptedModule = lan.addScripted(QStringLiteral("127.0.0.3"), &scripted);
        QVERIFY(module && scriptedModule);
        model = lan.rvka5630(QStringLiteral("127.0.0.2"));
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
    }

    void init()
    {
        vdvisaClearInjections();
        model->setRejectErase(false);
        model->failBlockWrite(0);
        model->corruptMemRead(0);
        model->setMemReadSurplus(0);
        model->setRestartMs(8000);
        module->clearFaults();
        QCOMPARE(openModule(), VI_SUCCESS);
        model->setMainFlash(SimFirmwareImage::generate(65536, 99));
        model->execute("FLASH:TEMP:ERASE 393216\n");
        while (!model->pendingErrors().isEmpty())
            model->execute("*ERR?\n");
        module->transcript().clear();
        TimeFacility::instance().clearRequests();
        log.clear();
    }

    void cleanup() { link.close(); }

    void cleanupTestCase() { viClose(rm); }

    void imageTest_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("stm32f4");
        QTest::newRow("1024 bytes") << vectorTable(1024, 0x10010000, 31) << false;
        QTest::newRow("1025 bytes") << vectorTable(1025, 0x10010000, 31) << true;
        QTest::newRow("30 equal vectors") << vectorTable(4096, 0x10010000, 30) << false;
        QTest::newRow("31 equal vectors") << vectorTable(4096, 0x10010000, 31) << true;
        QTest::newRow("stack 0x20020000") << vectorTable(4096, 0x20020000, 31) << false;
        QTest::newRow("stack 0x10020000") << vectorTable(4096, 0x10020000, 31) << true;
        QTest::newRow("vector 0x08010001")
            << vectorTable(4096, 0x10010000, 31, 0x08010001) << false;
        QTest::newRow("vector 0x08010000") << vectorTable(4096, 0x10010000, 31, 0x08010000) << true;
        QByteArray reserved = vectorTable(4096, 0x10010000, 31);
        reserved[0x24] = 1;
        QTest::newRow("reserved word set") << reserved << false;
        QTest::newRow("as large as the main flash") << vectorTable(655360, 0x10010000, 31) << true;
    }
    void imageTest()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, stm32f4);
        ModuleSession none;
        FwRewriter rewriter(none, imageFile(image), log);
        QVERIFY(rewriter.isLoaded());
        QCOMPARE(rewriter.isStm32F4Image(), stm32f4);
    }

    // A rewriter changes no process-wide setting: the number formatting of every other thread
    // (module commands such as "VOLT %lf") stays as it was, here where a locale of the name the
    // rewriter once chose exists.
    void numberFormattingStaysAlone()
    {
        QTemporaryDir locales;
        QCOMPARE(
            QProcess::execute("localedef", {"-i", "ru_RU", "-f", "UTF-8", locales.filePath("rus")}),
            0);
        const QByteArray searched = qgetenv("LOCPATH");
        qputenv("LOCPATH", locales.path().toUtf8());
        const QByteArray before = std::setlocale(LC_ALL, nullptr);
        {
            ModuleSession none;
            FwRewriter rewriter(none, imageFile(vectorTable(4096, 0x10010000, 31)), log);
            QVERIFY(rewriter.isLoaded());
        }
        const QByteArray after = std::setlocale(LC_ALL, nullptr);
        char text[32];
        std::snprintf(text, sizeof text, "%lf", 12.5);
        std::setlocale(LC_ALL, before.constData());
        qputenv("LOCPATH", searched);
        QCOMPARE(after, before);
        QCOMPARE(QByteArray(text), QByteArray("12.500000"));
    }

    void blockHeaders_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("block at 0x1000") << BlockCommandHeader::intermediateBlock(0x1000, 4096)
                                         << QByteArray("FLASH:TEMP:WRITE2 0x00001000,4096,#44096");
        QTest::newRow("block of 100 bytes")
            << BlockCommandHeader::intermediateBlock(0x2000, 100)
            << QByteArray("FLASH:TEMP:WRITE2   0x00002000,100,#3100");
        QTest::newRow("direct 131072") << BlockCommandHeader::directRewrite(131072)
                                       << QByteArray("FLASH:REWRITE2   0x08000000,131072,#6131072");
        QTest::newRow("direct 5120") << BlockCommandHeader::directRewrite(5120)
                                     << QByteArray("FLASH:REWRITE2   0x08000000,5120,#45120");
    }
    void blockHeaders()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, expected);
        QCOMPARE(header, expected);
        // Whatever the number of digits, the padding keeps the block data aligned.
        for (quint32 length = 1; length < 1000000000u; length *= 10) {
            QCOMPARE(BlockCommandHeader::intermediateBlock(0xABC, length).size() % 4, 0);
            QCOMPARE(BlockCommandHeader::directRewrite(length).size() % 4, 3);
        }
    }

    void logFromAnotherThread()
    {
        QCOMPARE(FirmwareLog::latestMessageOf(""), QByteArray());
        QCOMPARE(FirmwareLog::latestMessageOf("a\nb@c@"), QByteArray("c"));
        std::atomic<bool> done{false};
        std::thread writer([this, &done] {
            for (int i = 0; i < 2000; ++i)
                log.append("m" + QByteArray::number(i));
            done = true;
        });
        bool wellFormed = true;
        while (!done) {
            const QByteArray latest = log.latestMessage();
            wellFormed = wellFormed && (latest.isEmpty() || latest.startsWith('m'));
        }
        writer.join();
        QVERIFY(wellFormed);
        QCOMPARE(messages(log).size(), 2001);
        QCOMPARE(log.latestMessage(), QByteArray("m1999"));
    }

    void intermediateArea_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("rounded");
        QTest::addColumn<int>("restartMs");
        QTest::addColumn<QByteArrayList>("refused");     // commands the module refused before
        QTest::addColumn<QVector<QByteArray>>("errors"); // and what it queued for them
        QTest::newRow("5000 bytes")
            << 5000 << 5120 << 8000 << QByteArrayList() << QVector<QByteArray>();
        QTest::newRow("8192 bytes")
            << 8192 << 8192 << 8000 << QByteArrayList() << QVector<QByteArray>();
        QTest::newRow("3000 bytes, restart slower than 17 s")
            << 3000 << 3072 << 20000 << QByteArrayList() << QVector<QByteArray>();
        QTest::newRow("after refused commands")
            << 5000 << 5120 << 8000 << QByteArrayList{"VOLT 100000\n", "CAL:VOLT 5\n"}
            << QVector<QByteArray>{"-222,Data out of range", "-221,Settings conflict"};
    }
    void intermediateArea()
    {
        QFETCH(int, size);
        QFETCH(int, rounded);
        QFETCH(int, restartMs);
        QFETCH(QByteArrayList, refused);
        QFETCH(QVector<QByteArray>, errors);
        model->setRestartMs(restartMs);
        // Errors nobody read: out of range, and a calibration point with the output off.
        for (const QByteArray &command : refused)
            QCOMPARE(viPrintf(link.vi(), command.constData()), VI_SUCCESS);
        QCOMPARE(model->pendingErrors(), errors);
        const QByteArray image = SimFirmwareImage::generate(size, 3);
        FwRewriter rewriter(link, imageFile(image), log);
        QVERIFY(!rewriter.compareWithFlash());
        QCOMPARE(log.latestMessage(),
                 QByteArray("Записанный файл и содержимое памяти отличается!"));
        log.clear();
        SimTranscript &sent = module->transcript();
        sent.clear();

        QVERIFY(rewriter.rewrite());
        const int blocks = (rounded + 4095) / 4096;
        const QByteArray area = padded(image, blocks * 4096);
        QVector<QByteArray> writes, reads;
        QVector<int> sleeps{3000};
        QByteArrayList progress{"Стирание промежуточного РПЗУ.", "..."};
        for (int offset = 0; offset < rounded; offset += 4096) {
            writes << BlockCommandHeader::intermediateBlock(offset, 4096) + area.mid(offset, 4096);
            reads << "MEMREAD? 0x" + hex8(0x080A0000 + offset) + ",0x00001000\n";
            sleeps << 350;
            progress << blockMessage(offset);
        }
        progress << "Перезапись прошивки из промежуточного РПЗУ по месту..." << restartWarning
                 << "";
        QCOMPARE(sent.startingWith("FLASH:TEMP:ERASE"),
                 QVector<QByteArray>{"FLASH:TEMP:ERASE " + QByteArray::number(rounded) + "\n"});
        QCOMPARE(sent.startingWith("FLASH:TEMP:WRITE2"), writes);
        QCOMPARE(sent.startingWith("MEMREAD?"), reads);
        QCOMPARE(sent.startingWith("FLASH:TEMP:FIRMWARE"),
                 QVector<QByteArray>{"FLASH:TEMP:FIRMWARE " + QByteArray::number(rounded) + "\n"});
        // The queue read until empty before the erase, then once after it and after each block.
        QCOMPARE(sent.count("*ERR?"), refused.size() + 1 + 1 + blocks);
        QVERIFY(model->pendingErrors().isEmpty());
        QCOMPARE(TimeFacility::instance().requested(TimeFacility::Kind::Sleep), sleeps << 5000);
        QCOMPARE(messages(log), progress);
        QCOMPARE(model->intermediateArea().left(area.size()), area);
        QCOMPARE(model->mainFlash().left(rounded), area.left(rounded));

        // The update waits another 12 s, then opens a new session once.
        TimeFacility::instance().sleep(12000);
        const ViStatus reopened = link.reopen(1000);
        QCOMPARE(reopened == VI_SUCCESS, restartMs < 17000);
        if (reopened != VI_SUCCESS)
            return;
        log.clear();
        QVERIFY(rewriter.compareWithFlash());
        QCOMPARE(sent.startingWith("MEMREAD?").last(),
                 "MEMREAD? 0x08000000,0x" + hex8(size) + "\n");
        QCOMPARE(messages(log), (QByteArrayList{"Чтение данных РПЗУ...", "Сравнение данных РПЗУ...",
                                                "Файл и прошивка инструмента совпадают.", ""}));
    }

    void rejectedErase_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("131072 bytes")
            << 131072 << QByteArray("FLASH:REWRITE2   0x08000000,131072,#6131072");
        QTest::newRow("5000 bytes, padded")
            << 5000 << QByteArray("FLASH:REWRITE2   0x08000000,5120,#45120");
    }
    void rejectedErase()
    {
        QFETCH(int, size);
        QFETCH(QByteArray, header);
        model->setRejectErase(true);
        const QByteArray image = SimFirmwareImage::generate(size, 4);
        FwRewriter rewriter(link, imageFile(image), log);
        QVERIFY(rewriter.rewrite());
        const QByteArray block = padded(image, (size + 1023) / 1024 * 1024);
        QCOMPARE(module->transcript().startingWith("FLASH:REWRITE2"),
                 QVector<QByteArray>{header + block});
        QCOMPARE(module->transcript().count("FLASH:TEMP:WRITE2"), 0);
        QCOMPARE(model->mainFlash().left(block.size()), block);
        QCOMPARE(messages(log),
                 (QByteArrayList{"Стирание промежуточного РПЗУ.", "...", restartWarning, ""}));
        // The erase's error was read; the module had nothing to say about the block.
        QVERIFY(model->pendingErrors().isEmpty());
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QByteArrayList>("logTail");
        QTest::addColumn<bool>("erased");
        QTest::addColumn<int>("blocksSent");
        const QByteArray erasing = "Стирание промежуточного РПЗУ.";
        const QByteArray writeError = "Ошибка записи в промежуточное РПЗУ.";
        const QByteArray ioError = "Ошибка ввода/вывода!";
        char timeout[256] = {};
        viStatusDesc(VI_NULL, VI_ERROR_TMO, timeout);
        QTest::newRow("null session") << QByteArray() << QByteArrayList{ioError} << false << 0;
        QTest::newRow("device clear fails")
            << QByteArray("viClear") << QByteArrayList{ioError} << false << 0;
        QTest::newRow("error queue query fails")
            << QByteArray("viQueryf") << QByteArrayList{erasing} << false << 0;
        QTest::newRow("erase fails")
            << QByteArray("viPrintf") << QByteArrayList{erasing} << false << 0;
        QTest::newRow("erase error query fails") // after the one read of the empty queue
            << QByteArray("viQueryf:2") << QByteArrayList{erasing} << true << 0;
        QTest::newRow("third block refused")
            << QByteArray("failBlockWrite") << QByteArrayList{blockMessage(0x2000), writeError}
            << true << 3;
        QTest::newRow("third block not sent")
            << QByteArray("viWrite")
            << QByteArrayList{blockMessage(0x2000), QByteArray(timeout), writeError} << true << 2;
        QTest::newRow("third read-back differs")
            << QByteArray("corruptMemRead") << QByteArrayList{blockMessage(0x2000)} << true << 3;
        QTest::newRow("third read-back query fails")
            << QByteArray("memreadPrintf") << QByteArrayList{blockMessage(0x2000), ioError} << true
            << 3;
    }
    void failures()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QByteArrayList, logTail);
        QFETCH(bool, erased);
        QFETCH(int, blocksSent);
        ModuleSession none;
        FwRewriter rewriter(fault.isEmpty() ? none : link,
                            imageFile(SimFirmwareImage::generate(16384, 5)), log);
        if (fault == "failBlockWrite")
            model->failBlockWrite(3);
        else if (fault == "corruptMemRead")
            model->corruptMemRead(3);
        else if (fault == "viWrite")
            vdvisaInjectStatus("viWrite", 3, VI_ERROR_TMO);
        else if (fault == "memreadPrintf") // the erase, then one "MEMREAD?" per block
            vdvisaInjectStatus("viPrintf", 4, VI_ERROR_TMO);
        else if (!fault.isEmpty())
            vdvisaInjectStatus(fault.split(':').first(), fault.split(':').value(1, "1").toUInt(),
                               VI_ERROR_TMO);

        QVERIFY(!rewriter.rewrite());
        QByteArrayList logged = messages(log);
        QCOMPARE(logged.takeLast(), QByteArray());
        QCOMPARE(logged.mid(logged.size() - logTail.size()), logTail);
        QCOMPARE(module->transcript().count("FLASH:TEMP:ERASE"), int(erased));
        QCOMPARE(module->transcript().count("FLASH:TEMP:WRITE2"), blocksSent);
        QCOMPARE(module->transcript().count("FLASH:TEMP:FIRMWARE"), 0);
        QCOMPARE(module->transcript().count("FLASH:REWRITE2"), 0);
        if (logTail == QByteArrayList{"Ошибка ввода/вывода!"})
            QCOMPARE(module->transcript().messages().size(), 0);
    }

    void readMemoryReplies_data()
    {
        QTest::addColumn<QByteArray>("reply"); // null: the instrument does not answer
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("count");
        const QByteArray bytes = "0123456789ABCDEFGHIJ";
        QTest::newRow("exact") << "#216" + bytes.left(16) << int(VI_SUCCESS) << bytes.left(16)
                               << 16;
        QTest::newRow("shorter than asked") << QByteArray("#15abcde") << int(VI_SUCCESS)
                                            << QByteArray("abcde").leftJustified(16, '\0') << 5;
        QTest::newRow("more than asked")
            << "#220" + bytes << int(VI_SUCCESS) << bytes.left(16) << 16;
        QTest::newRow("no #") << "X216" + bytes.left(16) << int(VI_ERROR_IO) << QByteArray(16, '\0')
                              << 0;
        QTest::newRow("digit count not a digit")
            << QByteArray("#A16abc") << int(VI_ERROR_IO) << QByteArray(16, '\0') << 0;
        QTest::newRow("digit count above 9")
            << QByteArray("#:16abc") << int(VI_ERROR_IO) << QByteArray(16, '\0') << 0;
        QTest::newRow("indefinite") << QByteArray("#0abc\n") << -1 << QByteArray(16, '\0') << 0;
        QTest::newRow("length 0") << QByteArray("#3000") << -1 << QByteArray(16, '\0') << 0;
        QTest::newRow("length not decimal")
            << QByteArray("#2/6abc") << int(VI_ERROR_IO) << QByteArray(16, '\0') << 0;
        QTest::newRow("no reply") << QByteArray() << int(VI_ERROR_TMO) << QByteArray(16, '\0') << 0;
    }
    void readMemoryReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        QFETCH(QByteArray, data);
        QFETCH(int, count);
        ModuleSession scriptedSession;
        QCOMPARE(scriptedSession.open(rm, scriptedAddress, 1000), VI_SUCCESS);
        const ViSession session = scriptedSession.vi();
        scripted->reset();
        if (!reply.isNull())
            scripted->setReply("MEMREAD? 0x08000000,0x00000010\n", reply);
        viSetAttribute(session, VI_ATTR_TMO_VALUE, 300);
        viSetAttribute(session, VI_ATTR_TERMCHAR_EN, VI_FALSE);
        FwRewriter rewriter(scriptedSession, imageFile(QByteArray(2000, 'x')), log);
        QByteArray buffer(16, '\x77');
        ViUInt32 read = 99;
        QCOMPARE(int(rewriter.readMemory(0x08000000, 16, buffer.data(), read)), status);
        QCOMPARE(buffer, data);
        QCOMPARE(int(read), count);
        ViBoolean termChar = VI_FALSE;
        viGetAttribute(session, VI_ATTR_TERMCHAR_EN, &termChar);
        QCOMPARE(termChar, ViBoolean(VI_TRUE));
        if (status == VI_SUCCESS) {
            // Nothing of the reply is left to read.
            char rest = 0;
            ViUInt32 got = 0;
            QCOMPARE(viRead(session, reinterpret_cast<ViPBuf>(&rest), 1, &got), VI_ERROR_TMO);
        }
        // A query that cannot be sent ends the read at once.
        vdvisaInjectStatus("viPrintf", 1, VI_ERROR_CONN_LOST);
        QCOMPARE(rewriter.readMemory(0x08000000, 16, buffer.data(), read), VI_ERROR_BERR);
    }

    // A reply with fewer bytes than asked is a failed read, also where the missing bytes would
    // have been zeros like the image's: in a block read-back and in the final comparison.
    void shortReadBacks_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("only #") << QByteArray("#");
        QTest::newRow("4 of 4096 bytes") << "#14" + QByteArray(4, '\0');
        QTest::newRow("4095 of 4096 bytes") << "#44095" + QByteArray(4095, '\0');
    }
    void shortReadBacks()
    {
        QFETCH(QByteArray, reply);
        ModuleSession session;
        openScripted(session);
        scripted->setReply("MEMREAD? 0x080A0000,0x00001000\n", reply);
        scripted->setReply("MEMREAD? 0x08000000,0x00001000\n", reply);
        const QByteArray zeros(4096, '\0');
        FwRewriter rewriter(session, imageFile(zeros), log);
        QVERIFY(!rewriter.compareMemory(zeros.constData(), 0x080A0000, 4096));
        QCOMPARE(log.latestMessage(), QByteArray("Ошибка ввода/вывода!"));
        log.clear();
        QVERIFY(!rewriter.compareWithFlash());
        QCOMPARE(messages(log).mid(2), (QByteArrayList{"Ошибка ввода/вывода!",
                                                       "Записанный файл и содержимое памяти "
                                                       "отличается!",
                                                       ""}));
    }

    // An error queue that never empties: the reading stops after 32 replies and nothing is
    // erased, since the erase's verdict could not be told from the old errors.
    void errorQueueThatNeverEmpties()
    {
        ModuleSession session;
        openScripted(session);
        scripted->setReply("*ERR?\n", "-350,Queue overflow\n");
        FwRewriter rewriter(session, imageFile(SimFirmwareImage::generate(5000, 8)), log);
        QVERIFY(!rewriter.rewrite());
        const SimTranscript &sent = scriptedModule->transcript();
        QCOMPARE(sent.count("*ERR?"), 32);
        QCOMPARE(sent.count("FLASH"), 0);
        QCOMPARE(log.latestMessage(), QByteArray("Очередь ошибок инструмента не очищается."));
    }

    void blockReadBackWithSurplus()
    {
        model->setMemReadSurplus(10);
        FwRewriter rewriter(link, imageFile(SimFirmwareImage::generate(6000, 6)), log);
        viSetAttribute(link.vi(), VI_ATTR_TMO_VALUE, 5000);
        QCOMPARE(rewriter.writeTempBlock(0x1000, 4096), VI_SUCCESS);
        ViUInt32 timeoutMs = 0;
        ViBoolean termChar = VI_FALSE;
        viGetAttribute(link.vi(), VI_ATTR_TMO_VALUE, &timeoutMs);
        viGetAttribute(link.vi(), VI_ATTR_TERMCHAR_EN, &termChar);
        QCOMPARE(timeoutMs, ViUInt32(2000));
        QCOMPARE(termChar, ViBoolean(VI_TRUE));
        QCOMPARE(TimeFacility::instance().requested(TimeFacility::Kind::Sleep), QVector<int>{350});
        QCOMPARE(messages(log), (QByteArrayList{blockMessage(0x1000), ""}));
    }

    void unusableFiles_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("reason");
        const QString tooLarge = QStringLiteral("не более 655360 байт");
        QTest::newRow("empty") << qint64(0) << QStringLiteral("пуст");
        QTest::newRow("one byte beyond the main flash") << qint64(655361) << tooLarge;
        QTest::newRow("beyond 32 bits") << (qint64(1) << 32) + 1 << tooLarge;
        QTest::newRow("missing") << qint64(-1) << QStringLiteral("открыть");
    }
    void unusableFiles()
    {
        QFETCH(qint64, size);
        QFETCH(QString, reason);
        const QString path = files.filePath(QStringLiteral("large.bin"));
        QFile::remove(path);
        if (size >= 0) {
            QFile sparse(path);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(size));
        }
        QTest::ignoreMessage(QtDebugMsg, "~FwRewriter");
        {
            FwRewriter rewriter(link, path.toUtf8(), log);
            QVERIFY(!rewriter.isLoaded());
            QVERIFY2(rewriter.loadError().contains(reason), qPrintable(rewriter.loadError()));
            QCOMPARE(rewriter.imageSize(), 0u);
            QVERIFY(!rewriter.isStm32F4Image());
            QVERIFY(!rewriter.rewrite());
            QVERIFY(!rewriter.compareWithFlash());
        }
        QFile::remove(path);
        QCOMPARE(module->transcript().messages().size(), 0);
        QVERIFY(log.latestMessage().contains(reason.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(tst_FwRewriter)
#include "tst_fwrewriter.moc"
