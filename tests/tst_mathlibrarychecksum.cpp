// The module panel's check of the math library file: the number after the checksum marker,
// the CRC-32 of the file with that number's text read as "0" characters, and what it shows.
#include "mathlibrarychecksum.h"
#include "referencecrc32.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray marker("\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
                        "CRC32=");
const char libraryText[] = "MZ\x90\0\x03\0\0\0 code and data of the library\0\x01\xFF";
const QByteArray libraryBytes(libraryText, sizeof libraryText - 1);

QString upperHex(quint32 value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace

class TestMathLibraryChecksum : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString writeLibrary(const QByteArray &bytes)
    {
        const QString path = dir.filePath("rvka5630_math.dll");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void crcCheckValue()
    {
        QCOMPARE(MathLibraryChecksum::crc32("123456789", 9), 0xCBF43926u);
        QCOMPARE(MathLibraryChecksum::crc32("", 0), 0u);
    }

    void numberAfterMarker_data()
    {
        QTest::addColumn<QByteArray>("afterMarker"); // up to the end of the file
        QTest::addColumn<quint32>("required");
        QTest::addColumn<int>("numberLength");

        QTest::newRow("upper-case digits") << QByteArray("1A2B3C4D\0tail", 13) << 0x1A2B3C4Du << 8;
        QTest::newRow("lower-case digits") << QByteArray("1a2b3c4d\0tail", 13) << 0x1A2B3C4Du << 8;
        QTest::newRow("leading zeros") << QByteArray("00ABCDEF\0", 9) << 0xABCDEFu << 8;
        QTest::newRow("white space, sign, 0x") << QByteArray(" \t+0x1F\0", 8) << 0x1Fu << 7;
        QTest::newRow("minus sign") << QByteArray("-1\0", 3) << 0xFFFFFFFFu << 2;
        QTest::newRow("beyond 32 bits") << QByteArray("123456789\0", 10) << 0xFFFFFFFFu << 9;
        QTest::newRow("no digits") << QByteArray("zz\0", 3) << 0u << 0;
        QTest::newRow("0x without digits") << QByteArray("0xg", 3) << 0u << 1;
        QTest::newRow("digits end the file") << QByteArray("ABC") << 0xABCu << 3;
        QTest::newRow("marker ends the file") << QByteArray() << 0u << 0;
        QTest::newRow("second marker as read")
            << QByteArray("0000ABCD\0", 9) + marker + "12345678" << 0xABCDu << 8;
    }

    void numberAfterMarker()
    {
        QFETCH(QByteArray, afterMarker);
        QFETCH(quint32, required);
        QFETCH(int, numberLength);

        const QByteArray head = libraryBytes + marker;
        const quint32 computed =
            referenceCrc32(head + QByteArray(numberLength, '0') + afterMarker.mid(numberLength));

        const auto result = MathLibraryChecksum::check(writeLibrary(head + afterMarker));
        QCOMPARE(result.outcome, MathLibraryChecksum::Outcome::Computed);
        QVERIFY(result.markerFound);
        QCOMPARE(result.required, required);
        QCOMPARE(result.computed, computed);
        QCOMPARE(result.details, QString("Контрольная сумма файла: %1\n"
                                         "Требуемая контрольная сумма: %2\n")
                                     .arg(upperHex(computed), upperHex(required)));
    }

    void stampedFile()
    {
        QByteArray bytes = libraryBytes + marker + QByteArray("00000000\0trailer", 16);
        const quint32 crc = referenceCrc32(bytes);
        bytes.replace(libraryBytes.size() + marker.size(), 8,
                      QByteArray::number(crc, 16).rightJustified(8, '0').toUpper());

        auto result = MathLibraryChecksum::check(writeLibrary(bytes));
        QVERIFY(result.matches());
        QCOMPARE(result.computed, crc);
        QCOMPARE(result.required, crc);

        bytes[0] = 'z';
        result = MathLibraryChecksum::check(writeLibrary(bytes));
        QVERIFY(!result.matches());
        QCOMPARE(result.required, crc);
        QVERIFY(result.computed != crc);
    }

    void fileWithoutMarker()
    {
        auto result = MathLibraryChecksum::check(writeLibrary(libraryBytes));
        QCOMPARE(result.outcome, MathLibraryChecksum::Outcome::Computed);
        QCOMPARE(result.required, 0u);
        QCOMPARE(result.computed, referenceCrc32(libraryBytes));
        QVERIFY(!result.matches());

        // CRC-32 of nothing is 0, the very value required without a marker.
        result = MathLibraryChecksum::check(writeLibrary(QByteArray()));
        QCOMPARE(result.computed, 0u);
        QCOMPARE(result.required, 0u);
        QVERIFY(!result.matches());
    }

    void fileNotThere()
    {
        auto result = MathLibraryChecksum::check(dir.filePath("missing.dll"));
        QCOMPARE(result.outcome, MathLibraryChecksum::Outcome::FileMissing);
        QVERIFY(!result.matches());
        QVERIFY(result.details.isEmpty());

        result = MathLibraryChecksum::check(dir.path());
        QCOMPARE(result.outcome, MathLibraryChecksum::Outcome::Unreadable);
        QVERIFY(!result.matches());
    }
};

QTEST_GUILESS_MAIN(TestMathLibraryChecksum)
#include "tst_mathlibrarychecksum.moc"
