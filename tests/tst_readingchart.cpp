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
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <clocale>
#include <ctime>

using namespace QtCharts;

namespace {
// A quantity's line as drawn: the points of each of its segments, oldest first.
using Line = QVector<QVector<QPointF>>;

// Every line of the chart window by its name, in the order of the legend.
QVector<QPair<QString, Line>> lines(ReadingChart *window)
{
    QVector<QPair<QString, Line>> result;
    for (QAbstractSeries *series :
         window->findChild<QChartView *>("chartView")->chart()->series()) {
        auto *segment = static_cast<QLineSeries *>(series);
        const auto named = [segment](const auto &line) { return line.first == segment->name(); };
        if (std::none_of(result.begin(), result.end(), named))
            result.append({segment->name(), {}});
        std::find_if(result.begin(), result.end(), named)->second.append(segment->pointsVector());
    }
    return result;
}
} // namespace

class tst_ReadingChart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void chartPlotsThePollOnly();
    void csvRoundTrip_data();
    void csvRoundTrip();
    void lineBreaksWhereNoReadingsWereTaken();
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

    const QVector<QVector<double>> expected = {
        {1.5, 2.25, -0.001},     // volts
        {0.5, 1.125, 0},         // amperes
        {0.75, 2.5313, 0},       // watts: the product of the shown 2.2500 and 1.1250, rounded
        {30.25, 31, 29.5}};      // degrees
    // The values as drawn, whether or not the opening of the window left a gap in the line.
    const auto drawn = [chart](int quantity) {
        QVector<double> values;
        for (const QVector<QPointF> &segment : lines(chart).value(quantity).second)
            for (const QPointF &point : segment)
                values << point.y();
        return values;
    };
    QCOMPARE(lines(chart).size(), 4);
    // Drawn within a second.
    QTRY_COMPARE_WITH_TIMEOUT(drawn(3).size(), 3, 3000);
    for (int q = 0; q < 4; ++q)
        QCOMPARE(drawn(q), expected[q]);

    // Paused, the chart stands still while the log goes on.
    chart->findChild<QPushButton *>("pauseButton")->click();
    QVERIFY(rig->settle());
    poll(panel, "3", "1", "30");
    QTest::qWait(1500);
    QCOMPARE(drawn(0).size(), 3);
    chart->findChild<QPushButton *>("autoscaleButton")->click();
    QVERIFY(rig->settle());
    QVERIFY(chart->following());
    QCOMPARE(drawn(0).size(), 4);
}

// Readings more than three polls apart leave a gap in every line, both in the span drawn when
// the window opens and in readings that come while it is open; segments that scroll out of
// the last ten minutes go, and the legend names each quantity once in its own colour.
void tst_ReadingChart::lineBreaksWhereNoReadingsWereTaken()
{
    const qint64 t0 =
        QDateTime::fromString("2026-05-04T10:00:00Z", Qt::ISODate).toMSecsSinceEpoch();
    ReadingLog log(100);
    // Three polls apart is still one line; a little more is not.
    for (qint64 at : {t0, t0 + 250, t0 + 500, t0 + 500 + ReadingChart::gapMs})
        log.append({at, 1.0, 0.5, 0.5, 25.0});
    const qint64 resumed = t0 + 500 + 2 * ReadingChart::gapMs + 1;
    log.append({resumed, 2.0, 1.0, 2.0, 26.0});

    ReadingChart window(log, QStringLiteral("RVKA5630"), nullptr);
    window.show();
    const auto times = [&window](int quantity) {
        QVector<QVector<qint64>> segments;
        for (const QVector<QPointF> &segment : lines(&window).value(quantity).second) {
            segments.append(QVector<qint64>());
            for (const QPointF &point : segment)
                segments.last() << qint64(point.x());
        }
        return segments;
    };
    const QVector<QVector<qint64>> opened = {
        {t0, t0 + 250, t0 + 500, t0 + 500 + ReadingChart::gapMs}, {resumed}};
    QCOMPARE(lines(&window).size(), 4);
    for (int q = 0; q < 4; ++q)
        QCOMPARE(times(q), opened);

    // While the window is open: a poll on time continues the line, a late one breaks it.
    log.append({resumed + 250, 2.0, 1.0, 2.0, 26.0});
    log.append({resumed + 5000, 3.0, 1.0, 3.0, 26.0});
    QVERIFY(QMetaObject::invokeMethod(&window, "drawPending"));
    const QVector<QVector<qint64>> live = {opened[0], {resumed, resumed + 250}, {resumed + 5000}};
    for (int q = 0; q < 4; ++q)
        QCOMPARE(times(q), live);
    // The chart fitted afresh from the log draws the same.
    window.findChild<QPushButton *>("autoscaleButton")->click();
    for (int q = 0; q < 4; ++q)
        QCOMPARE(times(q), live);

    QChart *chart = window.findChild<QChartView *>("chartView")->chart();
    const auto legendEntries = [chart] {
        int visible = 0;
        for (QLegendMarker *marker : chart->legend()->markers())
            visible += marker->isVisible();
        return visible;
    };
    // The legend shows its markers once it has been laid out.
    QTRY_COMPARE(legendEntries(), 4);
    for (QAbstractSeries *series : chart->series()) {
        const QLineSeries *first = nullptr;
        for (QAbstractSeries *other : chart->series())
            if (!first && other->name() == series->name())
                first = static_cast<QLineSeries *>(other);
        QCOMPARE(static_cast<QLineSeries *>(series)->color(), first->color());
    }

    // Eleven minutes later all that was drawn is out of view: one segment per line is left.
    const qint64 later = resumed + 5000 + 11 * 60 * 1000;
    log.append({later, 4.0, 1.0, 4.0, 27.0});
    QVERIFY(QMetaObject::invokeMethod(&window, "drawPending"));
    for (int q = 0; q < 4; ++q)
        QCOMPARE(times(q), QVector<QVector<qint64>>({{later}}));
    QCOMPARE(chart->series().size(), 4);
    QTRY_COMPARE(legendEntries(), 4);
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
