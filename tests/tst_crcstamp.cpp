// The build's stamping of the math library's checksum record, and the delivered libraries as
// the module panel checks them.
#include "mathlibrarychecksum.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray record = MathLibraryChecksum::checksumMarker() + QByteArray("00000000\0", 9);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A delivered library carries the record once: marker, eight upper-case digits, zero byte;
// and the panel's check accepts it.
void verifyDelivered(const QString &path)
{
    const QByteArray bytes = readAll(path);
    const QByteArray marker = MathLibraryChecksum::checksumMarker();
    QCOMPARE(bytes.count(marker), 1);
    const QByteArray digits = bytes.mid(bytes.indexOf(marker) + marker.size(), 9);
    QVERIFY2(QRegularExpression("\\A[0-9A-F]{8}\\z")
                 .match(QString::fromLatin1(digits.left(8)))
                 .hasMatch(),
             digits.constData());
    QCOMPARE(digits.at(8), '\0');
    const auto result = MathLibraryChecksum::check(path);
    QVERIFY2(result.matches(), qPrintable(result.details));
    QCOMPARE(QByteArray::number(result.required, 16).rightJustified(8, '0').toUpper() + '\0',
             digits);
}

} // namespace

class TestCrcStamp : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void stamp_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("stamped");

        QTest::newRow("one record") << "MZ code " + record + " data" << true;
        QTest::newRow("no marker") << QByteArray("MZ code and data") << false;
        QTest::newRow("marker twice") << "MZ " + record + " code " + record << false;
        QTest::newRow("marker without digits")
            << "MZ " + MathLibraryChecksum::checksumMarker() + "data" << false;
    }

    void stamp()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, stamped);
        const QString path = dir.filePath(QTest::currentDataTag());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();

        QProcess crcstamp;
        crcstamp.start(VOLTADESK_CRCSTAMP, {path});
        QVERIFY(crcstamp.waitForFinished());
        QCOMPARE(crcstamp.exitStatus(), QProcess::NormalExit);
        QCOMPARE(crcstamp.exitCode() == 0, stamped);
        if (stamped) {
            QCOMPARE(readAll(path).size(), bytes.size());
            verifyDelivered(path);
        } else {
            QVERIFY(!crcstamp.readAllStandardError().isEmpty());
            QCOMPARE(readAll(path), bytes);
        }
    }

    void deliveredLibrary()
    {
        verifyDelivered(VOLTADESK_DRIVER_DIR "rvka5630_math.dll");
        QVERIFY(QFile::exists(VOLTADESK_DRIVER_DIR "rvka5630_32.dll"));
    }

    void windowsLibrary()
    {
#ifndef VOLTADESK_MATHLIB_WIN32_DLL
        QSKIP("the 32-bit Windows math library was not built here");
#else
        QProcess objdump;
        objdump.start(VOLTADESK_MINGW_OBJDUMP, {"-p", VOLTADESK_MATHLIB_WIN32_DLL});
        QVERIFY(objdump.waitForFinished());
        QCOMPARE(objdump.exitCode(), 0);
        const QString dump = QString::fromLocal8Bit(objdump.readAllStandardOutput());
        QVERIFY(dump.contains("file format pei-i386"));

        // Lines "\t[   0] name" under "[Ordinal/Name Pointer] Table", up to a blank line.
        const int table = dump.indexOf("[Ordinal/Name Pointer] Table");
        QVERIFY(table >= 0);
        const QString names = dump.mid(table).section("\n\n", 0, 0);
        QStringList exports;
        auto entries =
            QRegularExpression("^\\s*\\[\\s*\\d+\\] (\\S+)$", QRegularExpression::MultilineOption)
                .globalMatch(names);
        while (entries.hasNext())
            exports << entries.next().captured(1);
        exports.sort();
        QCOMPARE(exports, QStringList({"codeFromValue", "valueFromCode"}));

        verifyDelivered(VOLTADESK_MATHLIB_WIN32_DLL);
#endif
    }
};

QTEST_GUILESS_MAIN(TestCrcStamp)
#include "tst_crcstamp.moc"
