// ctest-timeout: 120
// The module's live chart and CSV log: the chart plots what the panel's poll read, without a
// message of its own to the module; the CSV log reads back as the same readings under a
// Russian locale; the log keeps a bounded span and the window goes with its panel.
#include "eventloopgaps.h"
#include "panelrig.h"
#include "readingchart.h"
#include "readinglog.h"
#include "rvka5630panel.h"

#include <QBuffer>
#include <QDateTime>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <clocale>
#include <ctime>

using namespace QtCharts;

class tst_ReadingChart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void chartPlotsThePollOnly();
    void csvRoundTrip_data();
    void csvRoundTrip();
    void logBoundAndWindowLifetime();
    void dayOfReadingsSavesBesideTheWindow();

private:
    Rvka5630panel *openScripted();
    // Polls once with these replies: volts, amperes, degrees.
    void poll(Rvka5630panel *panel, const QByteArray &volt, const QByteArray &curr,
              const QByteArray &temp);

    PanelRig *rig = nullptr;
};

void tst_ReadingChart::initTestCase()
{
    rig = new PanelRig;
    QVERIFY(rig->ready());
}

void tst_ReadingChart::cleanup()
{
    rig->close();
    rig->reset();
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C");
    qunsetenv("TZ");
    tzset();
}

Rvka5630panel *tst_ReadingChart::openScripted()
{
    Rvka5630panel *panel = rig->open(PanelRig::scriptedAddress);
    // Only the test drives the polls here.
    if (auto *timer = panel->findChild<QTimer *>("pollTimer"))
        timer->stop();
    return panel;
}

void tst_ReadingChart::poll(Rvka5630panel *panel, const QByteArray &volt, const QByteArray &curr,
                            const QByteArray &temp)
{
    rig->script->setReply("MEAS:VOLT?\n", volt + '\n');
    rig->script->setReply("MEAS:CURR?\n", curr + '\n');
    rig->script->setReply("MEAS:TEMP?\n", temp + '\n');
    panel->gettableDataUpdate();
    QVERIFY(rig->settle());
}

void tst_ReadingChart::chartPlotsThePollOnly()
{
    Rvka5630panel *panel = openScripted();
    poll(panel, "1.5", "0.5", "30.25"); // before the window opens: the chart shows it too
    rig->widget<QPushButton>("chartButton")->click();
    QVERIFY(rig->settle());
    auto *chart = panel->findChild<ReadingChart *>();
    QVERIFY(chart);
    QTRY_VERIFY(chart->isVisible());
    rig->scripted->transcript().clear();

    poll(panel, "2.25", "1.125", "31");
    // An hour of the window standing open sends nothing: it has no timer of its own.
    QTest::qWait(300);
    poll(panel, "-0.001", "0", "29.5");

    const QVector<QByteArray> onePoll = {"MEAS:VOLT?\n", "MEAS:CURR?\n", "OUTP? STATE\n",
                                         "MEAS:TEMP?\n"};
    QCOMPARE(rig->scripted->transcript().messages(), onePoll + onePoll);

    const QList<QAbstractSeries *> lines =
        chart->findChild<QChartView *>("chartView")->chart()->series();
    QCOMPARE(lines.size(), 4);
    const QVector<QVector<double>> expected = {
        {1.5, 2.25, -0.001},     // volts
        {0.5, 1.125, 0},         // amperes
        {0.75, 2.5313, 0},       // watts: the product of the shown 2.2500 and 1.1250, rounded
        {30.25, 31, 29.5}};      // degrees
    // Drawn within a second.
    QTRY_COMPARE_WITH_TIMEOUT(static_cast<QLineSeries *>(lines[3])->count(), 3, 3000);
    for (int q = 0; q < 4; ++q) {
        const auto *line = static_cast<QLineSeries *>(lines[q]);
        QCOMPARE(line->count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(line->at(i).y(), expected[q][i]);
    }

    // Paused, the chart stands still while the log goes on.
    chart->findChild<QPushButton *>("pauseButton")->click();
    QVERIFY(rig->settle());
    poll(panel, "3", "1", "30");
    QTest::qWait(1500);
    QCOMPARE(static_cast<QLineSeries *>(lines[0])->count(), 3);
    chart->findChild<QPushButton *>("autoscaleButton")->click();
    QVERIFY(rig->settle());
    QVERIFY(chart->following());
    QCOMPARE(static_cast<QLineSeries *>(lines[0])->count(), 4);
}

void tst_ReadingChart::csvRoundTrip_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("offset"); // how the times end
    QTest::newRow("C, UTC") << "C" << QByteArray("UTC") << QByteArray("Z");
    // A decimal comma in the operator's locale must not reach the file, and local times carry
    // their offset so that they read back as the same instants anywhere.
    QTest::newRow("Russian, Moscow")
        << "ru_RU.UTF-8" << QByteArray("Europe/Moscow") << QByteArray("+03:00");
}

void tst_ReadingChart::csvRoundTrip()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, offset);
    QLocale::setDefault(QLocale(locale));
    std::setlocale(LC_ALL, locale.toLatin1().constData());
    qputenv("TZ", zone);
    tzset();

    Rvka5630panel *panel = openScripted();
    poll(panel, "12.3456789", "0.000125", "36.74");
    poll(panel, "-1e-05", "150.5", "-5.06");
    poll(panel, "0", "0", "0");
    const auto *log = panel->findChild<ReadingLog *>();
    QVERIFY(log);
    QCOMPARE(log->size(), 3);

    QBuffer file;
    file.open(QIODevice::ReadWrite);
    QVERIFY(log->writeCsv(file));
    const QList<QByteArray> lines = file.data().split('\n');
    QCOMPARE(lines.size(), log->size() + 2); // header, readings, the empty rest after the last
    QCOMPARE(lines.first() + '\n', QByteArray(ReadingLog::csvHeader));
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < log->size(); ++i) {
        const QList<QByteArray> fields = lines[i + 1].split(',');
        QCOMPARE(fields.size(), 5);
        const QDateTime time = QDateTime::fromString(QString::fromLatin1(fields[0]),
                                                     Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && fields[0].endsWith(offset), fields[0]);
        const Reading &reading = log->at(i);
        QCOMPARE(time.toMSecsSinceEpoch(), reading.msecsSinceEpoch);
        const double values[] = {reading.voltage, reading.current, reading.power,
                                 reading.temperature};
        for (int f = 1; f < 5; ++f) {
            bool ok = false;
            QCOMPARE(fields[f].toDouble(&ok), values[f - 1]);
            QVERIFY2(ok, fields[f]);
        }
    }
    QCOMPARE(log->at(0).voltage, 12.3456789);
    QCOMPARE(log->at(1).current, 150.5);
}

void tst_ReadingChart::logBoundAndWindowLifetime()
{
    ReadingLog small(3);
    for (int i = 1; i <= 5; ++i)
        small.append({i * 250, double(i), 0, 0, 0});
    QCOMPARE(small.size(), 3);
    QCOMPARE(small.at(0).voltage, 3.0);
    QCOMPARE(small.nearest(0), 0);
    QCOMPARE(small.nearest(1120), 1);
    QCOMPARE(small.nearest(99999), 2);

    Rvka5630panel *panel = openScripted();
    // A day of polls at four a second.
    QCOMPARE(panel->findChild<ReadingLog *>()->capacity(), 24 * 60 * 60 * 4);
    rig->widget<QPushButton>("chartButton")->click();
    QVERIFY(rig->settle());
    QPointer<ReadingChart> chart = panel->findChild<ReadingChart *>();
    QVERIFY(chart && chart->isWindow());
    rig->close();
    QVERIFY(!chart);
}

// A full day of readings across a change to summer time: the window keeps running while the
// file is written, and every line carries the offset in force at its instant.
void tst_ReadingChart::dayOfReadingsSavesBesideTheWindow()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const qint64 start =
        QDateTime::fromString("2026-03-28T12:00:00Z", Qt::ISODate).toMSecsSinceEpoch();
    const qint64 summerTime =
        QDateTime::fromString("2026-03-29T01:00:00Z", Qt::ISODate).toMSecsSinceEpoch();
    ReadingLog log(24 * 60 * 60 * 4);
    for (int i = 0; i < log.capacity(); ++i)
        log.append({start + i * 250LL, i * 1e-3, 0.5, i * 5e-4, 25.0});
    QTemporaryDir dir;
    const QString path = dir.filePath("day.csv");

    EventLoopGaps gaps;
    QVERIFY(log.saveCsv(path));
    gaps.stop();
    QVERIFY2(gaps.longestMs() < 250, qPrintable(QString::number(gaps.longestMs())));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), log.size() + 2);
    const int firstSummer = int((summerTime - start) / 250);
    QVector<int> checked = {firstSummer - 1, firstSummer, log.size() - 1};
    for (int i = 0; i < log.size(); i += 997)
        checked << i;
    for (int i : checked) {
        const QByteArray time = lines[i + 1].left(lines[i + 1].indexOf(','));
        QVERIFY2(time.endsWith(i < firstSummer ? "+01:00" : "+02:00"), time);
        QCOMPARE(
            QDateTime::fromString(QString::fromLatin1(time), Qt::ISODateWithMs).toMSecsSinceEpoch(),
            log.at(i).msecsSinceEpoch);
    }
}

QTEST_MAIN(tst_ReadingChart)
#include "tst_readingchart.moc"
