// The simulated module's side of the flash rewrite: strict block commands, memory reads,
// the copy into the running firmware with its restart, the armed faults, and the generated
// firmware images.

#include "flashmemory.h"
#include "rvka5630model.h"
#include "simdefiniteblock.h"
#include "simfirmwareimage.h"

#include <QtEndian>
#include <QtTest>

class tst_SimModelFlash : public QObject
{
    Q_OBJECT

private slots:
    void blockHeaders_data();
    void blockHeaders();
    void directRewrite();
    void memoryRead();
    void rewriteSequence();
    void armedFaults();
    void programmingWithoutErase();
    void generatedImages_data();
    void generatedImages();
};

namespace {

QByteArray hexAddress(quint32 address)
{
    return "0x" + QByteArray::number(address, 16).toUpper().rightJustified(8, '0');
}

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + seed * 13 + i / 251) & 0xFF);
    return data;
}

QByteArray nextError(Rvka5630Model &module)
{
    return module.execute("*ERR?\n").data;
}

// The checks a program applies before it trusts a file as an STM32F4 application image.
bool looksLikeStm32F4Image(const QByteArray &image)
{
    if (image.size() <= 1024)
        return false;
    auto word = [&image](int k) {
        return qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(image.constData()) +
                                          4 * k);
    };
    if (word(8) || word(9) || word(10) || word(0) < 0x10000000u || word(0) > 0x10020000u)
        return false;
    QHash<quint32, int> uses;
    for (int k = 16; k <= 105; ++k) {
        const quint32 vector = word(k);
        if (vector != 0 && (vector < 0x08000000u || vector > 0x08010000u))
            return false;
        if (vector != 0)
            ++uses[vector];
    }
    for (int count : uses)
        if (count >= 31)
            return true;
    return false;
}

} // namespace

void tst_SimModelFlash::blockHeaders_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("written"); // empty: nothing may be written
    QTest::addColumn<QByteArray>("error");   // first "*ERR?" reply, without line end

    const QByteArray block = pattern(4096, 1);
    const QByteArray small = pattern(100, 2);
    const QByteArray ok = "0,No error";
    const QByteArray invalid = "-161,Invalid block data";

    QTest::newRow("40-byte header, no padding")
        << "FLASH:TEMP:WRITE2 0x00001000,4096,#44096" + block << 0x1000 << block << ok;
    QTest::newRow("padded header")
        << "FLASH:TEMP:WRITE2   0x00002000,100,#3100" + small << 0x2000 << small << ok;
    QTest::newRow("line feed after the block")
        << "FLASH:TEMP:WRITE2 0x00001000,4096,#44096" + block + '\n'
        << 0x1000 << block << ok;
    QTest::newRow("one byte missing")
        << "FLASH:TEMP:WRITE2 0x00001000,4096,#44096" + block.left(4095) << 0x1000 << QByteArray()
        << invalid;
    QTest::newRow("one byte too many") << "FLASH:TEMP:WRITE2 0x00001000,4096,#44096" + block + 'x'
                                       << 0x1000 << QByteArray() << invalid;
    QTest::newRow("length field differs from the block")
        << "FLASH:TEMP:WRITE2 0x00001000,4095,#44096" + block << 0x1000 << QByteArray() << invalid;
    QTest::newRow("seven address digits")
        << "FLASH:TEMP:WRITE2 0x0001000,4096,#44096" + block << 0x1000 << QByteArray() << invalid;
    QTest::newRow("address without 0x")
        << "FLASH:TEMP:WRITE2 00001000,4096,#44096" + block << 0x1000 << QByteArray() << invalid;
    QTest::newRow("indefinite block") << "FLASH:TEMP:WRITE2 0x00001000,4096,#0" + block + '\n'
                                      << 0x1000 << QByteArray() << invalid;
    QTest::newRow("no space after the command word")
        << "FLASH:TEMP:WRITE20x00001000,4096,#44096" + block << 0x1000 << QByteArray()
        << QByteArray("-102,Syntax error");
    QTest::newRow("beyond the intermediate area")
        << "FLASH:TEMP:WRITE2 0x0005F800,4096,#44096" + block << 0x5F800 << QByteArray()
        << QByteArray("-222,Data out of range");
}

void tst_SimModelFlash::blockHeaders()
{
    QFETCH(QByteArray, message);
    QFETCH(int, offset);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, error);

    Rvka5630Model module;
    QCOMPARE(module.execute("FLASH:TEMP:ERASE 393216\n").data, QByteArray());
    QCOMPARE(module.execute(message).data, QByteArray());
    QCOMPARE(nextError(module), error + '\n');
    const QByteArray area = module.intermediateArea();
    if (written.isEmpty())
        QCOMPARE(area.count(char(0xFF)), area.size());
    else
        QCOMPARE(area.mid(offset, written.size()), written);
}

void tst_SimModelFlash::directRewrite()
{
    Rvka5630Model module;
    const QByteArray image = SimFirmwareImage::generate(131072, 5);
    const QByteArray header = "FLASH:REWRITE2   0x08000000,131072,#6131072";
    QCOMPARE(header.size(), 43);
    module.execute("VOLT 12;:OUTP 1\n");
    QCOMPARE(module.execute(header + image).data, QByteArray());
    QCOMPARE(nextError(module), QByteArray("0,No error\n"));
    QCOMPARE(module.takeRestartMs(), 8000);
    QCOMPARE(module.mainFlash().left(image.size()), image);
    QVERIFY(!module.outputOn());
    QCOMPARE(module.voltageSetpoint(), 0.0);

    const QByteArray elsewhere = "FLASH:REWRITE2   0x08001000,131072,#6131072" + image;
    module.execute(elsewhere);
    QCOMPARE(nextError(module), QByteArray("-222,Data out of range\n"));
    QCOMPARE(module.takeRestartMs(), 0);
}

void tst_SimModelFlash::memoryRead()
{
    Rvka5630Model module;
    const QByteArray firmware = module.mainFlash();
    QVERIFY(looksLikeStm32F4Image(firmware.left(128 * 1024)));

    const QByteArray reply = module.execute("MEMREAD? 0x08000000,0x00000010\n").data;
    QCOMPARE(reply, "#216" + firmware.left(16));

    const QByteArray whole = module.execute("MEMREAD? 0x08000000,0x000A0000\n").data;
    QCOMPARE(whole, "#6655360" + firmware);

    module.execute("FLASH:TEMP:ERASE 8192;:FLASH:TEMP:WRITE2 0x00001000,4,#14abcd\n");
    QCOMPARE(module.execute("MEMREAD? 0x080A1000,0x00000006\n").data,
             QByteArray("#16abcd\xFF\xFF"));

    QCOMPARE(module.execute("MEMREAD? 0x080FFFFF,0x00000002\n").data, QByteArray());
    QCOMPARE(nextError(module), QByteArray("-222,Data out of range\n"));
    QCOMPARE(module.execute("MEMREAD? 0x08000000,0x00000000\n").data, QByteArray());
    QCOMPARE(nextError(module), QByteArray("-222,Data out of range\n"));

    module.setMemReadSurplus(3);
    QCOMPARE(module.execute("MEMREAD? 0x08000000,0x00000010\n").data, "#219" + firmware.left(19));
}

// The module's side of a complete rewrite through the intermediate area, as the program drives
// it: erase, error check, 4096-byte blocks with read-back, copy and restart.
void tst_SimModelFlash::rewriteSequence()
{
    Rvka5630Model module;
    const QByteArray image = SimFirmwareImage::generate(5000, 9);
    QVERIFY(looksLikeStm32F4Image(image));
    QCOMPARE(module.execute("FLASH:TEMP:ERASE 5120\n").data, QByteArray());
    QVERIFY(nextError(module).startsWith('0'));
    for (quint32 offset = 0; offset < 5120; offset += 4096) {
        QByteArray block = image.mid(int(offset), 4096);
        block.append(QByteArray(4096 - block.size(), char(0xFF)));
        const QByteArray header = "FLASH:TEMP:WRITE2 " + hexAddress(offset) + ",4096,#44096";
        QCOMPARE(header.size() % 4, 0);
        QCOMPARE(module.execute(header + block).data, QByteArray());
        QVERIFY(nextError(module).startsWith('0'));
        QCOMPARE(module
                     .execute("MEMREAD? " + hexAddress(FlashMemory::intermediateBase + offset) +
                              ",0x00001000\n")
                     .data,
                 "#44096" + block);
    }
    QCOMPARE(module.takeRestartMs(), 0);
    module.execute("FLASH:TEMP:FIRMWARE 5120\n");
    QCOMPARE(module.takeRestartMs(), 8000);
    QCOMPARE(module.restartCount(), 1);
    QCOMPARE(module.mainFlash().left(5000), image);
    QCOMPARE(module.execute("*IDN?\n").data, QByteArray("Korvalis,RVKA5630,0042,1.3\n"));
}

void tst_SimModelFlash::armedFaults()
{
    Rvka5630Model module;
    module.setRejectErase(true);
    module.execute("FLASH:TEMP:ERASE 5120\n");
    QCOMPARE(nextError(module), QByteArray("-311,Memory error\n"));

    module.setRejectErase(false);
    module.failBlockWrite(2);
    module.execute("FLASH:TEMP:ERASE 12288\n");
    const QByteArray block = pattern(4096, 3);
    for (quint32 offset : {0u, 0x1000u, 0x2000u})
        module.execute("FLASH:TEMP:WRITE2 " + hexAddress(offset) + ",4096,#44096" + block);
    QCOMPARE(module.pendingErrors(), QVector<QByteArray>({"-311,Memory error"}));
    const QByteArray area = module.intermediateArea();
    QCOMPARE(area.mid(0, 4096), block);
    QCOMPARE(area.mid(0x1000, 4096), QByteArray(4096, char(0xFF)));
    QCOMPARE(area.mid(0x2000, 4096), block);
    nextError(module);

    module.corruptMemRead(2);
    const QByteArray first = module.execute("MEMREAD? 0x080A0000,0x00001000\n").data;
    const QByteArray second = module.execute("MEMREAD? 0x080A0000,0x00001000\n").data;
    const QByteArray third = module.execute("MEMREAD? 0x080A0000,0x00001000\n").data;
    QCOMPARE(first, "#44096" + block);
    QCOMPARE(third, first);
    QCOMPARE(second.size(), first.size());
    int differences = 0;
    for (int i = 0; i < first.size(); ++i)
        differences += first.at(i) != second.at(i);
    QCOMPARE(differences, 1);

    module.setRestartMs(17000);
    module.execute("FLASH:TEMP:FIRMWARE 12288\n");
    QCOMPARE(module.takeRestartMs(), 17000);
}

void tst_SimModelFlash::programmingWithoutErase()
{
    Rvka5630Model module;
    module.execute("FLASH:TEMP:ERASE 1024\n");
    module.execute("FLASH:TEMP:WRITE2 0x00000000,2,#12\xF0\x0F");
    module.execute("FLASH:TEMP:WRITE2 0x00000000,2,#12\x3C\x3C");
    QCOMPARE(module.intermediateArea().left(3), QByteArray("\x30\x0C\xFF"));

    // The erase works on whole sectors: a short erase clears the rest of the first sector
    // (where the last block of an image runs past the erased length) and nothing beyond it.
    const QByteArray block = pattern(4096, 4);
    for (quint32 offset : {0x1000u, FlashMemory::sectorSize})
        module.execute("FLASH:TEMP:WRITE2 " + hexAddress(offset) + ",4096,#44096" + block);
    module.execute("FLASH:TEMP:ERASE 3072\n");
    const QByteArray area = module.intermediateArea();
    QCOMPARE(area.left(int(FlashMemory::sectorSize)),
             QByteArray(int(FlashMemory::sectorSize), char(0xFF)));
    QCOMPARE(area.mid(int(FlashMemory::sectorSize), 4096), block);
}

void tst_SimModelFlash::generatedImages_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("smallest valid") << 1025 << 1u;
    QTest::newRow("5000 bytes") << 5000 << 2u;
    QTest::newRow("128 KiB") << 131072 << 3u;
    QTest::newRow("whole main flash") << int(FlashMemory::mainSize) << 4u;
}

void tst_SimModelFlash::generatedImages()
{
    QFETCH(int, size);
    QFETCH(quint32, seed);
    const QByteArray image = SimFirmwareImage::generate(size, seed);
    QCOMPARE(image.size(), size);
    QVERIFY(looksLikeStm32F4Image(image));
    QCOMPARE(SimFirmwareImage::generate(size, seed), image);
    QVERIFY(SimFirmwareImage::generate(size, seed + 100) != image);
    QVERIFY(!looksLikeStm32F4Image(SimFirmwareImage::generate(1024, seed)));
}

QTEST_GUILESS_MAIN(tst_SimModelFlash)
#include "tst_simmodelflash.moc"
