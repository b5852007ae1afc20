// ctest-timeout: 180
// End to end on the simulated bench: an uncalibrated module fails the voltage verification at
// its upper points; after the automatic calibration the same verification passes every point,
// and the two protocols show it.
#include "dialoganswerer.h"
#include "rvka5630debug.h"
#include "rvka5630model.h"
#include "simlan.h"
#include "timefacility.h"

#include <visa.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString moduleAddress = QStringLiteral("127.0.0.2");

// Each data row's cells: number, set-point, module, meter, reproduction and measurement
// errors, limit, verdict.
QVector<QStringList> protocolRows(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QVector<QStringList> rows;
    QRegularExpressionMatchIterator row =
        QRegularExpression("<tr>(.*?)</tr>").globalMatch(QString::fromUtf8(file.readAll()));
    if (row.hasNext())
        row.next();
    while (row.hasNext()) {
        QStringList cells;
        QRegularExpressionMatchIterator cell =
            QRegularExpression("<td>(.*?)</td>").globalMatch(row.next().captured(1));
        while (cell.hasNext())
            cells << cell.next().captured(1);
        rows << cells;
    }
    return rows;
}

QString describe(const QVector<QStringList> &rows)
{
    QStringList text;
    for (const QStringList &cells : rows)
        text << cells.join(' ');
    return text.join("; ");
}

} // namespace

class TestScenarioEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void calibrationBringsTheVoltageWithinItsLimits()
    {
        QLocale::setDefault(QLocale::c());
        TimeFacility::instance().setSpeedup(25.0);
        SimLan lan;
        QVERIFY(lan.addRvka5630(moduleAddress));
        QVERIFY(lan.addMultimeter(moduleAddress) && lan.addLoad(moduleAddress));
        lan.publish();
        lan.publishSerialPorts();
        ViSession rm = VI_NULL;
        ViSession vi = VI_NULL;
        QCOMPARE(viOpenDefaultRM(&rm), VI_SUCCESS);
        QCOMPARE(viOpen(rm, qPrintable(SimBench::resourceName(moduleAddress)), VI_NULL, 1000, &vi),
                 VI_SUCCESS);
        QTemporaryDir dir;
        DialogAnswerer answerer;
        {
            Rvka5630Debug window(vi, nullptr);
            QSignalSpy disconnects(&window, &Rvka5630Debug::debugDisconnectDevice);
            window.check_vdc(dir.filePath("before.html"));
            window.autoCalib();
            window.check_vdc(dir.filePath("after.html"));
            QCOMPARE(disconnects.count(), 0);
            QTest::ignoreMessage(QtDebugMsg, "~Direrure5630Debug");
        }
        QVERIFY(answerer.shown().isEmpty());
        QCOMPARE(lan.rvka5630(moduleAddress)->storedVoltageCalibration().size(), 11);

        // Up to 5 V the uncalibrated output is within its limits; from 10 V its 0.2 % gain
        // error is not.
        const QVector<QStringList> before = protocolRows(dir.filePath("before.html"));
        QCOMPARE(before.size(), 11);
        for (int i = 0; i < before.size(); ++i)
            QVERIFY2(before[i].last() == (i < 3 ? "норма" : "не норма"),
                     qPrintable(describe(before)));

        const QVector<QStringList> after = protocolRows(dir.filePath("after.html"));
        QCOMPARE(after.size(), 11);
        for (const QStringList &cells : after)
            QVERIFY2(cells.last() == "норма", qPrintable(describe(after)));

        viClose(vi);
        viClose(rm);
        TimeFacility::instance().setSpeedup(1.0);
    }
};

QTEST_MAIN(TestScenarioEndToEnd)
#include "tst_scenarioendtoend.moc"
